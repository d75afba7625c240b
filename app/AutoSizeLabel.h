#pragma once

// A value label that sizes itself to its text, keeping its left edge, so that no value is ever
// cut, whatever the desktop's fonts.

#include <QLabel>

namespace pulo {

class TAutoSizeLabel final : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    // Sets the text and fits the width to it; an unchanged text changes nothing.
    void setText(const QString& text);
    // Fits the width to the present text.
    void FitText();

protected:
    void changeEvent(QEvent* event) override;
};

} // namespace pulo

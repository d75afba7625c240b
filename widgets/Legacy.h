#pragma once

// TLegacy: a label that behaves like a link. Under the mouse it is underlined and takes its
// active colour; a click asks the desktop to open its address: a web page, or a new e-mail
// message to the address. What it shows (its text) and what it opens (Adress) are separate.

#include "common/Colors.h"

#include <QLabel>

#include <functional>

namespace pulo {

enum class TAdressType
{
    atMail,
    atWWW,
};

class TLegacy final : public QLabel
{
    Q_OBJECT

public:
    explicit TLegacy(QWidget* parent = nullptr);

    QString Adress;
    [[nodiscard]] TAdressType AdressType() const { return Type; }
    void SetAdressType(TAdressType value);
    TColor ActiveColor = clRed;
    std::function<void(QObject* sender)> OnMouseEnter;
    std::function<void(QObject* sender)> OnMouseExit;
    std::function<void(QObject* sender)> OnClick;

    // The font colour as painted now.
    [[nodiscard]] QColor FontColor() const;
    void SetFontColor(const QColor& color);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TAdressType Type = TAdressType::atWWW;
    QColor SavedColor;
};

} // namespace pulo

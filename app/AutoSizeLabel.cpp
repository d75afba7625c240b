#include "app/AutoSizeLabel.h"

#include <QEvent>

namespace pulo {

void TAutoSizeLabel::setText(const QString& text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    FitText();
}

void TAutoSizeLabel::FitText()
{
    const int width = fontMetrics().horizontalAdvance(text()) + 2 * margin() + 2;
    if (width != this->width())
        resize(width, height());
}

void TAutoSizeLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitText();
}

} // namespace pulo

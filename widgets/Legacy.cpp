#include "widgets/Legacy.h"

#include "platform/Shell32.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace pulo {

TLegacy::TLegacy(QWidget* parent) : QLabel(parent) {}

void TLegacy::SetAdressType(TAdressType value)
{
    if (value != Type)
        Type = value;
}

QColor TLegacy::FontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TLegacy::SetFontColor(const QColor& color)
{
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
}

void TLegacy::enterEvent(QEnterEvent* event)
{
    SavedColor = FontColor();
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    QCoreApplication::processEvents();
    SetFontColor(QColor(static_cast<int>(ActiveColor & 0xFF), static_cast<int>((ActiveColor >> 8) & 0xFF),
                        static_cast<int>((ActiveColor >> 16) & 0xFF)));
    if (OnMouseEnter)
        OnMouseEnter(this);
    QLabel::enterEvent(event);
}

void TLegacy::leaveEvent(QEvent* event)
{
    unsetCursor();
    QFont plain = font();
    plain.setUnderline(false);
    setFont(plain);
    QCoreApplication::processEvents();
    SetFontColor(SavedColor);
    if (OnMouseExit)
        OnMouseExit(this);
    QLabel::leaveEvent(event);
}

void TLegacy::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    setCursor(Qt::BusyCursor);
    QCoreApplication::processEvents();
    // A web address opens as it is; anything else (an empty web address too) as a new message.
    const QByteArray address =
        (Type == TAdressType::atWWW && !Adress.isEmpty() ? Adress : QStringLiteral("mailto:") + Adress).toUtf8();
    win::ShellExecuteA(0, nullptr, address.constData(), nullptr, nullptr, win::SW_SHOWNORMAL);
    setCursor(Qt::PointingHandCursor);
    if (OnClick)
        OnClick(this);
    event->accept();
}

} // namespace pulo

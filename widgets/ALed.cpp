#include "widgets/ALed.h"

#include <QApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <map>
#include <vector>

static void InitLedResources()
{
    Q_INIT_RESOURCE(leds);
}

namespace pulo {

namespace {

constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Silver = 0xFFC0C0C0;

QSize StyleSize(TLEDStyle style)
{
    switch (style) {
    case TLEDStyle::LEDSmall:
    case TLEDStyle::LEDSqSmall:
        return {16, 16};
    case TLEDStyle::LEDLarge:
    case TLEDStyle::LEDSqLarge:
        return {22, 22};
    case TLEDStyle::LEDVertical:
        return {16, 22};
    case TLEDStyle::LEDHorizontal:
        return {22, 16};
    }
    return {16, 16};
}

// The lamps' pictures, each read from its resource once for the program's life: lamps share
// them, and a lamp is coloured again whenever its style, border or colours change.
const QImage& Picture(const QString& name)
{
    static std::map<QString, QImage> read;
    auto found = read.find(name);
    if (found == read.end()) {
        // Read as the XPM it is: left to guess, the reader would load every image plugin on the
        // system to ask each whether it knows the format.
        QImageReader reader(QStringLiteral(":/leds/%1.xpm").arg(name), "xpm");
        reader.setAutoDetectImageFormat(false);
        found = read.emplace(name, reader.read().convertToFormat(QImage::Format_RGB32)).first;
    }
    return found->second;
}

} // namespace

ThhALed::ThhALed(QWidget* parent, TimerHostFactory timers) : QWidget(parent), Timers(std::move(timers))
{
    InitLedResources();
    // The picture covers the whole lamp: a change repaints the lamp, not what lies behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(16, 16);
    BuildImages();
}

ThhALed::~ThhALed()
{
    StopBlinking();
}

QString ThhALed::ImageName(TLEDStyle style, bool bordered)
{
    static const char* const names[] = {"SM", "LG", "SQSM", "SQLG", "VT", "HZ"};
    return QLatin1String(bordered ? "B" : "N") + QLatin1String(names[static_cast<int>(style)]);
}

QRgb ThhALed::Resolve(TColor color) const
{
    if ((color & 0x80000000U) != 0)
        return palette().color(QPalette::Window).rgb();
    return qRgb(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

void ThhALed::SurfaceFill(QImage& image, QPoint start, QRgb fill)
{
    if (!image.rect().contains(start))
        return;
    const QRgb target = image.pixel(start);
    if (target == fill)
        return;
    std::vector<QPoint> pending{start};
    while (!pending.empty()) {
        const QPoint at = pending.back();
        pending.pop_back();
        if (!image.rect().contains(at) || image.pixel(at) != target)
            continue;
        image.setPixel(at, fill);
        pending.insert(pending.end(), {at + QPoint(1, 0), at - QPoint(1, 0), at + QPoint(0, 1), at - QPoint(0, 1)});
    }
}

void ThhALed::BuildImages()
{
    resize(StyleSize(Style));
    ImagesStale = true;
}

const QImage& ThhALed::LitImage() const
{
    ColourImages();
    return Lit;
}

const QImage& ThhALed::UnlitImage() const
{
    ColourImages();
    return Unlit;
}

void ThhALed::ColourImages() const
{
    if (!ImagesStale)
        return;
    ImagesStale = false;
    const QSize size = StyleSize(Style);
    const QImage& picture = Picture(ImageName(Style, IsBordered));
    Lit = picture;
    Unlit = picture;
    if (picture.isNull())
        return;
    const QPoint centre(size.width() / 2, size.height() / 2);
    if (Lit.pixel(centre) == Green) {
        SurfaceFill(Lit, centre, Resolve(LitColor));
        SurfaceFill(Unlit, centre, Resolve(UnlitColor));
    }
    if (!IsBordered && picture.pixel(0, 0) == Silver) {
        SurfaceFill(Lit, {0, 0}, Resolve(BackgroundColor));
        SurfaceFill(Unlit, {0, 0}, Resolve(BackgroundColor));
    }
}

void ThhALed::changeEvent(QEvent* event)
{
    // Placed in a group box, or the desktop's colours changed: the background follows.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) {
        BuildImages();
        update();
    }
    QWidget::changeEvent(event);
}

void ThhALed::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.drawImage(rect(), ShownLit ? LitImage() : UnlitImage());
}

void ThhALed::DrawNow(bool lit)
{
    ShownLit = lit;
    update();
}

void ThhALed::SetValue(bool value)
{
    if (value == IsOn)
        return;
    IsOn = value;
    if (IsOn) {
        DrawNow(true);
        if (IsBlinking)
            StartBlinking();
    } else {
        StopBlinking();
        DrawNow(false);
    }
}

void ThhALed::SetBlink(bool value)
{
    if (value == IsBlinking)
        return;
    DrawNow(IsOn);
    IsBlinking = value;
    if (IsBlinking && IsOn)
        StartBlinking();
    else
        StopBlinking();
}

void ThhALed::SetColor(TColor& field, TColor value)
{
    if (value == field)
        return;
    const bool blinking = IsBlinking;
    if (blinking)
        SetBlink(false);
    field = value;
    BuildImages();
    SetBlink(blinking);
    update();
}

void ThhALed::SetTrueColor(TColor value)
{
    SetColor(LitColor, value);
}

void ThhALed::SetFalseColor(TColor value)
{
    SetColor(UnlitColor, value);
}

void ThhALed::SetBorderColor(TColor value)
{
    SetColor(BackgroundColor, value);
}

void ThhALed::SetLEDStyle(TLEDStyle value)
{
    if (value == Style)
        return;
    Style = value;
    BuildImages();
    update();
}

void ThhALed::SetBordered(bool value)
{
    if (value == IsBordered)
        return;
    IsBordered = value;
    BuildImages();
    update();
}

void ThhALed::SetInterval(int value)
{
    IntervalMs = value;
    if (Timer && !Timer->SetTimer(static_cast<unsigned>(std::max(value, 1))))
        StopBlinking();
}

void ThhALed::StartBlinking()
{
    if (Timer)
        return;
    ShownLit = true;
    Timer = Timers([this] { BlinkTick(); });
    if (!Timer->SetTimer(static_cast<unsigned>(std::max(IntervalMs, 1))))
        Timer.reset(); // no timer to be had: the lamp stays lit
}

void ThhALed::StopBlinking()
{
    Timer.reset();
}

void ThhALed::BlinkTick()
{
    DrawNow(!ShownLit);
    if (OnTimer)
        OnTimer(this);
}

void ThhALed::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void ThhALed::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void ThhALed::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick(this);
}

} // namespace pulo

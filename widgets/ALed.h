#pragma once

// A small light-emitting-diode lamp: lit in TrueColor, unlit in FalseColor, blinking while lit
// when Blink is set. It shows one of two prepared images of its style, made from the style's
// picture by filling the green glass with the lamp's colour (and, without a border, the silver
// background with BorderColor).

#include "common/Colors.h"
#include "widgets/TimerHost.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

namespace pulo {

enum class TLEDStyle
{
    LEDSmall,
    LEDLarge,
    LEDSqSmall,
    LEDSqLarge,
    LEDVertical,
    LEDHorizontal,
};

// The button-face system colour (system colour index 15).
inline constexpr TColor clBtnFace = 0x8000000F;
inline constexpr TColor clSilver = 0xC0C0C0;

class ThhALed final : public QWidget
{
    Q_OBJECT

public:
    explicit ThhALed(QWidget* parent = nullptr, TimerHostFactory timers = MakeQtTimerHost);
    ~ThhALed() override;
    ThhALed(const ThhALed&) = delete;
    ThhALed& operator=(const ThhALed&) = delete;

    [[nodiscard]] TColor TrueColor() const { return LitColor; }
    void SetTrueColor(TColor value);
    [[nodiscard]] TColor FalseColor() const { return UnlitColor; }
    void SetFalseColor(TColor value);
    [[nodiscard]] TColor BorderColor() const { return BackgroundColor; }
    void SetBorderColor(TColor value);
    [[nodiscard]] bool Blink() const { return IsBlinking; }
    void SetBlink(bool value);
    [[nodiscard]] bool Bordered() const { return IsBordered; }
    void SetBordered(bool value);
    [[nodiscard]] bool Value() const { return IsOn; }
    void SetValue(bool value);
    [[nodiscard]] int Interval() const { return IntervalMs; }
    void SetInterval(int value);
    [[nodiscard]] TLEDStyle LEDStyle() const { return Style; }
    void SetLEDStyle(TLEDStyle value);

    [[nodiscard]] const QImage& LitImage() const;
    [[nodiscard]] const QImage& UnlitImage() const;
    // Whether the lit image is the one shown now.
    [[nodiscard]] bool ShowingLit() const { return ShownLit; }
    [[nodiscard]] bool BlinkTimerRunning() const { return Timer != nullptr; }
    // One blink: the other image, then OnTimer.
    void BlinkTick();

    // The name of the picture of a style ("BHZ", "NSM" ...).
    [[nodiscard]] static QString ImageName(TLEDStyle style, bool bordered);
    // Paints the connected area of exactly the colour at the start point (4-neighbours) with
    // fill, as a surface flood fill does.
    static void SurfaceFill(QImage& image, QPoint start, QRgb fill);
    // A colour as painted; a system colour (top bit set) is the colour of the surface the
    // lamp sits on, so its background blends with the group box behind it.
    [[nodiscard]] QRgb Resolve(TColor color) const;

    std::function<void(QObject* sender)> OnTimer;
    std::function<void(QObject* sender)> OnMouseEnter;
    std::function<void(QObject* sender)> OnMouseLeave;
    std::function<void(QObject* sender)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The size follows the style at once; the pictures are coloured when next shown or asked for,
    // once however many settings changed meanwhile (a lamp is set up with several).
    void BuildImages();
    void ColourImages() const;
    void StartBlinking();
    void StopBlinking();
    void DrawNow(bool lit);
    void SetColor(TColor& field, TColor value);

    TimerHostFactory Timers;
    std::unique_ptr<ITimerHost> Timer;
    TColor LitColor = clLime;
    TColor UnlitColor = clSilver;
    TColor BackgroundColor = clBtnFace;
    bool IsBlinking = true;
    bool IsBordered = true;
    bool IsOn = false;
    int IntervalMs = 1000;
    TLEDStyle Style = TLEDStyle::LEDSmall;
    mutable QImage Lit;
    mutable QImage Unlit;
    mutable bool ImagesStale = true;
    bool ShownLit = false;
};

} // namespace pulo

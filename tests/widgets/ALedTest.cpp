#include "widgets/ALed.h"

#include "tests/support/QtPrinters.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace pulo {
namespace {

const char* const NHZ[] = {
    "7777777777777777777777", "7777777777777777777777", "7700000000000000000077", "7707777777777777777077",
    "7707000000000000008077", "77070AAAAAAAAAAAA08077", "77070AAFFFAAAAAAA08077", "77070AFFAAAAAAAAA08077",
    "77070AFAAAAAAAAAA08077", "77070AAAAAAAAAAAA08077", "77070AAAAAAAAAAAA08077", "7707000000000000008077",
    "7708888888888888888077", "7700000000000000000077", "7777777777777777777777", "7777777777777777777777",
};

char Code(QRgb pixel)
{
    switch (pixel & 0xFFFFFF) {
    case 0xC0C0C0:
        return '7';
    case 0x000000:
        return '0';
    case 0x808080:
        return '8';
    case 0xFFFFFF:
        return 'F';
    case 0x00FF00:
        return 'A';
    default:
        return '?';
    }
}

QStringList Picture(const QImage& image)
{
    QStringList rows;
    for (int y = 0; y < image.height(); ++y) {
        QString row;
        for (int x = 0; x < image.width(); ++x)
            row += QLatin1Char(Code(image.pixel(x, y)));
        rows << row;
    }
    return rows;
}

QImage Resource(const QString& name)
{
    return QImage(QStringLiteral(":/leds/%1.xpm").arg(name)).convertToFormat(QImage::Format_RGB32);
}

TEST(ALedTest, LyingBarPicturesArePixelExact)
{
    ThhALed led; // loads the resources
    QStringList expected;
    for (const char* row : NHZ)
        expected << QString::fromLatin1(row);
    EXPECT_EQ(Picture(Resource(QStringLiteral("NHZ"))), expected);

    QStringList framed = expected;
    for (int y = 0; y < framed.size(); ++y) {
        if (y == 0)
            framed[y].fill(QLatin1Char('F'));
        else if (y == framed.size() - 1)
            framed[y].fill(QLatin1Char('8'));
        else {
            framed[y][0] = QLatin1Char('F');
            framed[y][framed[y].size() - 1] = QLatin1Char('8');
        }
    }
    EXPECT_EQ(Picture(Resource(QStringLiteral("BHZ"))), framed);
}

TEST(ALedTest, EveryPictureFollowsTheLampRules)
{
    const struct
    {
        TLEDStyle Style;
        QSize Size;
    } styles[] = {
        {TLEDStyle::LEDSmall, {16, 16}},   {TLEDStyle::LEDLarge, {22, 22}},    {TLEDStyle::LEDSqSmall, {16, 16}},
        {TLEDStyle::LEDSqLarge, {22, 22}}, {TLEDStyle::LEDVertical, {16, 22}}, {TLEDStyle::LEDHorizontal, {22, 16}},
    };
    ThhALed led;
    for (const auto& s : styles) {
        for (const bool bordered : {false, true}) {
            const QString name = ThhALed::ImageName(s.Style, bordered);
            SCOPED_TRACE(name.toStdString());
            const QImage image = Resource(name);
            ASSERT_EQ(image.size(), s.Size);
            const QStringList rows = Picture(image);
            EXPECT_FALSE(rows.join(QString()).contains(QLatin1Char('?'))) << "five colours only";
            EXPECT_EQ(rows[s.Size.height() / 2][s.Size.width() / 2], QLatin1Char('A')) << "the centre is glass";
            EXPECT_TRUE(rows.join(QString()).contains(QLatin1Char('F')));

            // Filling the glass from the centre takes every green pixel; filling the background
            // from the corner of an unframed picture never reaches the glass.
            QImage filled = image;
            ThhALed::SurfaceFill(filled, {s.Size.width() / 2, s.Size.height() / 2}, qRgb(1, 2, 3));
            EXPECT_FALSE(Picture(filled).join(QString()).contains(QLatin1Char('A')));
            if (bordered) {
                EXPECT_EQ(rows.first(), QString(s.Size.width(), QLatin1Char('F')));
                EXPECT_EQ(rows.last(), QString(s.Size.width(), QLatin1Char('8')));
            } else {
                EXPECT_EQ(rows[0][0], QLatin1Char('7'));
                ThhALed::SurfaceFill(filled, {0, 0}, qRgb(4, 5, 6));
                const QStringList after = Picture(filled);
                for (int y = 0; y < after.size(); ++y) {
                    for (int x = 0; x < after[y].size(); ++x) {
                        if (rows[y][x] == QLatin1Char('A')) {
                            EXPECT_EQ(filled.pixel(x, y) & 0xFFFFFF, qRgb(1, 2, 3) & 0xFFFFFF);
                        }
                    }
                }
            }
            led.SetLEDStyle(s.Style);
            led.SetBordered(bordered);
            EXPECT_EQ(led.size(), s.Size);
        }
    }
}

TEST(ALedTest, SpeedMonitorLampsTakeTheirColours)
{
    ThhALed in;
    in.SetLEDStyle(TLEDStyle::LEDHorizontal);
    in.SetBlink(false);
    in.SetBordered(false);
    ThhALed out;
    out.SetLEDStyle(TLEDStyle::LEDHorizontal);
    out.SetBlink(false);
    out.SetBordered(false);
    out.SetTrueColor(clYellow);

    const QRgb face = QApplication::palette().color(QPalette::Button).rgb();
    const struct
    {
        const char* Name;
        const QImage& Image;
        QRgb Glass;
    } cases[] = {
        {"in, lit", in.LitImage(), qRgb(0, 255, 0)},
        {"in, off", in.UnlitImage(), qRgb(192, 192, 192)},
        {"out, lit", out.LitImage(), qRgb(255, 255, 0)},
        {"out, off", out.UnlitImage(), qRgb(192, 192, 192)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(c.Image.size(), QSize(22, 16));
        EXPECT_EQ(c.Image.pixel(11, 8), c.Glass);
        EXPECT_EQ(c.Image.pixel(7, 6), qRgb(255, 255, 255)) << "the highlights stay";
        EXPECT_EQ(c.Image.pixel(0, 0), face) << "the background takes the button face";
        EXPECT_EQ(c.Image.pixel(3, 3), qRgb(192, 192, 192)) << "the bevel inside the ring stays silver";
        EXPECT_EQ(c.Image.pixel(2, 2), qRgb(0, 0, 0));
    }
}

struct FakeBlinkTimer
{
    int Starts = 0;
    bool Alive = false;
    unsigned Delay = 0;
};

class FakeHost final : public ITimerHost
{
public:
    explicit FakeHost(FakeBlinkTimer& timer) : Timer(timer) { Timer.Alive = true; }
    ~FakeHost() override { Timer.Alive = false; }
    bool SetTimer(unsigned delayMs) override
    {
        ++Timer.Starts;
        Timer.Delay = delayMs;
        return true;
    }
    void KillTimer() override {}

private:
    FakeBlinkTimer& Timer;
};

TEST(ALedTest, ValueBlinkAndColourFollowTheirRules)
{
    FakeBlinkTimer timer;
    ThhALed led(nullptr, [&](std::function<void()>) { return std::make_unique<FakeHost>(timer); });
    int ticks = 0;
    led.OnTimer = [&](QObject* sender) {
        EXPECT_EQ(sender, &led);
        ++ticks;
    };
    EXPECT_FALSE(led.ShowingLit());
    EXPECT_TRUE(led.Blink());

    led.SetValue(false);
    EXPECT_FALSE(timer.Alive) << "the same value changes nothing";

    led.SetValue(true);
    EXPECT_TRUE(led.ShowingLit());
    EXPECT_TRUE(timer.Alive);
    EXPECT_EQ(timer.Delay, 1000U);
    led.BlinkTick();
    EXPECT_FALSE(led.ShowingLit());
    EXPECT_EQ(ticks, 1);

    led.SetTrueColor(clYellow); // restarts the cycle with the lit image
    EXPECT_TRUE(led.ShowingLit());
    EXPECT_TRUE(timer.Alive);
    EXPECT_EQ(led.LitImage().pixel(8, 8), qRgb(255, 255, 0));

    led.BlinkTick();
    led.SetBlink(false);
    EXPECT_TRUE(led.ShowingLit()) << "still on, now steady";
    EXPECT_FALSE(timer.Alive);

    led.SetValue(false);
    EXPECT_FALSE(led.ShowingLit());
    led.SetValue(true);
    EXPECT_TRUE(led.ShowingLit());
    EXPECT_FALSE(timer.Alive) << "no blinking without Blink";
    EXPECT_EQ(ticks, 2);

    led.SetInterval(250);
    led.SetBlink(true);
    EXPECT_EQ(timer.Delay, 250U);
}

} // namespace
} // namespace pulo

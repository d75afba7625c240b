// Desktop notifications against a real D-Bus daemon on a private bus, with python3-dbusmock's
// notification daemon standing in for the desktop's.

#include "desktop/Notifications.h"

#include "tests/support/NoticeService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace pulo {
namespace {

class NotificationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = Notices.StartBus(); !why.isEmpty())
            GTEST_SKIP() << "skipped: " << why.toStdString();
        Bus = &Notices.Bus();
    }
    bool StartService(const QString& capabilities = {}) { return Notices.StartService(capabilities); }
    void StopService() { Notices.StopService(); }
    [[nodiscard]] QString Log() const { return Notices.Log(); }
    [[nodiscard]] QStringList Calls() const { return Notices.Calls(); }
    [[nodiscard]] bool WaitForCalls(int count) const { return Notices.WaitForCalls(count); }

    test::TNoticeService Notices;
    QDBusConnection* Bus = nullptr;
};

TEST_F(NotificationsTest, EachKindReplacesItsOwnAndNothingShowsWhenOff)
{
    if (!StartService())
        GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
    TNotifier notifier(*Bus);
    int fallbacks = 0;
    notifier.Fallback = [&](const QString&, const QString&) { ++fallbacks; };
    QSignalSpy answered(&notifier, &TNotifier::Answered);
    notifier.Notify(TNotice::Connected, QStringLiteral("Connected to My ISP"), QStringLiteral("Address 10.64.0.2"));
    ASSERT_TRUE(answered.wait(10000)) << "the reply with the notification's id";
    notifier.Notify(TNotice::Disconnected, QStringLiteral("Disconnected"), QStringLiteral("00:10:00, 1.5 MB"));
    ASSERT_TRUE(WaitForCalls(2));
    notifier.Notify(TNotice::Connected, QStringLiteral("Connected to Backup"), QStringLiteral("Address 10.64.0.3"));
    ASSERT_TRUE(WaitForCalls(3));
    const QStringList calls = Calls();
    EXPECT_TRUE(calls[0].startsWith(QStringLiteral("\"PuloPro\" 0 \"pulopro\" \"Connected to My ISP\" \"Address "
                                                   "10.64.0.2\"")))
        << calls[0].toStdString();
    EXPECT_TRUE(calls[1].startsWith(QStringLiteral("\"PuloPro\" 0 "))) << "another kind stacks beside it";
    EXPECT_TRUE(calls[2].startsWith(QStringLiteral("\"PuloPro\" 1 \"pulopro\" \"Connected to Backup\"")))
        << "replaces the first: " << calls[2].toStdString();
    EXPECT_EQ(fallbacks, 0);

    notifier.Enabled = false;
    notifier.Notify(TNotice::DialFailed, QStringLiteral("Dial failed"), QStringLiteral("The line is busy."));
    notifier.Enabled = true;
    notifier.Notify(TNotice::TimeLimit, QStringLiteral("Time online near the limit"), QString());
    ASSERT_TRUE(WaitForCalls(4));
    EXPECT_TRUE(Calls()[3].contains(QStringLiteral("Time online near the limit")))
        << "the notice given while off never went out";
    EXPECT_TRUE(Calls()[3].contains(QStringLiteral("\"urgency\": 1"))) << Calls()[3].toStdString();
    EXPECT_FALSE(Calls()[3].contains(QStringLiteral("image-data"))) << "no image given";
    // The icon goes along as pixels: a copy whose icon the desktop's theme lacks still shows it.
    notifier.Image = QImage(2, 1, QImage::Format_ARGB32);
    notifier.Image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    notifier.Image.setPixel(1, 0, qRgba(0, 0, 255, 128));
    notifier.Notify(TNotice::DownloadLimit, QStringLiteral("Download past the limit"), QString(), TUrgency::Critical);
    ASSERT_TRUE(WaitForCalls(5));
    EXPECT_TRUE(Calls()[4].contains(QStringLiteral("\"urgency\": 2"))) << Calls()[4].toStdString();
    EXPECT_TRUE(Calls()[4].contains(QStringLiteral(
        "\"image-data\": dbus.Struct((dbus.Int32(2), dbus.Int32(1), dbus.Int32(8), dbus.Boolean(True), dbus.Int32(8), "
        "dbus.Int32(4), dbus.Array([dbus.Byte(255), dbus.Byte(0), dbus.Byte(0), dbus.Byte(255), dbus.Byte(0), "
        "dbus.Byte(0), dbus.Byte(255), dbus.Byte(128)]")))
        << "2 x 1 pixels, red and half-clear blue, as RGBA rows: " << Calls()[4].toStdString();
}

TEST_F(NotificationsTest, ActionsAreOfferedWhereTheDesktopShowsThemAndComeBack)
{
    const std::vector<TNoticeAction> actions{{QStringLiteral("usage"), QStringLiteral("Open Usage")}};
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown ? "a desktop that shows actions" : "one that does not");
        StopService();
        QFile::remove(Log());
        if (!StartService(shown ? QStringLiteral("body actions") : QStringLiteral("body")))
            GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
        TNotifier notifier(*Bus);
        QStringList pressed;
        notifier.OnAction = [&](TNotice kind, const QString& key) {
            pressed << QStringLiteral("%1 %2").arg(static_cast<int>(kind)).arg(key);
        };
        QSignalSpy answered(&notifier, &TNotifier::Answered);
        notifier.Notify(TNotice::DownloadLimit, QStringLiteral("Download at 90 % of the limit"), QString(),
                        TUrgency::Normal, actions);
        ASSERT_TRUE(answered.wait(10000)) << "the notification's id came back";
        ASSERT_TRUE(WaitForCalls(1));
        EXPECT_EQ(Calls()[0].contains(QStringLiteral("[\"usage\", \"Open Usage\"]")), shown)
            << Calls()[0].toStdString();
        if (!shown)
            continue;
        // The desktop says the button was pressed on that notification (the service's first: 1).
        EXPECT_TRUE(Notices.PressAction(1U, QStringLiteral("usage")));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !pressed.isEmpty(); }, 5000));
        EXPECT_EQ(pressed, QStringList{QStringLiteral("%1 usage").arg(static_cast<int>(TNotice::DownloadLimit))});
    }
}

TEST_F(NotificationsTest, WithoutTheServiceTheTraysBalloonShowsIt)
{
    TNotifier notifier(*Bus);
    QStringList balloons;
    notifier.Fallback = [&](const QString& summary, const QString& body) { balloons << summary + " / " + body; };
    notifier.Notify(TNotice::DownloadLimit, QStringLiteral("Download limit passed"), QStringLiteral("4.1 of 4 MB"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !balloons.isEmpty(); }, 5000));
    EXPECT_EQ(balloons, QStringList{"Download limit passed / 4.1 of 4 MB"});
}

} // namespace
} // namespace pulo

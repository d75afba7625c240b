#pragma once

// What every test executable sets before Qt starts: Qt's offscreen platform, so widget tests
// need no display (listing the tests included), and a folder of the run for anything Qt might
// store, so nothing touches the user's desktop or home folder.

#include <QTemporaryDir>

namespace pulo::test {

class TTestEnvironment final
{
public:
    TTestEnvironment()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CONFIG_HOME", Home.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", Home.filePath(QStringLiteral("cache")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", Home.filePath(QStringLiteral("data")).toLocal8Bit());
        // No notification reaches the desktop of whoever runs the tests.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
        // Nor is the machine's NetworkManager asked anything: tests that want one start their own.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "disabled:");
    }

private:
    QTemporaryDir Home;
};

} // namespace pulo::test

#pragma once

// What every test executable sets before Qt starts: Qt's offscreen platform, so widget tests
// need no display (listing the tests included), and a folder of the run for anything Qt might
// store, so nothing touches the user's desktop or home folder.

#include <QFile>
#include <QTemporaryDir>

namespace pulo::test {

class TTestEnvironment final
{
public:
    TTestEnvironment()
    {
        // One screen of a small laptop's size (1024 x 600), so that a window that would not fit
        // on one shows it in the tests.
        QFile screen(Home.filePath(QStringLiteral("screen.json")));
        if (screen.open(QIODevice::WriteOnly))
            screen.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1024, "height": 600,
                             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screen.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName().toLocal8Bit());
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

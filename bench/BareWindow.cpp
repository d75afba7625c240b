// The baseline of the benchmarks: a bare Qt window with a tray icon and a label that changes
// once a second, on the same display as the program, and nothing else.

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("bench-bare-window"));
    window.setWindowTitle(QStringLiteral("bench-bare-window"));
    window.resize(353, 304);
    window.show();
    QPixmap image(32, 32);
    image.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(image)};
    tray.show();
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, &window,
                     [&] { window.setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))); });
    clock.start(1000);
    return QApplication::exec();
}

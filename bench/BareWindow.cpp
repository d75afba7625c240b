// The baseline of the benchmarks: a bare Qt window with a tray icon and a label that changes
// once a second, on the same display as the program, and nothing else. With --animate its tray
// icon also flips between two frames every 150 ms, as the program's must while a line is up.

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const bool animate = QApplication::arguments().contains(QStringLiteral("--animate"));
    const QString title = animate ? QStringLiteral("bench-bare-animated") : QStringLiteral("bench-bare-window");
    QLabel window(title);
    window.setWindowTitle(title);
    window.resize(353, 304);
    window.show();
    QPixmap first(32, 32);
    first.fill(Qt::darkBlue);
    QPixmap second(32, 32);
    second.fill(Qt::darkGreen);
    const QIcon frames[] = {QIcon(first), QIcon(second)};
    QSystemTrayIcon tray{frames[0]};
    tray.show();
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, &window,
                     [&] { window.setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))); });
    clock.start(1000);
    QTimer animation;
    int frame = 0;
    QObject::connect(&animation, &QTimer::timeout, &tray, [&] { tray.setIcon(frames[++frame % 2]); });
    if (animate)
        animation.start(150);
    return QApplication::exec();
}

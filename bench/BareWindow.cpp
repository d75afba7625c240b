// The baseline of the traffic benchmark: a bare Qt window that shows one label and does
// nothing else, on the same display as the program.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("bench-bare-window"));
    window.setWindowTitle(QStringLiteral("bench-bare-window"));
    window.resize(353, 304);
    window.show();
    return QApplication::exec();
}

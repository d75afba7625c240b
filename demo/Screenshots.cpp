#include "demo/Screenshots.h"

#include "app/Unit1.h"
#include "demo/LineSimulator.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace pulo {

namespace {

constexpr int SettleMs = 1500; // the window shown and the history open
constexpr int OnlineMs = 6000; // a few seconds of traffic on the line
constexpr int DrawnMs = 1500;  // the Usage window drawn

void Save(QWidget& window, const QString& path)
{
    if (!window.grab().save(path, "PNG"))
        std::fprintf(stderr, "pulopro-demo: unable to write %s\n", qPrintable(path));
}

} // namespace

void TakeScreenshotsWhenAsked(LineSimulator& simulator, TForm1& form)
{
    const QString folder = qEnvironmentVariable("PULOPRO_DEMO_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    QTimer::singleShot(SettleMs, &simulator, [&simulator, &form, folder] {
        for (QPushButton* button : simulator.findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Bring a line up"))
                button->click();
        QTimer::singleShot(OnlineMs, &form, [&form, folder] {
            Save(form, QDir(folder).filePath(QStringLiteral("main.png")));
            form.Usage1Click();
            QTimer::singleShot(DrawnMs, &form, [&form, folder] {
                for (QWidget* window : QApplication::topLevelWidgets())
                    if (window->objectName() == QStringLiteral("frmUsage") && window->isVisible())
                        Save(*window, QDir(folder).filePath(QStringLiteral("usage.png")));
                form.Exit1Click(); // as File > Exit: the demo's files are kept as at any end
            });
        });
    });
}

} // namespace pulo

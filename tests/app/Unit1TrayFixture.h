#pragma once

// A main window on the simulated platform with a tray that records what it is asked.

#include "app/Unit1.h"
#include "tests/support/SimPlatformTest.h"
#include "tests/support/TrayRecorder.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QStringList>

#include <string>

namespace pulo::test {

// The colour a label's text is painted in.
[[nodiscard]] inline QColor TextColor(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

// The warning a label's text shows, by the hue of its colour: "yellow" (a yellow darkened to be
// read on a light window is one), "red", or "none" for a colour of no hue (the desktop's own text).
[[nodiscard]] inline std::string WarningOf(const QLabel* label)
{
    const QColor color = TextColor(label).toHsv();
    if (color.hsvSaturationF() < 0.5F)
        return "none";
    if (color.hsvHue() >= 45 && color.hsvHue() <= 70)
        return "yellow";
    if (color.hsvHue() <= 10 || color.hsvHue() >= 350)
        return "red";
    return "other";
}

// The names of the sounds requested so far, in order.
[[nodiscard]] inline QStringList SoundsPlayed(const win::sim::SimState& sim)
{
    QStringList names;
    for (const auto& call : sim.SoundCalls)
        names << QString::fromStdString(call.Name);
    return names;
}

// The visible top-level window of that name (a dialog, the Usage window), as a user's tools find
// it; none when there is none.
[[nodiscard]] inline QWidget* ShownWindow(const QString& name)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == name && window->isVisible())
            return window;
    return nullptr;
}

class Unit1TrayTest : public SimPlatformTest
{
protected:
    // Moves the clock on by whole seconds, one supervision tick each.
    void Run(TForm1& form, int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            Sim->Ticks += 1000;
            const win::SYSTEMTIME now = Sim->Now;
            const QDateTime next =
                QDateTime(QDate(now.wYear, now.wMonth, now.wDay), QTime(now.wHour, now.wMinute, now.wSecond))
                    .addSecs(1);
            Sim->SetNow(next.date().year(), next.date().month(), next.date().day(), next.time().hour(),
                        next.time().minute(), next.time().second());
            form.RxTimerEvent1Timer();
        }
    }

    TForm1Services Services()
    {
        TForm1Services services;
        services.TrayShell = [log = Log] { return std::make_unique<TrayRecorder>(log); };
        // The ticks here come faster than a second: the history is opened at once, as the
        // program's first tick a second after start finds it.
        services.HistoryOpenAfterMs = 0;
        return services;
    }

    std::shared_ptr<TrayLog> Log = std::make_shared<TrayLog>();
};

} // namespace pulo::test

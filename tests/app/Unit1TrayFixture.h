#pragma once

// A main window on the simulated platform with a tray that records what it is asked.

#include "app/Unit1.h"
#include "tests/support/SimPlatformTest.h"
#include "tests/support/TrayRecorder.h"

#include <QLabel>
#include <QStringList>

namespace pulo::test {

// The colour a label's text is painted in.
[[nodiscard]] inline QColor TextColor(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

// The names of the sounds requested so far, in order.
[[nodiscard]] inline QStringList SoundsPlayed(const win::sim::SimState& sim)
{
    QStringList names;
    for (const auto& call : sim.SoundCalls)
        names << QString::fromStdString(call.Name);
    return names;
}

class Unit1TrayTest : public SimPlatformTest
{
protected:
    TForm1Services Services()
    {
        TForm1Services services;
        services.TrayShell = [log = Log] { return std::make_unique<TrayRecorder>(log); };
        return services;
    }

    std::shared_ptr<TrayLog> Log = std::make_shared<TrayLog>();
};

} // namespace pulo::test

#pragma once

// A main window on the simulated platform with a tray that records what it is asked.

#include "app/Unit1.h"
#include "tests/support/SimPlatformTest.h"
#include "tests/support/TrayRecorder.h"

namespace pulo::test {

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

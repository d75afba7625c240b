#pragma once

// Base fixture: a fresh simulated platform for every test, with the executable placed in a
// temporary folder of the test's own, so the settings file and the log land there.

#include "platform/sim/SimBackend.h"
#include "tests/support/QtPrinters.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace pulo::test {

class SimPlatformTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The settings file of the simulated executable.
    [[nodiscard]] QString IniPath() const;
    // Replaces the settings file's text.
    void WriteIni(const QByteArray& bytes) const;
    [[nodiscard]] QByteArray ReadIni() const;

    std::unique_ptr<QTemporaryDir> Folder;
    std::shared_ptr<win::sim::SimState> Sim;
};

} // namespace pulo::test

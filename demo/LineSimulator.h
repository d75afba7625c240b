#pragma once

// The demo's line simulator: brings simulated dial-up lines (and VPNs) up and down, with the
// phonebook entry name, the address and the traffic rates of each, and shows what PuloPro's
// connection detector makes of them.

#include "platform/sim/SimBackend.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace pulo {

class TForm1;

class LineSimulator final : public QWidget
{
    Q_OBJECT

public:
    LineSimulator(std::shared_ptr<win::sim::SimState> sim, const TForm1& form, QWidget* parent = nullptr);

private:
    void BringUp(bool withAddress);
    void AssignAddress();
    void LoseAddress();
    void Drop();
    void ApplyRates();
    void ApplyCardRates();
    void Refresh();
    // The simulated per-program meter's figures for the first line, as shares of it.
    void FeedProgramMeter();
    [[nodiscard]] win::sim::SimLine* Selected();

    std::shared_ptr<win::sim::SimState> Sim;
    const TForm1& Form;
    QLineEdit* EntryName = nullptr;
    QLineEdit* Address = nullptr;
    QSpinBox* SendRate = nullptr;
    QSpinBox* ReceiveRate = nullptr;
    QSpinBox* ConnectSpeed = nullptr;
    QCheckBox* NineXFamily = nullptr;
    QListWidget* Lines = nullptr;
    QLabel* Detector = nullptr;
};

} // namespace pulo

#include "widgets/TimerHost.h"

#include <QTimer>

namespace pulo {

namespace {

class QtTimerHost final : public ITimerHost
{
public:
    explicit QtTimerHost(std::function<void()> onTick)
    {
        QObject::connect(&Timer, &QTimer::timeout, &Timer, std::move(onTick));
    }
    bool SetTimer(unsigned delayMs) override
    {
        // A tick of whole seconds comes on the second, as the connection detector's poll does:
        // the program then wakes once a second for both, not twice.
        Timer.setTimerType(delayMs % 1000 == 0 ? Qt::VeryCoarseTimer : Qt::CoarseTimer);
        Timer.start(static_cast<int>(delayMs));
        return Timer.isActive();
    }
    void KillTimer() override { Timer.stop(); }

private:
    QTimer Timer;
};

} // namespace

std::unique_ptr<ITimerHost> MakeQtTimerHost(std::function<void()> onTick)
{
    return std::make_unique<QtTimerHost>(std::move(onTick));
}

} // namespace pulo

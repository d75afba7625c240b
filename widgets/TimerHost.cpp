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

#pragma once

// The About box's credits: a picture at the left and, to its right, the lines centred, rising
// one pixel every 30 ms and starting again from the top once the last line has passed.

#include "widgets/TimerHost.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

namespace pulo {

class TScrollingCredits final : public QWidget
{
    Q_OBJECT

public:
    explicit TScrollingCredits(QWidget* parent = nullptr, TimerHostFactory timers = MakeQtTimerHost);
    ~TScrollingCredits() override;

    QStringList Lines;
    QImage Picture;
    // Starts or stops the scrolling.
    void SetActive(bool active);
    [[nodiscard]] bool Active() const { return Timer != nullptr; }
    // One step of the scrolling (the timer's tick): one pixel on, or back to the start.
    void Step();
    [[nodiscard]] int Offset() const { return ScrollOffset; }
    [[nodiscard]] int LineHeight() const;

    std::function<void(QObject* sender)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TimerHostFactory Timers;
    std::unique_ptr<ITimerHost> Timer;
    int ScrollOffset = 0;
};

} // namespace pulo

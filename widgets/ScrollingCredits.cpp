#include "widgets/ScrollingCredits.h"

#include <QMouseEvent>
#include <QPainter>

namespace pulo {

namespace {
constexpr unsigned StepMs = 30;
} // namespace

TScrollingCredits::TScrollingCredits(QWidget* parent, TimerHostFactory timers)
    : QWidget(parent), Timers(std::move(timers))
{
}

TScrollingCredits::~TScrollingCredits() = default;

void TScrollingCredits::SetActive(bool active)
{
    if (active == Active())
        return;
    if (!active) {
        Timer.reset();
        return;
    }
    Timer = Timers([this] { Step(); });
    if (!Timer->SetTimer(StepMs))
        Timer.reset();
}

int TScrollingCredits::LineHeight() const
{
    const QFontMetrics metrics(font());
    return std::max(1, metrics.height() + metrics.leading());
}

void TScrollingCredits::Step()
{
    const int end = static_cast<int>(std::max<qsizetype>(Lines.size() - 1, 0)) * LineHeight();
    ScrollOffset = ScrollOffset >= end ? 0 : ScrollOffset + 1;
    update();
}

void TScrollingCredits::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    int textLeft = 0;
    if (!Picture.isNull()) {
        painter.drawImage(QPoint(0, (height() - Picture.height()) / 2), Picture);
        textLeft = Picture.width();
    }
    painter.setPen(palette().color(QPalette::WindowText));
    const int lineHeight = LineHeight();
    const QRect area(textLeft, 0, width() - textLeft, height());
    int line = ScrollOffset / lineHeight;
    for (int y = -(ScrollOffset % lineHeight); y < area.height(); y += lineHeight, ++line) {
        const QString text = line < Lines.size() ? Lines[line] : QString();
        painter.drawText(QRect(area.left(), y, area.width(), lineHeight), Qt::AlignHCenter | Qt::AlignVCenter, text);
    }
}

void TScrollingCredits::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnClick)
        OnClick(this);
    event->accept();
}

} // namespace pulo

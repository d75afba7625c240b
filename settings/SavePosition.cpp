#include "settings/SavePosition.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace pulo {

namespace {

// The outer rectangle of the window in its normal state.
QRect NormalRectangle(const QWidget& window)
{
    const bool normalNow = window.isVisible() && !window.isMinimized() && !window.isMaximized();
    const QRect client = normalNow || window.normalGeometry().isEmpty() ? window.geometry() : window.normalGeometry();
    const QRect frame = window.frameGeometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    return client.marginsAdded(margins);
}

// Where the window goes so that it can be reached: where it was when that is on a screen,
// otherwise moved onto the screen nearest to it (a monitor that is no longer there).
QPoint OnNearestScreen(const QRect& wanted)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return wanted.topLeft();
    const QScreen* nearest = nullptr;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const QScreen* screen : screens) {
        const QRect area = screen->availableGeometry();
        const QRect shared = area.intersected(wanted);
        // A title bar's worth of the window on a screen is enough to take hold of it.
        if (shared.width() >= 40 && shared.height() >= 20 && shared.top() == std::max(wanted.top(), area.top()))
            return wanted.topLeft();
        const QPoint gap = wanted.center() - area.center();
        const std::int64_t distance =
            static_cast<std::int64_t>(gap.x()) * gap.x() + static_cast<std::int64_t>(gap.y()) * gap.y();
        if (distance < best) {
            best = distance;
            nearest = screen;
        }
    }
    const QRect area = nearest->availableGeometry();
    const int x = std::clamp(wanted.left(), area.left(), std::max(area.left(), area.right() + 1 - wanted.width()));
    const int y = std::clamp(wanted.top(), area.top(), std::max(area.top(), area.bottom() + 1 - wanted.height()));
    return {x, y};
}

} // namespace

void SaveWindowPosition(const QWidget& window, const char* section)
{
    const QRect place = NormalRectangle(window);
    // One replacement of the file for the four: one flush to disk at the program's end instead of
    // four, and never a left edge of this run with a right edge of the last.
    TIniFile ini(SettingsPath());
    ini.WriteValues(section, {{"Left", place.left()},
                              {"Top", place.top()},
                              {"Right", place.left() + place.width()},
                              {"Bottom", place.top() + place.height()}});
}

void RestoreWindowPosition(QWidget& window, const char* section)
{
    const TIniFile ini(SettingsPath());
    const QRect frame = window.frameGeometry();
    const QSize frameExtra = frame.size() - window.size();
    // In 64 bits: values at the ends of the range must not overflow. A rectangle no screen
    // could show (inverted, or larger than any display) counts as no position at all.
    const std::int64_t left = ini.ReadInteger(section, "Left", frame.left());
    const std::int64_t top = ini.ReadInteger(section, "Top", frame.top());
    const std::int64_t right = ini.ReadInteger(section, "Right", static_cast<std::int32_t>(left + frame.width()));
    const std::int64_t bottom = ini.ReadInteger(section, "Bottom", static_cast<std::int32_t>(top + frame.height()));
    constexpr std::int64_t limit = 100000;
    const std::int64_t width = right - left - frameExtra.width();
    const std::int64_t height = bottom - top - frameExtra.height();
    if (std::abs(left) > limit || std::abs(top) > limit || width <= 0 || height <= 0 || width > limit || height > limit)
        return;
    const QRect wanted(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                       static_cast<int>(bottom - top));
    const QPoint place = OnNearestScreen(wanted);
    window.move(place);
    window.resize(static_cast<int>(width), static_cast<int>(height));
}

} // namespace pulo

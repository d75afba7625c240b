#include "settings/SavePosition.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace pulo {

namespace {

// The margins a frame adds around a window.
QMargins MarginsOf(const QWidget& window)
{
    const QRect client = window.geometry();
    const QRect frame = window.frameGeometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// The frame the window manager gives the window: its own once it has been shown, else that of
// another window it framed already (the main window), else none.
QMargins FrameMargins(const QWidget& window)
{
    if (!MarginsOf(window).isNull())
        return MarginsOf(window);
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != &window && other->windowType() == Qt::Window && other->isVisible() && !MarginsOf(*other).isNull())
            return MarginsOf(*other);
    return {};
}

// Once the window manager has framed a window that was placed with a frame taken from another
// window, its size is put right by the difference: a resizable window's frame may be larger (a
// grip along its bottom), and the window would grow by it at every start.
class TFrameFollower final : public QObject
{
public:
    TFrameFollower(QWidget& window, const QMargins& assumed) : QObject(&window), Window(window), Assumed(assumed)
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize;
        if (watched != &Window || !placed || !Window.isVisible() || MarginsOf(Window).isNull())
            return false;
        const QMargins real = MarginsOf(Window);
        const QSize difference(real.left() + real.right() - Assumed.left() - Assumed.right(),
                               real.top() + real.bottom() - Assumed.top() - Assumed.bottom());
        deleteLater();
        Window.removeEventFilter(this);
        if (!difference.isNull())
            Window.resize(Window.size() - difference);
        return false;
    }

private:
    QWidget& Window;
    QMargins Assumed;
};

// The outer rectangle of the window in its normal state.
QRect NormalRectangle(const QWidget& window)
{
    const bool normalNow = window.isVisible() && !window.isMinimized() && !window.isMaximized();
    const QRect client = normalNow || window.normalGeometry().isEmpty() ? window.geometry() : window.normalGeometry();
    return client.marginsAdded(MarginsOf(window));
}

// Where the window's frame goes so that all of it can be reached: on the screen it is mostly on
// (else the primary one), within the room the desktop's panels leave, made smaller where it is
// larger than that room (not below least).
QRect WhollyOnScreen(const QRect& wanted, const QSize& least)
{
    const QScreen* chosen = QGuiApplication::primaryScreen();
    if (chosen == nullptr)
        return wanted;
    std::int64_t most = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->availableGeometry().intersected(wanted);
        const std::int64_t area = shared.isEmpty() ? 0 : static_cast<std::int64_t>(shared.width()) * shared.height();
        if (area > most) {
            most = area;
            chosen = screen;
        }
    }
    const QRect room = chosen->availableGeometry();
    const QSize size = wanted.size().boundedTo(room.size()).expandedTo(least);
    const int x = std::clamp(wanted.left(), room.left(), std::max(room.left(), room.right() + 1 - size.width()));
    const int y = std::clamp(wanted.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
    return {QPoint(x, y), size};
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
    // What is stored is the frame's rectangle. A window not shown yet has no frame of its own:
    // it is taken to get the one the window manager gave the others, else its size would grow by
    // a frame at every start.
    const QMargins margins = FrameMargins(window);
    const QRect frame = window.geometry().marginsAdded(margins);
    // In 64 bits: values at the ends of the range must not overflow. A rectangle no screen
    // could show (inverted, or larger than any display) counts as no position at all.
    const std::int64_t left = ini.ReadInteger(section, "Left", frame.left());
    const std::int64_t top = ini.ReadInteger(section, "Top", frame.top());
    const std::int64_t right = ini.ReadInteger(section, "Right", static_cast<std::int32_t>(left + frame.width()));
    const std::int64_t bottom = ini.ReadInteger(section, "Bottom", static_cast<std::int32_t>(top + frame.height()));
    constexpr std::int64_t limit = 100000;
    const std::int64_t width = right - left;
    const std::int64_t height = bottom - top;
    const bool stored = std::abs(left) <= limit && std::abs(top) <= limit && width > margins.left() + margins.right() &&
                        height > margins.top() + margins.bottom() && width <= limit && height <= limit;
    const QRect wanted =
        stored ? QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width), static_cast<int>(height))
               : frame;
    // No smaller than its layout lets it be: a window that grows once shown is placed anew by
    // some window managers, with its frame off the screen's top.
    const QSize least = window.minimumSize().expandedTo(window.minimumSizeHint());
    const QRect placed = WhollyOnScreen(wanted, least.grownBy(margins));
    window.move(placed.topLeft());
    window.resize(placed.size().shrunkBy(margins));
    if (!window.isVisible() && !margins.isNull())
        new TFrameFollower(window, margins);
}

} // namespace pulo

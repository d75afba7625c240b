#include "settings/SavePosition.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QWidget>

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

} // namespace

void SaveWindowPosition(const QWidget& window, const char* section)
{
    const QRect place = NormalRectangle(window);
    TIniFile ini(SettingsPath());
    ini.WriteInteger(section, "Left", place.left());
    ini.WriteInteger(section, "Top", place.top());
    ini.WriteInteger(section, "Right", place.left() + place.width());
    ini.WriteInteger(section, "Bottom", place.top() + place.height());
}

void RestoreWindowPosition(QWidget& window, const char* section)
{
    const TIniFile ini(SettingsPath());
    const QRect frame = window.frameGeometry();
    const QSize frameExtra = frame.size() - window.size();
    const int left = ini.ReadInteger(section, "Left", frame.left());
    const int top = ini.ReadInteger(section, "Top", frame.top());
    window.move(left, top);
    const int right = ini.ReadInteger(section, "Right", left + frame.width());
    const int bottom = ini.ReadInteger(section, "Bottom", top + frame.height());
    window.resize(right - left - frameExtra.width(), bottom - top - frameExtra.height());
}

} // namespace pulo

#pragma once

// The desktop's notification area as the tray icon component sees it: the shell's add, modify
// and delete calls with the notification record, and the mouse messages coming back. The
// program's shell is Qt's system tray icon; tests put in a recorder.

#include "platform/Shell32.h"

#include <QIcon>

class QMenu;

#include <functional>
#include <memory>

namespace pulo {

class ITrayShell
{
public:
    virtual ~ITrayShell() = default;
    // Shell_NotifyIconA: NIM_ADD, NIM_MODIFY or NIM_DELETE with the record, and the image
    // its hIcon names. Returns false when the shell refuses (no notification area, nothing
    // to modify or delete).
    virtual bool NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& data, const QIcon& image) = 0;
    // Whether the desktop has a notification area right now.
    [[nodiscard]] virtual bool TrayAvailable() const = 0;
    // A tip longer than the record's 63 bytes, shown in place of the record's from now on
    // (empty: the record's again). A shell without long tips keeps the record's.
    virtual void ShowLongTip(const QString& tip) { static_cast<void>(tip); }
    // Gives the icon its context menu, shown by the desktop itself: a StatusNotifierItem panel is
    // handed the menu and places it as its own. False when this shell cannot, and the icon pops
    // the menu up at the cursor itself.
    virtual bool TakeMenu(QMenu* menu)
    {
        static_cast<void>(menu);
        return false;
    }
    // A message in a balloon by the icon, where the desktop has no notification service.
    virtual void ShowBalloon(const QString& title, const QString& text)
    {
        static_cast<void>(title);
        static_cast<void>(text);
    }

    // The shell's callback: the record's callback message and a mouse message (WM_LBUTTONDOWN ...).
    std::function<void(win::UINT callbackMessage, win::UINT mouseMessage)> OnNotify;
};

// The program's shell, on Qt's system tray icon.
[[nodiscard]] std::unique_ptr<ITrayShell> MakeQtTrayShell();

} // namespace pulo

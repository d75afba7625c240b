#pragma once

// An icon in the desktop's notification area, with an optional animation and mouse events.
// The icon shows Icon, or while Animated the frames of Icons one after another, Interval ms
// apart; its tip is the part of Hint before the first "|".

#include "platform/Shell32.h"
#include "widgets/TrayShell.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class QMenu;

namespace pulo {

enum class TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle,
};

// Keys held and buttons pressed with a mouse event.
enum TShiftFlag : unsigned
{
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64,
};
using TShiftState = unsigned;

class TRxTrayIcon : public QObject
{
    Q_OBJECT

public:
    // The shell's callback message for the icon's mouse notifications.
    static constexpr win::UINT CallbackMessage = 0xB054;

    explicit TRxTrayIcon(std::unique_ptr<ITrayShell> shell = MakeQtTrayShell(), QObject* parent = nullptr);
    ~TRxTrayIcon() override;
    TRxTrayIcon(const TRxTrayIcon&) = delete;
    TRxTrayIcon& operator=(const TRxTrayIcon&) = delete;

    [[nodiscard]] bool Active() const { return IsActive; }
    void SetActive(bool value);
    [[nodiscard]] const QString& Hint() const { return HintText; }
    void SetHint(const QString& value);
    // A status shown under the hint's tip where the desktop shows long tips ("Connected to ..."):
    // the tip becomes the hint's, a line break and this. Sent only when it changes.
    [[nodiscard]] const QString& Status() const { return StatusText; }
    void SetStatus(const QString& value);
    // A message in a balloon by the icon (a desktop without notifications).
    void ShowBalloon(const QString& title, const QString& text) { Shell->ShowBalloon(title, text); }
    [[nodiscard]] const QIcon& Icon() const { return StillIcon; }
    void SetIcon(const QIcon& value);
    [[nodiscard]] const QList<QIcon>& Icons() const { return Frames; }
    void SetIcons(const QList<QIcon>& value);
    // Effective only with frames to show; turning it off shows the still icon again.
    [[nodiscard]] bool Animated() const { return IsAnimated; }
    void SetAnimated(bool value);
    [[nodiscard]] std::uint16_t Interval() const { return IntervalMs; }
    void SetInterval(std::uint16_t value);
    // Shown by a right click when set (and automatic); its default item answers a double click.
    QMenu* PopupMenu = nullptr;
    // Sets PopupMenu and gives it to the desktop's tray where it can show it itself.
    void SetPopupMenu(QMenu* menu);

    // Owner finished setting the icon up: show it when active.
    void Loaded();
    void Show();
    void Hide();
    void Update();

    [[nodiscard]] bool Registered() const { return IsRegistered; }
    // Whether the desktop has a notification area right now.
    [[nodiscard]] bool TrayAvailable() const { return Shell->TrayAvailable(); }
    [[nodiscard]] int FrameIndex() const { return Frame; }
    [[nodiscard]] bool AnimationRunning() const { return Animation != nullptr; }
    // The image shown now: the current frame while animated, else the still icon.
    [[nodiscard]] QIcon CurrentImage() const;
    // The next frame, as the animation asks for it after each interval.
    void AdvanceFrame();
    // A notification from the shell (the callback message and a mouse message).
    void Notify(win::UINT callbackMessage, win::UINT mouseMessage);

    std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)> OnClick;
    std::function<void(QObject* sender)> OnDblClick;
    std::function<void(QObject* sender, TShiftState shift, int x, int y)> OnMouseMove;
    std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
    std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseUp;

protected:
    // Fills the shell's record for the current image and hint.
    virtual void FillNotifyData(win::NOTIFYICONDATAA& data) const;

private:
    void Click(TMouseButton button, TShiftState shift, QPoint at);
    void DblClick();
    void StartAnimation();
    void StopAnimation();
    [[nodiscard]] static TShiftState CurrentShift();

    std::unique_ptr<ITrayShell> Shell;
    bool IsActive = true;
    QString HintText;
    QString StatusText;
    QIcon StillIcon;
    QList<QIcon> Frames;
    bool IsAnimated = false;
    std::uint16_t IntervalMs = 150;
    int Frame = -1;
    bool IsRegistered = false;
    bool LeftPressed = false;
    bool RightPressed = false;
    bool MenuWithShell = false; // the desktop shows PopupMenu itself
    // The clock of the current animation, stopped while the icon is not registered.
    std::unique_ptr<QTimer> Animation;
    // The hidden window the shell's notifications are addressed to.
    win::HWND32 WindowHandle;
};

} // namespace pulo

#include "widgets/RXShell.h"

#include "common/ErrorBoundary.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace pulo {

namespace {

win::HWND32 NextWindowHandle()
{
    static std::atomic<win::HWND32> next{0x00010000};
    return next.fetch_add(4);
}

// The text before the first "|", cut to 63 bytes without splitting a character.
QByteArray TipText(const QString& hint)
{
    QByteArray tip = hint.section(QLatin1Char('|'), 0, 0).toUtf8();
    if (tip.size() > 63) {
        qsizetype cut = 63;
        while (cut > 0 && (static_cast<unsigned char>(tip[cut]) & 0xC0) == 0x80)
            --cut;
        tip.truncate(cut);
    }
    return tip;
}

} // namespace

TRxTrayIcon::TRxTrayIcon(std::unique_ptr<ITrayShell> shell, QObject* parent)
    : QObject(parent), Shell(std::move(shell)), WindowHandle(NextWindowHandle())
{
    Shell->OnNotify = [this](win::UINT callbackMessage, win::UINT mouseMessage) {
        RunGuarded([&] { Notify(callbackMessage, mouseMessage); });
    };
}

TRxTrayIcon::~TRxTrayIcon()
{
    StopAnimation();
    IsAnimated = false;
    Hide();
    Shell->OnNotify = nullptr;
}

QIcon TRxTrayIcon::CurrentImage() const
{
    if (IsAnimated && !Frames.isEmpty())
        return Frames[std::clamp(Frame, 0, static_cast<int>(Frames.size()) - 1)];
    return StillIcon;
}

void TRxTrayIcon::FillNotifyData(win::NOTIFYICONDATAA& data) const
{
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    data.hWnd = WindowHandle;
    data.uID = 0;
    data.uFlags = win::NIF_MESSAGE | win::NIF_ICON | win::NIF_TIP;
    data.uCallbackMessage = CallbackMessage;
    const QIcon image = CurrentImage();
    data.hIcon = image.isNull() ? 0 : static_cast<win::HICON32>(image.cacheKey()) | 1U;
    const QByteArray tip = TipText(HintText);
    std::memcpy(data.szTip, tip.constData(), static_cast<std::size_t>(tip.size()));
}

void TRxTrayIcon::Loaded()
{
    if (IsActive)
        Show();
}

void TRxTrayIcon::Show()
{
    Hide();
    const QIcon image = CurrentImage();
    if (!image.isNull()) {
        win::NOTIFYICONDATAA data{};
        FillNotifyData(data);
        IsRegistered = Shell->NotifyIcon(win::NIM_ADD, data, image);
    }
    if (IsAnimated && Animation && IsRegistered)
        Animation->start();
}

void TRxTrayIcon::Hide()
{
    win::NOTIFYICONDATAA data{};
    FillNotifyData(data);
    Shell->NotifyIcon(win::NIM_DELETE, data, QIcon());
    IsRegistered = false;
    LeftPressed = false;
    RightPressed = false;
    if (IsAnimated && Animation)
        Animation->stop();
}

void TRxTrayIcon::Update()
{
    if (Frames.isEmpty() && IsAnimated) {
        StopAnimation();
        IsAnimated = false;
    }
    if (IsRegistered) {
        const QIcon image = CurrentImage();
        if (image.isNull()) {
            Hide();
            return;
        }
        win::NOTIFYICONDATAA data{};
        FillNotifyData(data);
        Shell->NotifyIcon(win::NIM_MODIFY, data, image);
    } else if (IsActive) {
        Show();
    }
}

void TRxTrayIcon::SetActive(bool value)
{
    if (value == IsActive)
        return;
    IsActive = value;
    if (IsActive)
        Show();
    else
        Hide();
}

void TRxTrayIcon::SetStatus(const QString& value)
{
    if (value == StatusText)
        return;
    StatusText = value;
    Shell->ShowLongTip(value.isEmpty() ? QString() : QString::fromUtf8(TipText(HintText)) + QLatin1Char('\n') + value);
}

void TRxTrayIcon::SetHint(const QString& value)
{
    if (value == HintText)
        return;
    HintText = value;
    Update();
}

void TRxTrayIcon::SetIcon(const QIcon& value)
{
    StillIcon = value;
    Update();
}

void TRxTrayIcon::SetIcons(const QList<QIcon>& value)
{
    Frames = value;
    Update();
}

void TRxTrayIcon::SetInterval(std::uint16_t value)
{
    IntervalMs = value;
    if (Animation)
        Animation->setInterval(value);
}

void TRxTrayIcon::SetAnimated(bool value)
{
    const bool effective = value && !Frames.isEmpty();
    if (effective == IsAnimated)
        return;
    if (effective) {
        StartAnimation();
        IsAnimated = true;
    } else {
        IsAnimated = false;
        StopAnimation();
    }
    Frame = 0;
    Update();
}

void TRxTrayIcon::StartAnimation()
{
    // A timer of the user-interface thread, where the icon lives: a frame costs one swap of
    // the shown image, with no thread and nothing posted between threads. It waits while the
    // icon is not in the notification area.
    Animation = std::make_unique<QTimer>();
    Animation->setInterval(IntervalMs);
    connect(Animation.get(), &QTimer::timeout, this, [this] { RunGuarded([this] { AdvanceFrame(); }); });
    if (IsRegistered)
        Animation->start();
}

void TRxTrayIcon::StopAnimation()
{
    Animation.reset();
}

void TRxTrayIcon::AdvanceFrame()
{
    if (!IsAnimated || Frames.isEmpty())
        return;
    Frame = Frame + 1 >= Frames.size() ? 0 : Frame + 1;
    Update();
}

TShiftState TRxTrayIcon::CurrentShift()
{
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    TShiftState shift = 0;
    if (keys & Qt::ShiftModifier)
        shift |= ssShift;
    if (keys & Qt::AltModifier)
        shift |= ssAlt;
    if (keys & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}

void TRxTrayIcon::Notify(win::UINT callbackMessage, win::UINT mouseMessage)
{
    if (callbackMessage != CallbackMessage)
        return;
    const QPoint at = QCursor::pos();
    const TShiftState shift = CurrentShift();
    auto down = [&](TMouseButton button, TShiftState state) {
        if (OnMouseDown)
            OnMouseDown(this, button, state, at.x(), at.y());
    };
    auto up = [&](TMouseButton button, TShiftState state) {
        if (OnMouseUp)
            OnMouseUp(this, button, state, at.x(), at.y());
    };
    switch (mouseMessage) {
    case win::WM_MOUSEMOVE:
        if (OnMouseMove)
            OnMouseMove(this, shift, at.x(), at.y());
        break;
    case win::WM_LBUTTONDOWN:
        down(TMouseButton::mbLeft, shift | ssLeft);
        LeftPressed = true;
        break;
    case win::WM_LBUTTONUP:
        if (LeftPressed) {
            LeftPressed = false;
            Click(TMouseButton::mbLeft, shift, at);
            up(TMouseButton::mbLeft, shift);
        }
        break;
    case win::WM_RBUTTONDOWN:
        down(TMouseButton::mbRight, shift | ssRight);
        RightPressed = true;
        break;
    case win::WM_RBUTTONUP:
        if (RightPressed) {
            RightPressed = false;
            Click(TMouseButton::mbRight, shift, at);
            up(TMouseButton::mbRight, shift);
        }
        break;
    case win::WM_LBUTTONDBLCLK:
        DblClick();
        down(TMouseButton::mbLeft, shift | ssLeft | ssDouble);
        break;
    case win::WM_RBUTTONDBLCLK:
        down(TMouseButton::mbRight, shift | ssRight | ssDouble);
        break;
    case win::WM_MBUTTONDBLCLK:
        down(TMouseButton::mbMiddle, shift | ssMiddle | ssDouble);
        break;
    case win::WM_MBUTTONDOWN:
        down(TMouseButton::mbMiddle, shift | ssMiddle);
        break;
    case win::WM_MBUTTONUP:
        up(TMouseButton::mbMiddle, shift);
        break;
    default:
        break;
    }
}

void TRxTrayIcon::SetPopupMenu(QMenu* menu)
{
    PopupMenu = menu;
    MenuWithShell = Shell->TakeMenu(menu);
}

void TRxTrayIcon::Click(TMouseButton button, TShiftState shift, QPoint at)
{
    if (button == TMouseButton::mbRight && PopupMenu != nullptr && PopupMenu->isEnabled()) {
        if (!MenuWithShell)
            PopupMenu->popup(at);
        return;
    }
    if (OnClick)
        OnClick(this, button, shift, at.x(), at.y());
}

void TRxTrayIcon::DblClick()
{
    if (PopupMenu != nullptr && PopupMenu->defaultAction() != nullptr) {
        PopupMenu->defaultAction()->trigger();
        return;
    }
    if (OnDblClick)
        OnDblClick(this);
}

} // namespace pulo

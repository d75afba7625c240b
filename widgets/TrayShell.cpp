#include "widgets/TrayShell.h"

#include <QElapsedTimer>
#include <QSystemTrayIcon>

namespace pulo {

namespace {

class QtTrayShell final : public ITrayShell
{
public:
    bool NotifyIcon(win::DWORD message, const win::NOTIFYICONDATAA& data, const QIcon& image) override
    {
        switch (message) {
        case win::NIM_ADD:
            if (!Icon) {
                Icon = std::make_unique<QSystemTrayIcon>();
                QObject::connect(Icon.get(), &QSystemTrayIcon::activated, Icon.get(),
                                 [this, callback = data.uCallbackMessage](QSystemTrayIcon::ActivationReason reason) {
                                     Activated(callback, reason);
                                 });
                if (Menu != nullptr)
                    Icon->setContextMenu(Menu);
            }
            Apply(data, image);
            // Shown even without a notification area: Qt docks the icon as soon as one appears.
            Icon->show();
            return QSystemTrayIcon::isSystemTrayAvailable();
        case win::NIM_MODIFY:
            if (!Icon || !Icon->isVisible())
                return false;
            Apply(data, image);
            return true;
        case win::NIM_DELETE:
            if (!Icon || !Icon->isVisible())
                return false;
            Icon->hide();
            return true;
        default:
            return false;
        }
    }

    bool TrayAvailable() const override
    {
        constexpr qint64 KeptMs = 10000;
        if (!Asked.isValid() || Asked.hasExpired(KeptMs)) {
            Available = QSystemTrayIcon::isSystemTrayAvailable();
            Asked.start();
        }
        return Available;
    }

private:
    // Only what changed goes to the notification area: each new image costs it a repaint (and
    // on X11 a round trip), and the animation asks every 150 ms.
    void Apply(const win::NOTIFYICONDATAA& data, const QIcon& image)
    {
        if ((data.uFlags & win::NIF_ICON) && image.cacheKey() != ShownImage) {
            Icon->setIcon(image);
            ShownImage = image.cacheKey();
        }
        if (data.uFlags & win::NIF_TIP)
            ApplyTip(LongTip.isEmpty() ? QString::fromUtf8(data.szTip) : LongTip);
    }

    void ApplyTip(const QString& tip)
    {
        if (Icon && tip != Icon->toolTip())
            Icon->setToolTip(tip);
    }

    bool TakeMenu(QMenu* menu) override
    {
        Menu = menu;
        if (Icon)
            Icon->setContextMenu(menu);
        return true;
    }

    void ShowBalloon(const QString& title, const QString& text) override
    {
        if (Icon && Icon->isVisible())
            Icon->showMessage(title, text, QSystemTrayIcon::Information, 8000);
    }

    void ShowLongTip(const QString& tip) override
    {
        LongTip = tip;
        if (!tip.isEmpty())
            ApplyTip(tip);
    }

    // Qt reports whole clicks; the component expects the button messages that make them up.
    void Activated(win::UINT callback, QSystemTrayIcon::ActivationReason reason)
    {
        if (!OnNotify)
            return;
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            OnNotify(callback, win::WM_LBUTTONDOWN);
            OnNotify(callback, win::WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::DoubleClick:
            OnNotify(callback, win::WM_LBUTTONDBLCLK);
            OnNotify(callback, win::WM_LBUTTONUP);
            break;
        case QSystemTrayIcon::Context:
            OnNotify(callback, win::WM_RBUTTONDOWN);
            OnNotify(callback, win::WM_RBUTTONUP);
            break;
        case QSystemTrayIcon::MiddleClick:
            OnNotify(callback, win::WM_MBUTTONDOWN);
            OnNotify(callback, win::WM_MBUTTONUP);
            break;
        case QSystemTrayIcon::Unknown:
            break;
        }
    }

    std::unique_ptr<QSystemTrayIcon> Icon;
    QMenu* Menu = nullptr;
    qint64 ShownImage = 0;
    QString LongTip;
    // Asking Qt whether there is a notification area builds a tray icon of the platform each
    // time: the answer is kept for a while.
    mutable QElapsedTimer Asked;
    mutable bool Available = false;
};

} // namespace

std::unique_ptr<ITrayShell> MakeQtTrayShell()
{
    return std::make_unique<QtTrayShell>();
}

} // namespace pulo

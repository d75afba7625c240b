// The configuration dialog's additions to its " General " page for a desktop: desktop
// notifications (the key Notify) and starting with the desktop (an autostart entry, offered to
// an installed copy only). Kept to the dialog's rules: OK stores, Cancel reverts.

#include "settings/DesktopSettings.h"
#include "settings/frmConfig.h"

#include <QCheckBox>

namespace pulo {

void TfrmConfig::CreateDesktopChecks(QWidget* page)
{
    CheckNotify = new QCheckBox(QStringLiteral("Desktop notifications"), page);
    CheckNotify->setObjectName(QStringLiteral("CheckNotify"));
    CheckNotify->setToolTip(QStringLiteral("Tell connections, limits and failed dials on the desktop"));
    CheckNotify->move(24, 152);
    CheckNotify->adjustSize();
    CheckAutostart = new QCheckBox(QStringLiteral("Start with the desktop"), page);
    CheckAutostart->setObjectName(QStringLiteral("CheckAutostart"));
    CheckAutostart->setToolTip(QStringLiteral("Start PuloPro when you log in"));
    CheckAutostart->move(24, 184);
    CheckAutostart->adjustSize();
    // A portable copy moves with its folder: it is not started by the desktop.
    CheckAutostart->setVisible(static_cast<bool>(Host.SetAutostart));
}

void TfrmConfig::LoadDesktopControls()
{
    if (Host.Desktop != nullptr)
        CheckNotify->setChecked(Host.Desktop->Notify);
    if (Host.AutostartEnabled)
        CheckAutostart->setChecked(Host.AutostartEnabled());
}

void TfrmConfig::ReadDesktop()
{
    if (Host.Desktop != nullptr)
        *Host.Desktop = ReadDesktopSettings();
}

void TfrmConfig::StoreDesktop()
{
    if (Host.Desktop != nullptr) {
        TDesktopSettings desktop;
        desktop.Notify = CheckNotify->isChecked();
        WriteDesktopSettings(desktop); // a refused write raises: the dialog stays open
        *Host.Desktop = desktop;
    }
    if (Host.SetAutostart && Host.AutostartEnabled && Host.AutostartEnabled() != CheckAutostart->isChecked())
        Host.SetAutostart(CheckAutostart->isChecked());
}

} // namespace pulo

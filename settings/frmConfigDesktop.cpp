// The configuration dialog's additions to its " General " page for a desktop: desktop
// notifications (the key Notify) and starting with the desktop (an autostart entry, offered to
// an installed copy only). Kept to the dialog's rules: OK stores, Cancel reverts.

#include "common/PuloError.h"
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

void TfrmConfig::StoreDesktop()
{
    if (Host.Desktop != nullptr) {
        TDesktopSettings desktop;
        desktop.Notify = CheckNotify->isChecked();
        WriteDesktopSettings(desktop); // a refused write raises: the dialog stays open
        *Host.Desktop = desktop;
    }
    // Refused as the settings file is: said, and the dialog stays open.
    if (Host.SetAutostart && Host.AutostartEnabled && Host.AutostartEnabled() != CheckAutostart->isChecked() &&
        !Host.SetAutostart(CheckAutostart->isChecked()))
        throw PuloError(QStringLiteral("Unable to write to %1")
                            .arg(Host.AutostartPath ? Host.AutostartPath() : QStringLiteral("the autostart entry")));
}

} // namespace pulo

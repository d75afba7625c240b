#include "app/TrayShellChoice.h"

#include "widgets/XEmbedTrayShell.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace pulo {

std::unique_ptr<ITrayShell> MakeDesktopTrayShell()
{
    if (qgetenv("PULOPRO_TRAY") != "qt") {
        const QDBusConnection session = QDBusConnection::sessionBus();
        const bool notifierHost =
            session.isConnected() &&
            session.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
        if (!notifierHost)
            if (auto own = MakeXEmbedTrayShell())
                return own;
    }
    return MakeQtTrayShell();
}

} // namespace pulo

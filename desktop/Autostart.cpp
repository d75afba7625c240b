#include "desktop/Autostart.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pulo {

QString AutostartPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/pulopro.desktop");
}

bool AutostartEnabled()
{
    return QFileInfo::exists(AutostartPath());
}

bool SetAutostart(bool enabled)
{
    const QString path = AutostartPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QByteArray entry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=PuloPro\n"
                             "Comment=Watch the Internet connection: time online, traffic and alarms\n"
                             "Exec=pulopro\n"
                             "Icon=pulopro\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    return win::ReplaceFileAtomically(QFile::encodeName(path).toStdString(),
                                      std::string_view(entry.constData(), static_cast<std::size_t>(entry.size()))) ==
           win::ERROR_SUCCESS;
}

} // namespace pulo

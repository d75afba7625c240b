#include "settings/FileLocations.h"

#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace pulo {

namespace {

TFileLocation& Chosen()
{
    static TFileLocation location = TFileLocation::BesideExecutable;
    return location;
}

// $NAME when it is an absolute path (as the XDG rules ask), else the home folder's fallback.
QString UserFolder(const char* variable, const char* fallback)
{
    const QString set = qEnvironmentVariable(variable);
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return set;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

} // namespace

void ChooseFileLocation()
{
    const QString folder = QFileInfo(ExecutablePathWithExtension(QString())).absolutePath();
    const bool writable = access(QFile::encodeName(folder).constData(), W_OK) == 0;
    Chosen() = writable ? TFileLocation::BesideExecutable : TFileLocation::UserFolders;
}

void SetFileLocation(TFileLocation location)
{
    Chosen() = location;
}

TFileLocation FileLocation()
{
    return Chosen();
}

QString ProgramFilePath(const QString& extension)
{
    const QString beside = ExecutablePathWithExtension(extension);
    if (Chosen() == TFileLocation::BesideExecutable)
        return beside;
    const bool settings = extension == QStringLiteral(".ini");
    const QString folder =
        (settings ? UserFolder("XDG_CONFIG_HOME", ".config") : UserFolder("XDG_DATA_HOME", ".local/share")) +
        QStringLiteral("/pulopro");
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return folder + QLatin1Char('/') + QFileInfo(beside).fileName();
}

} // namespace pulo

#include "usage/window/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace pulo {

namespace {

// A desktop entry larger than this is not one.
constexpr qint64 LargestEntry = 256 * 1024;

} // namespace

TDesktopEntries::TDesktopEntries()
{
    // The user's own first: they are read last, and so win.
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    std::reverse(folders.begin(), folders.end());
    for (const QString& folder : folders) {
        const QDir applications(folder + QStringLiteral("/applications"));
        for (const QFileInfo& file :
             applications.entryInfoList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable))
            Read(file.absoluteFilePath());
    }
}

void TDesktopEntries::Read(const QString& path)
{
    QFile file(path);
    if (file.size() > LargestEntry || !file.open(QIODevice::ReadOnly))
        return;
    TEntry entry;
    QString exec;
    QString windowClass;
    bool inEntry = false;
    bool hidden = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QStringLiteral("Name"))
            entry.Name = value;
        else if (key == QStringLiteral("Icon"))
            entry.Icon = value;
        else if (key == QStringLiteral("Exec"))
            exec = value;
        else if (key == QStringLiteral("StartupWMClass"))
            windowClass = value;
        else if (key == QStringLiteral("NoDisplay") || key == QStringLiteral("Hidden"))
            hidden = hidden || value == QStringLiteral("true");
    }
    if (entry.Name.isEmpty() || hidden)
        return;
    // The command's first word, without "env" and its settings.
    QStringList words = exec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    while (!words.isEmpty() && (words.first() == QStringLiteral("env") || words.first().contains(QLatin1Char('='))))
        words.removeFirst();
    if (!words.isEmpty()) {
        const QString command = words.first().remove(QLatin1Char('"'));
        ByKey[command] = entry;
        ByKey[QFileInfo(command).fileName()] = entry;
    }
    ByKey[QFileInfo(path).completeBaseName()] = entry;
    if (!windowClass.isEmpty())
        ByKey[windowClass] = entry;
}

TDesktopEntries::TEntry TDesktopEntries::Find(const QString& program, const QString& path) const
{
    for (const QString& key : {path, QFileInfo(path).fileName(), program}) {
        if (key.isEmpty())
            continue;
        if (const auto found = ByKey.find(key); found != ByKey.end())
            return found->second;
    }
    return {};
}

QIcon TDesktopEntries::IconOf(const TEntry& entry)
{
    if (!entry.Icon.isEmpty()) {
        const QIcon icon = QFileInfo(entry.Icon).isAbsolute() ? QIcon(entry.Icon) : QIcon::fromTheme(entry.Icon);
        if (!icon.isNull())
            return icon;
    }
    return QIcon::fromTheme(QStringLiteral("application-x-executable"));
}

} // namespace pulo

#pragma once

// The names and icons people know their programs by: the desktop's application entries
// (".desktop" files in the XDG data folders), matched to a program by its executable, by its
// application id (a Flatpak or snap app, an app scope), or by its window class.

#include <QIcon>
#include <QString>

#include <map>

namespace pulo {

class TDesktopEntries final
{
public:
    struct TEntry final
    {
        QString Name;
        QString Icon; // a theme icon's name or a file's path
    };

    // Reads the entries of the XDG data folders ($XDG_DATA_HOME, $XDG_DATA_DIRS) once.
    TDesktopEntries();
    // The entry of the program (its name as the meter gives it) or executable path; none: empty.
    [[nodiscard]] TEntry Find(const QString& program, const QString& path) const;
    // The entry's icon, or the generic one of an executable.
    [[nodiscard]] static QIcon IconOf(const TEntry& entry);

private:
    void Read(const QString& file);

    std::map<QString, TEntry> ByKey; // executable's path and name, app id and window class
};

} // namespace pulo

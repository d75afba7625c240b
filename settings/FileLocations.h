#pragma once

// Where the program keeps its settings file and its log. A copy whose folder the user can
// write to (the build folder, a portable copy) keeps both beside the executable; an installed
// copy, whose folder only the system may write, keeps the settings in the user's configuration
// folder ($XDG_CONFIG_HOME/pulopro, by default ~/.config/pulopro) and the log in the user's data
// folder ($XDG_DATA_HOME/pulopro, by default ~/.local/share/pulopro). The choice is made once,
// at start-up.

#include <QString>

namespace pulo {

enum class TFileLocation
{
    BesideExecutable,
    UserFolders,
};

// Chooses by whether the executable's folder can be written by this user.
void ChooseFileLocation();
void SetFileLocation(TFileLocation location);
[[nodiscard]] TFileLocation FileLocation();

// The path of one of the program's files: the executable's name with the extension, in the
// chosen place. In the user's folders, the folder is made (for this user only) when missing.
[[nodiscard]] QString ProgramFilePath(const QString& extension);

} // namespace pulo

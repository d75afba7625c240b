#include "settings/DesktopSettings.h"

#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace pulo {

TDesktopSettings ReadDesktopSettings()
{
    TDesktopSettings desktop;
    desktop.Notify = TIniFile(SettingsPath()).ReadBool("General", "Notify", true);
    return desktop;
}

void WriteDesktopSettings(const TDesktopSettings& desktop)
{
    TIniFile(SettingsPath()).WriteBool("General", "Notify", desktop.Notify);
}

} // namespace pulo

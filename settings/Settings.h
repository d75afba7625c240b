#pragma once

// The settings file beside the executable: the working settings (sections "General" and
// "Sounds") and the month totals (section "Stats"). Each call opens the file afresh; a missing
// file, section or key reads as its default. Writes that the system refuses raise PuloError
// "Unable to write to <path>"; the keys after the refused one in that call are not written.

#include "common/TSettings.h"

#include <QString>
#include <QStringList>

namespace pulo {

enum class WithNIC
{
    No,
    Yes,
};

enum class WithMaximumFlags
{
    No,
    Yes,
};

// The executable's full path with extension in place of its own (added where it has none).
[[nodiscard]] QString ExecutablePathWithExtension(const QString& extension);
// The settings file: the executable's name with ".ini", beside it or in the user's
// configuration folder (see FileLocations.h).
[[nodiscard]] QString SettingsPath();

// Prepares the settings file for this run: removes temporary files that a write killed
// midway left beside it. Returns a message for the user when the file cannot be the program's
// (far too large): it is then left alone and the defaults are used. Empty otherwise.
[[nodiscard]] QString PrepareSettingsFile();

// Fills the settings from "General" and "Sounds". NIC is read only when asked; the flags
// MaximumTime and MaximumMB keep their values when not asked for.
void ReadSettings(TSettings& settings, WithNIC nic, WithMaximumFlags maximumFlags = WithMaximumFlags::Yes);
// Writes the header notice, then every key of "General" but NIC, then "Sounds".
void WriteSettings(const TSettings& settings);
// Whether the file names the monitored interface ("General" / NIC) at all.
[[nodiscard]] bool NICStored();
// Writes "General" / NIC alone.
void WriteNIC(std::int32_t row);

// "General" / Links: the further interfaces to count as connections (a VPN, say), by name with
// "*" and "?" patterns, as the user typed them separated by blanks. Nothing writes the key.
[[nodiscard]] QStringList ReadLinks();
// "General" / Metered: whether a connection the system takes for metered (a phone's hotspot)
// counts as a connection; 1 (the default) or 0.
[[nodiscard]] bool ReadMetered();

// Reads the month totals ("Stats"); every key defaults to 0. A value the program could never
// have written (negative, not a number, more than a line could carry in a lifetime) is read as 0
// too; the keys read so are returned, for the user to be told.
QStringList ReadMonthTotals(TMonthTotals& totals);
// Writes the month totals, then reads them back, so that the totals in memory equal what the
// file holds after passing through their text form.
void WriteMonthTotals(TMonthTotals& totals);

} // namespace pulo

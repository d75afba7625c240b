#include "settings/Settings.h"

#include "platform/AtomicFile.h"
#include "platform/Win32.h"
#include "settings/FileLocations.h"
#include "settings/IniFile.h"

#include <QFileInfo>

#include <array>
#include <cmath>

namespace pulo {

namespace {

constexpr const char* HeaderSection = "Pulo Pro Configuration file";
// The key is the copyright sign, stored as the single byte 0xA9 of the 8-bit code page.
constexpr const char* HeaderKey = "\xA9";
constexpr const char* HeaderNotice = "PuloPro settings - edit with care; saving the options rewrites this file";
constexpr const char* General = "General";
constexpr const char* Sounds = "Sounds";
constexpr const char* Stats = "Stats";

} // namespace

QString ExecutablePathWithExtension(const QString& extension)
{
    std::array<char, 4096> buffer{};
    const win::DWORD length = win::GetModuleFileNameA(nullptr, buffer.data(), static_cast<win::DWORD>(buffer.size()));
    const QString executable = QFile::decodeName(QByteArray(buffer.data(), static_cast<qsizetype>(length)));
    const QFileInfo info(executable);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    return info.path() + QLatin1Char('/') + stem + extension;
}

QString SettingsPath()
{
    return ProgramFilePath(QStringLiteral(".ini"));
}

QString PrepareSettingsFile()
{
    const QString path = SettingsPath();
    const QByteArray native = QFile::encodeName(path);
    win::RemoveStaleTemporaries(native.toStdString());
    char probe[2] = {};
    win::GetPrivateProfileStringA("General", "NIC", "", probe, sizeof probe, native.constData());
    if (win::GetLastError() != win::ERROR_FILE_TOO_LARGE)
        return {};
    return QStringLiteral("%1 is larger than 16 MiB and cannot be a settings file of this program. It is left as "
                          "it is; the program runs with its default settings.")
        .arg(path);
}

void ReadSettings(TSettings& settings, WithNIC nic, WithMaximumFlags maximumFlags)
{
    const TSettings defaults;
    const TIniFile ini(SettingsPath());
    settings.StartHidden = ini.ReadBool(General, "StartHidden", defaults.StartHidden);
    settings.ShowConnected = ini.ReadBool(General, "ShowConnected", defaults.ShowConnected);
    settings.AutoHide = ini.ReadBool(General, "AutoHide", defaults.AutoHide);
    settings.Sounds = ini.ReadBool(General, "Sounds", defaults.Sounds);
    settings.DialAlarm = ini.ReadBool(General, "DialAlarm", defaults.DialAlarm);
    settings.Logging = ini.ReadBool(General, "Logging", defaults.Logging);
    settings.OnlineSound = ini.ReadBool(General, "OnlineSound", defaults.OnlineSound);
    settings.OnlineInterval = ini.ReadInteger(General, "OnlineInterval", defaults.OnlineInterval);
    settings.IdleOnly = ini.ReadBool(General, "IdleOnly", defaults.IdleOnly);
    if (maximumFlags == WithMaximumFlags::Yes)
        settings.MaximumTime = ini.ReadBool(General, "MaximumTime", defaults.MaximumTime);
    settings.MaxTimeAlarm = ini.ReadInteger(General, "MaxTimeAlarm", defaults.MaxTimeAlarm);
    if (maximumFlags == WithMaximumFlags::Yes)
        settings.MaximumMB = ini.ReadBool(General, "MaximumMB", defaults.MaximumMB);
    settings.MaxMBAlarm = ini.ReadInteger(General, "MaxMBAlarm", defaults.MaxMBAlarm);
    if (nic == WithNIC::Yes)
        settings.NIC = ini.ReadInteger(General, "NIC", defaults.NIC);

    settings.ConnectSnd = ini.ReadString(Sounds, "ConnectSnd", defaults.ConnectSnd);
    settings.DisconnectSnd = ini.ReadString(Sounds, "DisconnectSnd", defaults.DisconnectSnd);
    settings.DialSnd = ini.ReadString(Sounds, "DialSnd", defaults.DialSnd);
    settings.OnlineSnd = ini.ReadString(Sounds, "OnlineSnd", defaults.OnlineSnd);
    settings.MaximumSnd = ini.ReadString(Sounds, "MaximumSnd", defaults.MaximumSnd);
}

void WriteSettings(const TSettings& settings)
{
    TIniFile ini(SettingsPath());
    ini.WriteRaw(HeaderSection, HeaderKey, HeaderNotice);

    ini.WriteBool(General, "StartHidden", settings.StartHidden);
    ini.WriteBool(General, "ShowConnected", settings.ShowConnected);
    ini.WriteBool(General, "AutoHide", settings.AutoHide);
    ini.WriteBool(General, "Sounds", settings.Sounds);
    ini.WriteBool(General, "DialAlarm", settings.DialAlarm);
    ini.WriteBool(General, "Logging", settings.Logging);
    ini.WriteBool(General, "OnlineSound", settings.OnlineSound);
    ini.WriteInteger(General, "OnlineInterval", settings.OnlineInterval);
    ini.WriteBool(General, "IdleOnly", settings.IdleOnly);
    ini.WriteBool(General, "MaximumTime", settings.MaximumTime);
    ini.WriteInteger(General, "MaxTimeAlarm", settings.MaxTimeAlarm);
    ini.WriteBool(General, "MaximumMB", settings.MaximumMB);
    ini.WriteInteger(General, "MaxMBAlarm", settings.MaxMBAlarm);

    ini.WriteString(Sounds, "ConnectSnd", settings.ConnectSnd);
    ini.WriteString(Sounds, "DisconnectSnd", settings.DisconnectSnd);
    ini.WriteString(Sounds, "DialSnd", settings.DialSnd);
    ini.WriteString(Sounds, "OnlineSnd", settings.OnlineSnd);
    ini.WriteString(Sounds, "MaximumSnd", settings.MaximumSnd);
}

bool NICStored()
{
    return !TIniFile(SettingsPath()).ReadString(General, "NIC", QString()).isEmpty();
}

void WriteNIC(std::int32_t row)
{
    TIniFile ini(SettingsPath());
    ini.WriteInteger(General, "NIC", row);
}

QStringList ReadLinks()
{
    const TIniFile ini(SettingsPath());
    return ini.ReadString(General, "Links", QString()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool ReadMetered()
{
    return TIniFile(SettingsPath()).ReadInteger(General, "Metered", 1) != 0;
}

QStringList ReadMonthTotals(TMonthTotals& totals)
{
    const TIniFile ini(SettingsPath());
    QStringList refused;
    // Beyond these no line could have carried the figure: a century online, a petabyte each way.
    constexpr double MostSeconds = 100.0 * 366 * 86400;
    constexpr double MostKilobytes = 1e12;
    const auto real = [&](const char* key, double most) {
        const double value = ini.ReadFloat(Stats, key, 0);
        if (std::isfinite(value) && value >= 0 && value <= most)
            return value;
        refused << QLatin1String(key);
        return 0.0;
    };
    totals.TotCon = ini.ReadInteger(Stats, "TotCon", 0);
    if (totals.TotCon < 0) {
        refused << QStringLiteral("TotCon");
        totals.TotCon = 0;
    }
    totals.TotTime = real("TotTime", MostSeconds);
    totals.TotRCV = real("TotRCV", MostKilobytes);
    totals.TotTMT = real("TotTMT", MostKilobytes);
    totals.StoredMonth = ini.ReadInteger(Stats, "Month", 0);
    return refused;
}

void WriteMonthTotals(TMonthTotals& totals)
{
    TIniFile ini(SettingsPath());
    // One replacement of the file: a program killed meanwhile leaves the month's figures all
    // old or all new, never torn between the two.
    ini.WriteValues(Stats, {{"Month", totals.StoredMonth},
                            {"TotCon", totals.TotCon},
                            {"TotTime", totals.TotTime},
                            {"TotRCV", totals.TotRCV},
                            {"TotTMT", totals.TotTMT}});

    // The read-back falls back on the values just written, TotTime included: a value that
    // cannot be read back must not wipe out the month's time online.
    totals.StoredMonth = ini.ReadInteger(Stats, "Month", totals.StoredMonth);
    totals.TotTime = ini.ReadFloat(Stats, "TotTime", totals.TotTime);
    totals.TotRCV = ini.ReadFloat(Stats, "TotRCV", totals.TotRCV);
    totals.TotTMT = ini.ReadFloat(Stats, "TotTMT", totals.TotTMT);
}

} // namespace pulo

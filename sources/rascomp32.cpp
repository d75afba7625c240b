#include "sources/rascomp32.h"

#include "common/PuloError.h"
#include "common/StringUtil.h"
#include "platform/Winreg.h"
#include "sources/PerfDataReader.h"

#include <algorithm>
#include <cstring>

namespace pulo {

namespace {

constexpr win::DWORD RecordRoom = 4;
constexpr win::DWORD EntryRoom = 100;
constexpr win::DWORD DeviceRoom = 30;
constexpr win::DWORD StateOpenPortError = 600;
constexpr const char* EnumPath = "System\\CurrentControlSet\\Control\\PerfStats\\Enum";

template <typename Function> void Resolve(win::HMODULE library, const char* name, Function& target)
{
    target = reinterpret_cast<Function>(win::GetProcAddress(library, name));
}

} // namespace

void TConnectionList::AddConnection(const win::RASCONNA& record)
{
    Items.push_back(std::make_unique<win::RASCONNA>(record));
}

const win::RASCONNA& TConnectionList::At(int index) const
{
    if (index < 0 || index >= Count())
        throw PuloError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return *Items[static_cast<std::size_t>(index)];
}

win::HRASCONN TConnectionList::ConnHandle(int index) const
{
    return At(index).hrasconn;
}

QString TConnectionList::ConnEntryName(int index) const
{
    return FixedText(At(index).szEntryName);
}

void TConnectionList::Clear()
{
    while (!Items.empty())
        Items.pop_back();
}

TRasEntryPoints& RasEntryPoints()
{
    static TRasEntryPoints entries;
    return entries;
}

win::DWORD TRAS::PerfBufferSize = 0;

TRAS::TRAS(QObject* owner) : QObject(owner)
{
    ResetStats();
}

TRAS::~TRAS()
{
    HangUp();
    Connections.Clear();
    if (ExtLibrary != nullptr && ExtLibrary != RasLibrary)
        win::FreeLibrary(ExtLibrary);
    if (RasLibrary != nullptr)
        win::FreeLibrary(RasLibrary);
    RasLoaded = false;
    if (PlatformFamily() != win::VER_PLATFORM_WIN32s && PlatformFamily() != win::VER_PLATFORM_WIN32_WINDOWS)
        win::RegCloseKey(win::HKEY_PERFORMANCE_DATA);
}

win::DWORD TRAS::PlatformFamily()
{
    win::OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    win::GetVersionExA(&info);
    return info.dwPlatformId;
}

bool TRAS::LoadRasLibrary()
{
    if (RasLoaded)
        return RasDialResolved;
    RasLoaded = true;
    RasExtensions = false;
    RasLibrary = win::LoadLibraryA("RASAPI32.DLL");
    if (RasLibrary == nullptr)
        return false;
    TRasEntryPoints& ras = RasEntryPoints();
    Resolve(RasLibrary, "RasDialA", ras.RasDialA);
    Resolve(RasLibrary, "RasEnumConnectionsA", ras.RasEnumConnectionsA);
    Resolve(RasLibrary, "RasEnumEntriesA", ras.RasEnumEntriesA);
    Resolve(RasLibrary, "RasGetConnectStatusA", ras.RasGetConnectStatusA);
    Resolve(RasLibrary, "RasGetErrorStringA", ras.RasGetErrorStringA);
    Resolve(RasLibrary, "RasHangUpA", ras.RasHangUpA);
    Resolve(RasLibrary, "RasGetEntryDialParamsA", ras.RasGetEntryDialParamsA);
    Resolve(RasLibrary, "RasSetEntryDialParamsA", ras.RasSetEntryDialParamsA);
    Resolve(RasLibrary, "RasMonitorDlgA", ras.RasMonitorDlgA);
    Resolve(RasLibrary, "RasEditPhonebookEntryA", ras.RasEditPhonebookEntryA);
    Resolve(RasLibrary, "RasCreatePhonebookEntryA", ras.RasCreatePhonebookEntryA);
    Resolve(RasLibrary, "RasGetProjectionInfoA", ras.RasGetProjectionInfoA);
    RasDialResolved = ras.RasDialA != nullptr;

    ExtLibrary =
        win::GetProcAddress(RasLibrary, "RasGetCountryInfoA") != nullptr ? RasLibrary : win::LoadLibraryA("RNAPH.DLL");
    if (ExtLibrary != nullptr) {
        RasExtensions = true;
        Resolve(ExtLibrary, "RasGetCountryInfoA", ras.RasGetCountryInfoA);
        Resolve(ExtLibrary, "RasGetEntryPropertiesA", ras.RasGetEntryPropertiesA);
        Resolve(ExtLibrary, "RasSetEntryPropertiesA", ras.RasSetEntryPropertiesA);
        Resolve(ExtLibrary, "RasRenameEntryA", ras.RasRenameEntryA);
        Resolve(ExtLibrary, "RasDeleteEntryA", ras.RasDeleteEntryA);
        Resolve(ExtLibrary, "RasValidateEntryNameA", ras.RasValidateEntryNameA);
        Resolve(ExtLibrary, "RasEnumDevicesA", ras.RasEnumDevicesA);
    }
    return RasDialResolved;
}

bool TRAS::RasAvailable()
{
    const bool available = LoadRasLibrary();
    if (!available) {
        LastError = win::ERROR_RAS_NOT_AVAILABLE;
        StatusStr = QStringLiteral("RASAPI32.DLL Not Available");
    }
    return available;
}

win::DWORD TRAS::GetConnections()
{
    LastError = win::ERROR_RAS_NOT_AVAILABLE;
    CurConnName.clear();
    CurRASConn = 0;
    if (!LoadRasLibrary() || RasEntryPoints().RasEnumConnectionsA == nullptr)
        return win::ERROR_RAS_NOT_AVAILABLE;
    Connections.Clear();
    Records.fill(win::RASCONNA{});
    Records[0].dwSize = sizeof(win::RASCONNA);
    win::DWORD size = RecordRoom * sizeof(win::RASCONNA);
    const win::DWORD result = RasEntryPoints().RasEnumConnectionsA(Records.data(), &size, &NumConns);
    LastError = result;
    if (result != win::ERROR_SUCCESS && result != win::ERROR_BUFFER_TOO_SMALL)
        return result;
    if (NumConns == 0)
        return result;
    for (win::DWORD i = 0; i < std::min(NumConns, RecordRoom); ++i)
        Connections.AddConnection(Records[i]);
    CurConnName = FixedText(Records[0].szEntryName);
    CurRASConn = Records[0].hrasconn;
    return result;
}

void TRAS::AttachConnection(int index)
{
    if (RASConn == 0) {
        if (CurRASConn == 0) {
            LastError = win::ERROR_INVALID_HANDLE;
            return;
        }
        RASConn = index > 0 ? Connections.ConnHandle(index) : CurRASConn;
    }
    QueryConnectStatus();
}

win::DWORD TRAS::QueryConnectStatus()
{
    ConnectState = 0;
    if (RASConn == 0)
        return win::ERROR_INVALID_PORT_HANDLE;
    LastError = win::ERROR_RAS_NOT_AVAILABLE;
    if (!LoadRasLibrary() || RasEntryPoints().RasGetConnectStatusA == nullptr)
        return win::ERROR_RAS_NOT_AVAILABLE;
    win::RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    LastError = RasEntryPoints().RasGetConnectStatusA(RASConn, &status);
    if (LastError == win::ERROR_SUCCESS) {
        ConnectState = static_cast<std::uint16_t>(status.rasconnstate);
        ConnectError = static_cast<std::uint16_t>(status.dwError);
        if (ConnectError > StateOpenPortError)
            LastError = ConnectError;
    }
    if (LastError != 0)
        StatusStr = ErrorText(LastError);
    return LastError;
}

QString TRAS::GetStatusText()
{
    QString text;
    if (RASConn == 0) {
        text = QStringLiteral("Not Connected");
    } else {
        QueryConnectStatus();
        if (LastError == 0)
            text = ConnectStateText();
        else if (LastError > StateOpenPortError)
            text = ErrorText(LastError);
        else if (LastError == win::ERROR_INVALID_HANDLE)
            text = QStringLiteral("Disconnected");
        else if (LastError == win::ERROR_NOT_ENOUGH_MEMORY)
            text = QStringLiteral("Not enough memory");
        else if (LastError == StateOpenPortError)
            text = QStringLiteral("Device Connecting/Dialling");
        else
            text = QStringLiteral("Unknown State");
    }
    StatusStr = text;
    NotifyStateChange();
    return text;
}

void TRAS::NotifyStateChange()
{
    if (RASConn == 0 || !OnStateChanged)
        return;
    if (LastError != 0 || ConnectState != SavedState)
        OnStateChanged(this);
    SavedState = LastError != 0 ? 0 : ConnectState;
}

QString TRAS::ConnectStateText()
{
    static const std::pair<std::uint16_t, const char*> texts[] = {
        {0, "Opening Serial Port"},          {1, "Serial Port Opened"},
        {2, "Connecting/Dialling"},          {3, "Connected/Answered"},
        {4, "Connected/Negotiation"},        {5, "Validating User and Password"},
        {6, "Authentication Notification"},  {8, "Authentication Call Back"},
        {10, "Projection Started"},          {11, "Calculating Link speed"},
        {12, "Authentication acknowledged"}, {13, "Reauthenticating"},
        {14, "Login Authenticated"},         {15, "Preparing for Callback"},
        {16, "Waiting for Modem Reset"},     {17, "Waiting for Callback"},
        {18, "Projection Completion"},       {19, "Start Authentication"},
        {20, "Callback Complete"},           {21, "Logon to Network"},
        {8192, "Connected/Online"},          {8193, "Disconnected/Offline"},
    };
    for (const auto& [state, text] : texts) {
        if (state != ConnectState)
            continue;
        QString result = QString::fromLatin1(text);
        if ((state == 2 || state == 3) && !DeviceType.isEmpty())
            result += QStringLiteral(" (") + DeviceType.toLower() + QLatin1Char(')');
        return result;
    }
    return QStringLiteral("Unknown State - ") +
           (ConnectState <= StateOpenPortError ? QString::number(ConnectState) : ErrorText(ConnectState));
}

QString TRAS::ErrorText(win::DWORD code)
{
    std::array<char, 257> buffer{};
    if (RasEntryPoints().RasGetErrorStringA != nullptr)
        RasEntryPoints().RasGetErrorStringA(code, buffer.data(), 256);
    if (buffer[0] == '\0') {
        win::FormatMessageA(win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                            buffer.data(), 256, nullptr);
    }
    return QString::fromLocal8Bit(buffer.data()).trimmed();
}

win::DWORD TRAS::HangUp()
{
    ConnectState = 0;
    win::DWORD result = 0;
    if (RASConn != 0) {
        LastError = win::ERROR_RAS_NOT_AVAILABLE;
        if (!LoadRasLibrary() || RasEntryPoints().RasHangUpA == nullptr)
            return 0;
        result = RasEntryPoints().RasHangUpA(RASConn);
    }
    RASConn = 0;
    LastError = result;
    return result;
}

void TRAS::SetPhoneBookPath(const QString& value)
{
    PhoneBook = value;
    GetPhoneBookEntries();
}

win::DWORD TRAS::GetPhoneBookEntries()
{
    LastError = win::ERROR_RAS_NOT_AVAILABLE;
    if (!LoadRasLibrary() || RasEntryPoints().RasEnumEntriesA == nullptr)
        return win::ERROR_RAS_NOT_AVAILABLE;
    PhoneBookEntries.clear();
    std::vector<win::RASENTRYNAMEA> entries(EntryRoom);
    entries[0].dwSize = sizeof(win::RASENTRYNAMEA);
    win::DWORD size = EntryRoom * sizeof(win::RASENTRYNAMEA);
    win::DWORD count = 0;
    const QByteArray path = PhoneBook.toLocal8Bit();
    const win::DWORD result = RasEntryPoints().RasEnumEntriesA(
        nullptr, PhoneBook.isEmpty() ? nullptr : path.constData(), entries.data(), &size, &count);
    LastError = result;
    if (result == win::ERROR_SUCCESS) {
        for (win::DWORD i = 0; i < std::min(count, EntryRoom); ++i) {
            const QString name = FixedText(entries[i].szEntryName);
            if (!name.isEmpty())
                PhoneBookEntries << name;
        }
    }
    return result;
}

win::DWORD TRAS::GetDevices()
{
    LastError = win::ERROR_RAS_NOT_AVAILABLE;
    if (!LoadRasLibrary() || !RasExtensions || RasEntryPoints().RasEnumDevicesA == nullptr)
        return win::ERROR_RAS_NOT_AVAILABLE;
    DeviceTypes.clear();
    DevicePorts.clear();
    DeviceNames.clear();
    std::vector<win::RASDEVINFOA> devices(DeviceRoom);
    devices[0].dwSize = sizeof(win::RASDEVINFOA);
    win::DWORD size = DeviceRoom * sizeof(win::RASDEVINFOA);
    win::DWORD count = 0;
    const win::DWORD result = RasEntryPoints().RasEnumDevicesA(devices.data(), &size, &count);
    LastError = result;
    if (result != win::ERROR_SUCCESS)
        return result;
    for (win::DWORD i = 0; i < std::min(count, DeviceRoom); ++i) {
        const win::RASDEVINFOA& device = devices[i];
        if (device.szDeviceName[0] == '\0')
            continue;
        // The whole field: the name, and after a NUL the port, blanks and NULs trailing.
        std::string field(device.szDeviceName, sizeof device.szDeviceName);
        while (!field.empty() && static_cast<unsigned char>(field.back()) <= ' ')
            field.pop_back();
        const std::size_t nul = field.find('\0');
        QString name = QString::fromLocal8Bit(field.data(), static_cast<qsizetype>(field.size()));
        QString port;
        if (nul != std::string::npos && nul > 0) {
            name = QString::fromLocal8Bit(field.data(), static_cast<qsizetype>(nul));
            port = QString::fromLocal8Bit(field.substr(nul + 1, 99).c_str());
        }
        DeviceTypes << FixedText(device.szDeviceType);
        DevicePorts << port;
        DeviceNames << name;
    }
    return result;
}

bool TRAS::FindDialUpAdapters()
{
    DialUpAdapters.clear();
    win::HKEY enumKey = 0;
    win::HKEY startKey = 0;
    const bool enumOpen = win::RegOpenKeyExA(win::HKEY_LOCAL_MACHINE, EnumPath, 0, win::KEY_READ, &enumKey) == 0;
    const bool startOpen =
        enumOpen && win::RegOpenKeyExA(win::HKEY_DYN_DATA, "PerfStats\\StartStat", 0, win::KEY_READ, &startKey) == 0;
    if (startOpen) {
        win::DWORD subKeys = 0;
        win::RegQueryInfoKeyA(enumKey, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr);
        for (win::DWORD i = 0; i < subKeys; ++i) {
            std::array<char, 33> name{};
            win::DWORD length = static_cast<win::DWORD>(name.size());
            // A name too long for the room is not listed.
            if (win::RegEnumKeyExA(enumKey, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != 0)
                continue;
            const QByteArray value = QByteArray(name.data()) + '\\' + KeyDUNConn.toLocal8Bit();
            if (win::RegQueryValueExA(startKey, value.constData(), nullptr, nullptr, nullptr, nullptr) == 0)
                DialUpAdapters << QString::fromLocal8Bit(name.data());
        }
    }
    if (startOpen)
        win::RegCloseKey(startKey);
    if (enumOpen)
        win::RegCloseKey(enumKey);
    DialUpAdapters.sort(Qt::CaseInsensitive);
    return startOpen;
}

bool TRAS::SetStatsActive(bool active, bool findAdapter)
{
    const win::DWORD family = PlatformFamily();
    if (family == win::VER_PLATFORM_WIN32s)
        return false;
    bool result = true;
    if (family == win::VER_PLATFORM_WIN32_WINDOWS) {
        if (findAdapter) {
            FindDialUpAdapters();
            if (DialUpAdapters.isEmpty())
                return false;
            KeyDUNAdap = DialUpAdapters.first();
        }
        win::HKEY key = 0;
        const char* path = active ? "PerfStats\\StartStat" : "PerfStats\\StopStat";
        if (win::RegOpenKeyExA(win::HKEY_DYN_DATA, path, 0, win::KEY_ALL_ACCESS, &key) != 0) {
            result = false;
        } else {
            for (const QString& counter : {KeyDUNXmit, KeyDUNRecv, KeyDUNConn}) {
                const QByteArray name = (KeyDUNAdap + QLatin1Char('\\') + counter).toLocal8Bit();
                win::DWORD size = 0;
                win::DWORD type = 0;
                if (win::RegQueryValueExA(key, name.constData(), nullptr, &type, nullptr, &size) != 0) {
                    result = false;
                    break;
                }
                std::vector<win::BYTE> data(std::max<win::DWORD>(size, 1));
                if (win::RegQueryValueExA(key, name.constData(), nullptr, &type, data.data(), &size) != 0) {
                    result = false;
                    break;
                }
            }
            win::RegCloseKey(key);
        }
    }
    if (result) {
        if (active)
            result = GetStats();
        ResetStats();
    }
    return result;
}

bool TRAS::GetStats()
{
    const win::DWORD family = PlatformFamily();
    if (family == win::VER_PLATFORM_WIN32s)
        return false;
    return family == win::VER_PLATFORM_WIN32_WINDOWS ? GetStats9x() : GetStatsNT();
}

bool TRAS::GetStats9x()
{
    win::HKEY key = 0;
    if (win::RegOpenKeyExA(win::HKEY_DYN_DATA, "PerfStats\\StatData", 0, win::KEY_READ, &key) != 0)
        return false;
    std::uint32_t speed = 0;
    bool read = true;
    for (const auto& [counter, target] :
         {std::pair{&KeyDUNXmit, &RawXmit}, {&KeyDUNRecv, &RawRecv}, {&KeyDUNConn, &speed}}) {
        const QByteArray name = (KeyDUNAdap + QLatin1Char('\\') + *counter).toLocal8Bit();
        win::DWORD value = 0;
        win::DWORD size = sizeof value;
        win::DWORD type = 0;
        if (win::RegQueryValueExA(key, name.constData(), nullptr, &type, reinterpret_cast<win::BYTE*>(&value), &size) !=
            0) {
            read = false;
            break;
        }
        *target = value;
    }
    win::RegCloseKey(key);
    if (!read)
        return false;
    if (RawXmit < BaseXmit)
        ResetStats();
    if (RawRecv < BaseRecv)
        ResetStats();
    StatsConn = static_cast<std::int32_t>(speed);
    StatsXmit = static_cast<std::int32_t>(RawXmit - BaseXmit);
    StatsRecv = static_cast<std::int32_t>(RawRecv - BaseRecv);
    return true;
}

bool TRAS::GetStatsNT()
{
    // The events this reading lets through may start another reading (a nested tick): that
    // one answers false at once rather than work on figures this one is changing.
    if (ReadingPerformanceData)
        return false;
    ReadingPerformanceData = true;
    const std::uint64_t resetsBefore = Resets;
    if (PerfBufferSize == 0)
        PerfBufferSize = 8192;
    std::vector<win::BYTE> buffer(PerfBufferSize);
    win::DWORD size = PerfBufferSize;
    win::DWORD type = 0;
    long answer = win::RegQueryValueExA(win::HKEY_PERFORMANCE_DATA, "906", nullptr, &type, buffer.data(), &size);
    while (answer == static_cast<long>(win::ERROR_MORE_DATA)) {
        PerfBufferSize += 1024;
        buffer.assign(PerfBufferSize, 0);
        size = PerfBufferSize;
        answer = win::RegQueryValueExA(win::HKEY_PERFORMANCE_DATA, "906", nullptr, &type, buffer.data(), &size);
    }
    TPerfByteCounts counts;
    // The block is read in one go: it takes microseconds, and letting other events run in the
    // middle of it (as the system's own reader did) only made every supervision tick dearer.
    const bool read =
        answer == 0 && ReadRasByteCounts(buffer.data(), std::min<std::size_t>(size, buffer.size()), counts);
    ReadingPerformanceData = false;
    if (!read)
        return false;
    // A reset while the events ran starts the figures afresh: this reading belongs before it.
    if (Resets == resetsBefore) {
        if (counts.Transmitted && *counts.Transmitted > StatsXmit)
            StatsXmit = *counts.Transmitted;
        if (counts.Received && *counts.Received > StatsRecv)
            StatsRecv = *counts.Received;
    }
    return true;
}

void TRAS::ResetStats()
{
    ++Resets;
    BaseXmit = RawXmit;
    BaseRecv = RawRecv;
    StatsXmit = 0;
    StatsRecv = 0;
}

} // namespace pulo

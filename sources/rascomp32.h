#pragma once

// TRAS: what the main window needs to know about the Remote Access Service beyond being online:
// the active connections and the first one's entry name, the connect state and status text of
// the connection it attached to, the phonebook entries, the dialling devices, and the
// connection's bytes sent and received (and on the Windows 9x family its connect speed). The
// RAS library is loaded at run time, so the program starts where there is none. Failures show
// in the results, LastError and StatusStr; nothing is raised.

#include "platform/Ras.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace pulo {

// Copies of the active connections' records, in the order the system listed them.
class TConnectionList final
{
public:
    void AddConnection(const win::RASCONNA& record);
    // The record's handle and entry name (empty when it starts with NUL). An index outside the
    // list raises "List index out of bounds (N)".
    [[nodiscard]] win::HRASCONN ConnHandle(int index) const;
    [[nodiscard]] QString ConnEntryName(int index) const;
    void Clear();
    [[nodiscard]] int Count() const { return static_cast<int>(Items.size()); }

private:
    [[nodiscard]] const win::RASCONNA& At(int index) const;
    std::vector<std::unique_ptr<win::RASCONNA>> Items;
};

// The RAS entry points, resolved once by name and shared by every instance.
struct TRasEntryPoints final
{
    using EnumConnections = win::DWORD (*)(win::RASCONNA*, win::DWORD*, win::DWORD*);
    using GetConnectStatus = win::DWORD (*)(win::HRASCONN, win::RASCONNSTATUSA*);
    using GetErrorString = win::DWORD (*)(win::UINT, win::LPSTR, win::DWORD);
    using HangUp = win::DWORD (*)(win::HRASCONN);
    using EnumEntries = win::DWORD (*)(win::LPCSTR, win::LPCSTR, win::RASENTRYNAMEA*, win::DWORD*, win::DWORD*);
    using EnumDevices = win::DWORD (*)(win::RASDEVINFOA*, win::DWORD*, win::DWORD*);

    win::FARPROC RasDialA = nullptr;
    EnumConnections RasEnumConnectionsA = nullptr;
    EnumEntries RasEnumEntriesA = nullptr;
    GetConnectStatus RasGetConnectStatusA = nullptr;
    GetErrorString RasGetErrorStringA = nullptr;
    HangUp RasHangUpA = nullptr;
    win::FARPROC RasGetEntryDialParamsA = nullptr;
    win::FARPROC RasSetEntryDialParamsA = nullptr;
    win::FARPROC RasMonitorDlgA = nullptr;
    win::FARPROC RasEditPhonebookEntryA = nullptr;
    win::FARPROC RasCreatePhonebookEntryA = nullptr;
    win::FARPROC RasGetProjectionInfoA = nullptr;
    win::FARPROC RasGetCountryInfoA = nullptr;
    win::FARPROC RasGetEntryPropertiesA = nullptr;
    win::FARPROC RasSetEntryPropertiesA = nullptr;
    win::FARPROC RasRenameEntryA = nullptr;
    win::FARPROC RasDeleteEntryA = nullptr;
    win::FARPROC RasValidateEntryNameA = nullptr;
    EnumDevices RasEnumDevicesA = nullptr;
};
[[nodiscard]] TRasEntryPoints& RasEntryPoints();

class TRAS final : public QObject
{
    Q_OBJECT

public:
    explicit TRAS(QObject* owner = nullptr);
    // Hangs up the attached connection first.
    ~TRAS() override;
    TRAS(const TRAS&) = delete;
    TRAS& operator=(const TRAS&) = delete;

    bool RasAvailable();
    win::DWORD GetPhoneBookEntries();
    win::DWORD GetDevices();
    bool SetStatsActive(bool active, bool findAdapter);
    win::DWORD GetConnections();
    void AttachConnection(int index);
    QString GetStatusText();
    bool GetStats();
    void ResetStats();
    win::DWORD HangUp();
    [[nodiscard]] QString ErrorText(win::DWORD code);
    [[nodiscard]] QString ConnectStateText();

    [[nodiscard]] const QString& PhoneBookPath() const { return PhoneBook; }
    // Stores the path, then reads the phonebook's entries.
    void SetPhoneBookPath(const QString& value);

    QString DeviceType;
    std::int32_t RedialAttempts = 1;
    std::function<void(QObject* sender)> OnStateChanged;
    using TRasStateEvent = std::function<void(QObject* sender, win::DWORD error, const QString& text)>;
    TRasStateEvent OnConnect;    // stored only
    TRasStateEvent OnDisconnect; // stored only
    // Stored only: no operation here reads them.
    QString EntryName, PhoneNumber, CallbackNumber, UserName, Password, Domain, DeviceName, DevicePort, ClientIP,
        ServerIP, PhoneCanonical;

    win::DWORD LastError = 0;
    win::HRASCONN RASConn = 0;
    std::uint16_t ConnectState = 0;
    std::uint16_t SavedState = 9999;
    std::uint16_t ConnectError = 0;
    QString StatusStr;
    QString CurConnName;
    win::DWORD NumConns = 0;
    win::HRASCONN CurRASConn = 0;
    // 64 bits wide: a long session on a fast line passes 4 GB.
    std::int64_t StatsXmit = 0;
    std::int64_t StatsRecv = 0;
    std::int32_t StatsConn = 0;
    QString KeyDUNAdap = QStringLiteral("Dial-Up Adapter");
    QString KeyDUNConn = QStringLiteral("ConnectSpeed");
    QString KeyDUNXmit = QStringLiteral("TotalBytesXmit");
    QString KeyDUNRecv = QStringLiteral("TotalBytesRecvd");

    QStringList PhoneBookEntries;
    TConnectionList Connections;
    QStringList DialUpAdapters;
    QStringList DeviceTypes;
    QStringList DevicePorts;
    QStringList DeviceNames;

    // The size of the performance-data buffer, shared by every instance: 8192 bytes at first,
    // grown by 1024 bytes for each answer that it is too small, for the rest of the run.
    static win::DWORD PerfBufferSize;

private:
    bool LoadRasLibrary();
    win::DWORD QueryConnectStatus();
    void NotifyStateChange();
    bool FindDialUpAdapters();
    bool GetStats9x();
    bool GetStatsNT();
    [[nodiscard]] static win::DWORD PlatformFamily();

    win::HMODULE RasLibrary = nullptr;
    win::HMODULE ExtLibrary = nullptr;
    bool RasLoaded = false;
    bool RasExtensions = false;
    bool RasDialResolved = false;
    QString PhoneBook;
    std::uint32_t RawXmit = 0;
    std::uint32_t BaseXmit = 0;
    std::uint32_t RawRecv = 0;
    std::uint32_t BaseRecv = 0;
    std::array<win::RASCONNA, 4> Records{};
    // A reading of the performance data lets other events run; a reading started by one of
    // them, or a reset meanwhile, must not mix with the one in progress.
    bool ReadingPerformanceData = false;
    std::uint64_t Resets = 0;
};

} // namespace pulo

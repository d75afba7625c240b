#include "sources/DialUp.h"

#include <QTimer>

#include <array>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace pulo {

namespace {

constexpr win::DWORD Room = 100;

// The dialer that receives notifications, and the lock that keeps it alive while the notifier
// hands one over (the notifier's wait for a free slot holds no lock).
std::mutex TargetLock;
TDialUp* NotifyTarget = nullptr;

struct StateText
{
    int State;
    const char* English;
    const char16_t* Czech;
};

const StateText StateTexts[] = {
    {0, "Opening port", u"Otevírá se port"},
    {1, "Port opened", u"Port otevřen"},
    {2, "Connecting device", u"Probíhá spojování"},
    {3, "Device connected", u"Navázáno spojení"},
    {4, "All devices connected", u"Všechna zařízení spojena"},
    {5, "Start authenticating", u"Začínají se ověřovat uživatelské informace"},
    {6, "Authentication: notify", u"Ověření: oznámení"},
    {7, "Authentication: retry", u"Ověření: opakování"},
    {8, "Authentication: callback", u"Ověření: zpětné volání"},
    {9, "Authentication: change password", u"Ověření: změna hesla"},
    {10, "Authentication: projecting", u"Ověření: návrh"},
    {11, "Authentication: link speed", u"Ověření: spojovací rychlost"},
    {12, "Authentication: acknowledge", u"Ověření: potvrzení"},
    {13, "Authentication: reauthenticate", u"Ověření: znovuověření"},
    {14, "Authenticated", u"Ověřeno"},
    {15, "Preparing for callback", u"Příprava na zpetné volání"},
    {16, "Waiting for modem reset", u"Čeká se na reset modemu"},
    {17, "Waiting for callback", u"Čeká se na zpětné volání"},
    {18, "Projected", u"Navrhnuto"},
    {19, "Start authentication", u"Ověřování uživatelských informací"},
    {20, "Callback complete", u"Zpetné volání hotovo"},
    {21, "Logging on network", u"Připojuje se na síť"},
    {4096, "Interactive", u"Interakce"},
    {4097, "Retry Authentication", u"Opakování oveření"},
    {4098, "Callback set by caller", u"Zpeětné volání zvoleno uživatelem"},
    {4099, "Password expired", u"Platnost hesla vypršela"},
    {8192, "Connected", u"Spojeno"},
    {8193, "Disconnected", u"Rozpojeno"},
};

} // namespace

TDialUp::TDialUp(QObject* owner) : QObject(owner), DeliveryTimer(new QTimer(this))
{
    DeliveryTimer->setInterval(1);
    DeliveryTimer->setSingleShot(false);
    connect(DeliveryTimer, &QTimer::timeout, this, [this] { DeliverNotification(); });
}

TDialUp::~TDialUp()
{
    const std::lock_guard lock(TargetLock);
    if (NotifyTarget == this)
        NotifyTarget = nullptr;
}

int TDialUp::GetEntries()
{
    EntryList.clear();
    std::vector<win::RASENTRYNAMEA> entries(Room);
    entries[0].dwSize = sizeof(win::RASENTRYNAMEA);
    win::DWORD size = Room * sizeof(win::RASENTRYNAMEA);
    win::DWORD count = 0;
    const win::DWORD result = win::RasEnumEntriesA(nullptr, nullptr, entries.data(), &size, &count);
    if (result != 0)
        return static_cast<int>(result);
    for (win::DWORD i = 0; i < std::min(count, Room); ++i) {
        const auto& name = entries[i].szEntryName;
        EntryList << QString::fromLocal8Bit(name, static_cast<qsizetype>(strnlen(name, sizeof name)));
        if (OnEntryGet)
            OnEntryGet(this, name);
    }
    return 0;
}

QString TDialUp::ErrorString(win::DWORD code)
{
    std::array<char, 100> buffer{};
    if (win::RasGetErrorStringA(code, buffer.data(), static_cast<win::DWORD>(buffer.size())) != 0)
        return {};
    return QString::fromLocal8Bit(buffer.data(), static_cast<qsizetype>(strnlen(buffer.data(), buffer.size() - 1)));
}

int TDialUp::Dial()
{
    HangUpDialed();
    win::RASDIALPARAMSA parameters{};
    parameters.dwSize = sizeof parameters;
    const QByteArray entry = (EntryBytes.isEmpty() ? Entry.left(256).toLocal8Bit() : EntryBytes).left(256);
    std::memcpy(parameters.szEntryName, entry.constData(), static_cast<std::size_t>(entry.size()));
    win::BOOL password = 0;
    const win::DWORD found = win::RasGetEntryDialParamsA(nullptr, &parameters, &password);
    if (found != 0) {
        if (OnError)
            OnError(this, static_cast<int>(found), QStringLiteral("GetEntryDialParams failed"));
        return static_cast<int>(found);
    }
    Handle = 0;
    win::DWORD result = 0;
    if (DialMode == TDialMode::dmSync) {
        if (OnDialing)
            OnDialing(this);
        result = win::RasDialA(nullptr, nullptr, &parameters, 0, nullptr, &Handle);
        if (result == 0) {
            if (OnConnect)
                OnConnect(this);
        } else {
            if (Handle != 0)
                win::RasHangUpA(Handle);
            const QString text = ErrorString(result);
            if (OnNotConnected)
                OnNotConnected(this, static_cast<int>(result), text);
        }
        return static_cast<int>(result);
    }
    {
        const std::lock_guard lock(TargetLock);
        NotifyTarget = this;
    }
    if (OnDialing)
        OnDialing(this);
    result = win::RasDialA(nullptr, nullptr, &parameters, 0, reinterpret_cast<void*>(&TDialUp::DialNotifier), &Handle);
    if (result != 0) {
        const QString text = ErrorString(result);
        if (OnError)
            OnError(this, static_cast<int>(result), text);
    }
    return static_cast<int>(result);
}

void TDialUp::DialNotifier(win::UINT message, win::RASCONNSTATE state, win::DWORD error)
{
    for (;;) {
        {
            const std::lock_guard lock(TargetLock);
            TDialUp* target = NotifyTarget;
            if (target == nullptr)
                return; // the dialer is gone: nobody to tell
            if (!target->Pending.load(std::memory_order_acquire)) {
                target->PendingMessage.store(message, std::memory_order_relaxed);
                target->PendingState.store(state, std::memory_order_relaxed);
                target->PendingError.store(error, std::memory_order_relaxed);
                target->Pending.store(true, std::memory_order_release);
                // The timer belongs to the user-interface thread: it is started there.
                QMetaObject::invokeMethod(target->DeliveryTimer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
                return;
            }
        }
        // The previous notification is still being delivered.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void TDialUp::DeliverNotification()
{
    DeliveryTimer->stop();
    if (!Pending.load(std::memory_order_acquire))
        return;
    const auto state = static_cast<int>(PendingState.load(std::memory_order_relaxed));
    const auto error = static_cast<int>(PendingError.load(std::memory_order_relaxed));
    if (OnAsyncEvent)
        OnAsyncEvent(this, state, error, StatusText(state, error));
    Pending.store(false, std::memory_order_release);
}

int TDialUp::GetConnections()
{
    win::RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    std::vector<win::RASCONNA> connections(Room);
    connections[0].dwSize = sizeof(win::RASCONNA);
    win::DWORD size = Room * sizeof(win::RASCONNA);
    win::DWORD count = 0;
    const win::DWORD result = win::RasEnumConnectionsA(connections.data(), &size, &count);
    if (result != 0)
        return static_cast<int>(result);
    for (win::DWORD i = 0; i < std::min(count, Room); ++i) {
        win::RASCONNA& connection = connections[i];
        win::RasGetConnectStatusA(connection.hrasconn, &status);
        const QString text = StatusText(static_cast<int>(status.rasconnstate), static_cast<int>(status.dwError));
        if (OnActiveConnection)
            OnActiveConnection(this, static_cast<int>(connection.hrasconn), status, text, connection.szEntryName,
                               connection.szDeviceType, connection.szDeviceName);
    }
    return 0;
}

win::DWORD TDialUp::HangUpDialed()
{
    return win::RasHangUpA(Handle);
}

win::DWORD TDialUp::HangUpConnection(win::HRASCONN handle)
{
    return win::RasHangUpA(handle);
}

QString TDialUp::StatusText(int state, int error) const
{
    if (error != 0)
        return ErrorString(static_cast<win::DWORD>(error));
    for (const StateText& text : StateTexts) {
        if (text.State == state)
            return Language == TLanguage::English ? QString::fromLatin1(text.English) : QString::fromUtf16(text.Czech);
    }
    return {};
}

} // namespace pulo

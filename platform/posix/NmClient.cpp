#include "platform/posix/NmClient.h"

#include "platform/posix/NmMetered.h"
#include "platform/posix/NmRead.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <vector>

namespace win::posix {

namespace {

constexpr std::array<RASCONNSTATE, 9> Ladder = {
    RASCS_OpenPort,     RASCS_PortOpened,    RASCS_ConnectDevice, RASCS_DeviceConnected, RASCS_AllDevicesConnected,
    RASCS_Authenticate, RASCS_Authenticated, RASCS_Projected,     RASCS_Connected,
};

constexpr int ActivateTimeout = 20000; // milliseconds; the service answers once it has started
constexpr int HangUpTimeout = 3000;

const QString ManagerInterface = QStringLiteral("org.freedesktop.NetworkManager");

QString BusAddress(const std::string& given)
{
    if (!given.empty())
        return QString::fromStdString(given);
    const QByteArray set = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    return set.isEmpty() ? QStringLiteral("unix:path=/var/run/dbus/system_bus_socket") : QString::fromLocal8Bit(set);
}

QDBusMessage ManagerCall(const char* method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(nm::Service), QString::fromLatin1(nm::ManagerPath),
                                          ManagerInterface, QString::fromLatin1(method));
}

} // namespace

NmDial::NmDial(std::string entry, nm::Profile profile, IRasService::DialNotify notify)
    : EntryName(std::move(entry)), Profile(std::move(profile)), Notify(std::move(notify))
{
}

std::string NmDial::ActivePath() const
{
    const std::lock_guard lock(Lock);
    return Active;
}

void NmDial::SetActivePath(std::string path)
{
    const std::lock_guard lock(Lock);
    Active = std::move(path);
}

void NmDial::Reach(RASCONNSTATE state)
{
    const auto at = std::find(Ladder.begin(), Ladder.end(), state);
    if (Done || at == Ladder.end())
        return;
    const auto upTo = static_cast<std::size_t>(at - Ladder.begin());
    for (; Told <= upTo; ++Told) {
        LastState = Ladder[Told];
        if (Ladder[Told] == RASCS_Connected)
            Connected = true;
        if (!Cancelled && Notify)
            Notify(Ladder[Told], ERROR_SUCCESS);
    }
}

void NmDial::Fail(DWORD error)
{
    if (Done)
        return;
    Done = true;
    if (!Connected && !Cancelled && Notify)
        Notify(LastState, error);
}

// Lives on the client's thread: the bus connection, the signals, the readings and the dials.
class NmWorker final : public QObject
{
    Q_OBJECT

public:
    NmWorker(NmClient& client, QString address) : Client(client), Address(std::move(address)) {}
    ~NmWorker() override = default;
    NmWorker(const NmWorker&) = delete;
    NmWorker& operator=(const NmWorker&) = delete;

    [[nodiscard]] const QString& ConnectionName() const { return Name; }

    static QDBusMessage DeactivateCall(const std::string& activePath)
    {
        QDBusMessage call = ManagerCall("DeactivateConnection");
        call << QVariant::fromValue(QDBusObjectPath(QString::fromStdString(activePath)));
        return call;
    }

public Q_SLOTS:
    // Ends the following on the worker's own thread, before the thread ends.
    void Stop()
    {
        // Dials this program started and the user has not seen connected are not left running.
        for (const auto& dial : Dials) {
            if (!dial->Connected && !dial->ActivePath().empty())
                (void)Bus.call(DeactivateCall(dial->ActivePath()), QDBus::Block, HangUpTimeout);
            dial->Fail(ERROR_NETWORK_SERVICE_STOPPED); // a caller waiting for the end is told
        }
        Dials.clear();
        RefreshTimer.stop();
        delete Watcher;
        Watcher = nullptr;
        Bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(Name);
    }

    void Start()
    {
        Name = QStringLiteral("pulopro-networkmanager-%1").arg(reinterpret_cast<quintptr>(this));
        Bus = QDBusConnection::connectToBus(Address, Name);
        RefreshTimer.setSingleShot(true);
        RefreshTimer.setInterval(0);
        connect(&RefreshTimer, &QTimer::timeout, this, &NmWorker::Refresh);
        if (Bus.isConnected()) {
            const QString service = QString::fromLatin1(nm::Service);
            Watcher = new QDBusServiceWatcher(service, Bus, QDBusServiceWatcher::WatchForOwnerChange, this);
            connect(Watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &NmWorker::OwnerChanged);
            Bus.connect(service, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                        QStringLiteral("PropertiesChanged"), this, SLOT(PropertiesChanged(QDBusMessage)));
            for (const char* name : {"InterfacesAdded", "InterfacesRemoved"})
                Bus.connect(service, QStringLiteral("/org/freedesktop"),
                            QStringLiteral("org.freedesktop.DBus.ObjectManager"), QString::fromLatin1(name), this,
                            SLOT(ObjectsChanged(QDBusMessage)));
            Bus.connect(service, QString(), QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection"),
                        QStringLiteral("Updated"), this, SLOT(ProfileUpdated(QDBusMessage)));
            Bus.connect(service, QString(), QStringLiteral("org.freedesktop.NetworkManager.Device"),
                        QStringLiteral("StateChanged"), this, SLOT(DeviceStateChanged(QDBusMessage)));
            Bus.connect(service, QString(), QStringLiteral("org.freedesktop.NetworkManager.Connection.Active"),
                        QStringLiteral("StateChanged"), this, SLOT(ActiveStateChanged(QDBusMessage)));
        }
        Refresh();
        // Told from the thread's event loop, so that the loop is running before the caller
        // goes on (and before a short-lived application can end under it).
        QMetaObject::invokeMethod(
            this,
            [this] {
                Client.FirstReadDone = true;
                {
                    const std::lock_guard lock(Client.FirstReadLock);
                }
                Client.FirstRead.notify_all();
            },
            Qt::QueuedConnection);
    }

    void Follow(std::shared_ptr<NmDial> dial)
    {
        Dials.push_back(dial);
        dial->Reach(RASCS_OpenPort);
        if (!Current.Running) {
            dial->Fail(ERROR_NETWORK_SERVICE_STOPPED);
            return;
        }
        QDBusMessage call = ManagerCall("ActivateConnection");
        call << QVariant::fromValue(QDBusObjectPath(QString::fromStdString(dial->ProfilePath())))
             << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))
             << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
        auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(call, ActivateTimeout), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, dial](QDBusPendingCallWatcher* answered) {
            answered->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> reply = *answered;
            dial->Answered = true;
            if (reply.isError()) {
                dial->Fail(nm::RequestError(reply.error().name().toStdString()));
                return;
            }
            dial->SetActivePath(reply.value().path().toStdString());
            if (dial->Cancelled) {
                CancelDial(dial);
                return;
            }
            Refresh(); // learn its device at once
        });
    }

    void CancelDial(const std::shared_ptr<NmDial>& dial)
    {
        const std::string active = dial->ActivePath();
        if (active.empty()) {
            if (!dial->Answered)
                return; // taken down when the request is answered
            dial->Fail(631);
            return;
        }
        // The answer and the hang-up may both get here (the hang-up queued before the answer
        // was seen): the activation is asked to end once.
        if (dial->Deactivating)
            return;
        dial->Deactivating = true;
        (void)Bus.asyncCall(DeactivateCall(active), HangUpTimeout);
    }

private Q_SLOTS:
    void ObjectsChanged(const QDBusMessage& message)
    {
        // Access points come and go with every scan; only the objects read here matter.
        static const QStringList Read = {
            QStringLiteral("/Devices/"),
            QStringLiteral("/ActiveConnection/"),
            QStringLiteral("/Settings/"),
            QStringLiteral("/IP4Config/"),
        };
        const QString path = message.arguments().value(0).value<QDBusObjectPath>().path();
        if (std::any_of(Read.begin(), Read.end(), [&](const QString& part) { return path.contains(part); }))
            RefreshTimer.start();
    }

    void PropertiesChanged(const QDBusMessage& message)
    {
        // Access points' signal strengths and the like change often and say nothing of the lines.
        static const QStringList Relevant = {
            QStringLiteral("org.freedesktop.NetworkManager"),
            QStringLiteral("org.freedesktop.NetworkManager.Device"),
            QStringLiteral("org.freedesktop.NetworkManager.Connection.Active"),
            QStringLiteral("org.freedesktop.NetworkManager.IP4Config"),
            QStringLiteral("org.freedesktop.NetworkManager.Settings"),
        };
        if (Relevant.contains(message.arguments().value(0).toString()))
            RefreshTimer.start();
    }

    void ProfileUpdated(const QDBusMessage& message)
    {
        Reader.ProfileChanged(message.path().toStdString());
        RefreshTimer.start();
    }

    void DeviceStateChanged(const QDBusMessage& message)
    {
        const std::uint32_t state = message.arguments().value(0).toUInt();
        const std::uint32_t reason = message.arguments().value(2).toUInt();
        for (const auto& dial : Dials) {
            if (dial->Done || dial->DevicePath != message.path().toStdString())
                continue;
            if (state == nm::DeviceFailed || (state <= nm::DeviceDisconnected && reason != 0))
                dial->DeviceReason = reason;
            else if (!dial->Connected)
                dial->Reach(nm::DialStateOf(state));
        }
        RefreshTimer.start();
    }

    void ActiveStateChanged(const QDBusMessage& message)
    {
        const std::uint32_t state = message.arguments().value(0).toUInt();
        const std::uint32_t reason = message.arguments().value(1).toUInt();
        for (const auto& dial : Dials)
            if (!dial->Done && dial->ActivePath() == message.path().toStdString() && state >= nm::ActiveDeactivating)
                dial->ActiveReason = reason;
        RefreshTimer.start();
    }

    void OwnerChanged(const QString& /*service*/, const QString& /*old*/, const QString& owner)
    {
        if (owner.isEmpty())
            Reader.Forget();
        Refresh();
    }

    void Refresh()
    {
        RefreshTimer.stop();
        nm::Snapshot fresh = Reader.Read(Bus);
        // The signals sent before the answer carry the reasons of what the answer shows.
        QCoreApplication::sendPostedEvents(this);
        if (!(fresh == Current)) {
            Current = fresh;
            Client.Publish(std::move(fresh));
        }
        for (const auto& dial : Dials)
            Advance(*dial);
        std::erase_if(Dials, [](const auto& dial) { return dial->Done.load(); });
    }

private:
    // Moves a dial on from what the service shows now.
    void Advance(NmDial& dial)
    {
        if (dial.Done)
            return;
        if (!Current.Running) {
            dial.Fail(ERROR_NETWORK_SERVICE_STOPPED);
            return;
        }
        const std::string path = dial.ActivePath();
        if (path.empty())
            return; // not answered yet
        const auto active = std::find_if(Current.Actives.begin(), Current.Actives.end(),
                                         [&](const nm::Active& candidate) { return candidate.Path == path; });
        if (active == Current.Actives.end() || active->State >= nm::ActiveDeactivated) {
            std::uint32_t deviceReason = dial.DeviceReason;
            for (const nm::Device& device : Current.Devices)
                if (deviceReason == 0 && device.Path == dial.DevicePath)
                    deviceReason = device.Reason;
            dial.Fail(nm::DialError(deviceReason, dial.ActiveReason));
            return;
        }
        const nm::Device* device = nm::OwnDevice(Current, *active);
        if (device == nullptr || dial.Connected)
            return;
        dial.DevicePath = device->Path;
        if (device->State == nm::DeviceFailed)
            return; // the reason comes with the end of the active connection
        dial.Reach(nm::DialStateOf(device->State));
        if (active->State == nm::ActiveActivated && device->HasIpv4Address)
            dial.Reach(RASCS_Connected);
    }

    NmClient& Client;
    QString Address;
    QString Name;
    QDBusConnection Bus{QString()};
    QDBusServiceWatcher* Watcher = nullptr;
    QTimer RefreshTimer{this};
    nm::SnapshotReader Reader;
    nm::Snapshot Current;
    std::vector<std::shared_ptr<NmDial>> Dials;
};

NmClient::NmClient(std::string busAddress)
{
    Thread = new QThread;
    Thread->setObjectName(QStringLiteral("NetworkManager"));
    Worker = new NmWorker(*this, BusAddress(busAddress));
    Worker->moveToThread(Thread);
    QObject::connect(Thread, &QThread::started, Worker, &NmWorker::Start);
    Thread->start();
}

NmClient::~NmClient()
{
    QMetaObject::invokeMethod(Worker, &NmWorker::Stop, Qt::BlockingQueuedConnection);
    Thread->quit();
    Thread->wait();
    delete Worker; // its thread has ended, and it holds nothing of it any more
    delete Thread;
}

void NmClient::WaitForFirstRead(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(FirstReadLock);
    FirstRead.wait_for(lock, timeout, [this] { return FirstReadDone.load(); });
}

std::shared_ptr<const nm::Snapshot> NmClient::Current() const
{
    const std::lock_guard lock(Lock);
    return Latest;
}

void NmClient::Publish(nm::Snapshot snapshot)
{
    {
        const std::lock_guard lock(Lock);
        Latest = std::make_shared<const nm::Snapshot>(std::move(snapshot));
    }
    Published.fetch_add(1, std::memory_order_acq_rel);
}

std::shared_ptr<NmDial>
NmClient::Activate(const std::string& entry, const nm::Profile& profile, IRasService::DialNotify notify)
{
    auto dial = std::make_shared<NmDial>(entry, profile, std::move(notify));
    QMetaObject::invokeMethod(
        Worker, [worker = Worker, dial] { worker->Follow(dial); }, Qt::QueuedConnection);
    return dial;
}

void NmClient::Cancel(const std::shared_ptr<NmDial>& dial)
{
    dial->Cancelled = true;
    QMetaObject::invokeMethod(
        Worker, [worker = Worker, dial] { worker->CancelDial(dial); }, Qt::QueuedConnection);
}

DWORD NmClient::Deactivate(const std::string& activePath)
{
    if (!FirstReadDone)
        return ERROR_NETWORK_SERVICE_STOPPED;
    const QDBusConnection bus(Worker->ConnectionName());
    const QDBusMessage reply = bus.call(NmWorker::DeactivateCall(activePath), QDBus::Block, HangUpTimeout);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return ERROR_SUCCESS;
    if (reply.errorName() == QLatin1String("org.freedesktop.NetworkManager.ConnectionNotActive"))
        return ERROR_SUCCESS; // it has ended already
    return nm::RequestError(reply.errorName().toStdString());
}

DWORD NmClient::SetMetered(const std::string& uuid, int value, int& before)
{
    WaitForFirstRead(std::chrono::seconds(3));
    if (!FirstReadDone)
        return ERROR_NETWORK_SERVICE_STOPPED;
    return nm::SetProfileMetered(QDBusConnection(Worker->ConnectionName()), uuid, value, before);
}

} // namespace win::posix

#include "NmClient.moc"

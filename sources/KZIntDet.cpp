#include "sources/KZIntDet.h"

#include "common/ErrorBoundary.h"

#include <QTimer>

#include <algorithm>
#include <cstring>

namespace pulo {

namespace {

// A connection found between two calls can make the room short again; try a few times.
constexpr int EnumerationAttempts = 3;

} // namespace

TKZInternetDetect::TKZInternetDetect(QObject* owner) : QObject(owner), Timer(std::make_unique<QTimer>())
{
    RasLibrary = win::LoadLibraryA("RASAPI32.DLL");
    if (RasLibrary != nullptr) {
        RasEnumConnections = reinterpret_cast<EnumConnections>(win::GetProcAddress(RasLibrary, "RasEnumConnectionsA"));
        RasGetProjectionInfo =
            reinterpret_cast<GetProjectionInfo>(win::GetProcAddress(RasLibrary, "RasGetProjectionInfoA"));
    }
    Records.resize(1);
    Timer->setInterval(1000);
    connect(Timer.get(), &QTimer::timeout, this, [this] { RunGuarded([this] { Poll(); }); });
    Timer->start();
}

TKZInternetDetect::~TKZInternetDetect()
{
    Timer.reset(); // no poll after this point
    if (RasLibrary != nullptr)
        win::FreeLibrary(RasLibrary);
}

QString TKZInternetDetect::FirstConnectionAddress(win::HRASCONN& handle)
{
    handle = 0;
    if (RasEnumConnections == nullptr || RasGetProjectionInfo == nullptr)
        return {};
    win::DWORD count = 0;
    win::DWORD code = win::ERROR_BUFFER_TOO_SMALL;
    // With several connections the first one decides, exactly as if it were alone: a VPN
    // started over a dial-up line must not end the dial-up line's online period.
    for (int attempt = 0; attempt < EnumerationAttempts && code == win::ERROR_BUFFER_TOO_SMALL; ++attempt) {
        for (auto& record : Records)
            record.dwSize = sizeof(win::RASCONNA);
        auto size = static_cast<win::DWORD>(Records.size() * sizeof(win::RASCONNA));
        count = 0;
        code = RasEnumConnections(Records.data(), &size, &count);
        if (code == win::ERROR_BUFFER_TOO_SMALL)
            Records.resize(std::max<std::size_t>(size / sizeof(win::RASCONNA), Records.size() + 1));
    }
    if (code != win::ERROR_SUCCESS || count < 1)
        return {};

    win::RASPPPIPA projection{};
    projection.dwSize = sizeof projection;
    win::DWORD projectionSize = sizeof projection;
    if (RasGetProjectionInfo(Records[0].hrasconn, win::RASP_PppIp, &projection, &projectionSize) != win::ERROR_SUCCESS)
        return {};
    handle = Records[0].hrasconn;
    return QString::fromLatin1(projection.szIpAddress,
                               static_cast<qsizetype>(strnlen(projection.szIpAddress, sizeof projection.szIpAddress)));
}

void TKZInternetDetect::Poll()
{
    win::HRASCONN handle = 0;
    const QString address = FirstConnectionAddress(handle);
    const bool wasConnected = IsConnected;
    IsConnected = !address.isEmpty() && address != QLatin1String(" ") && address != QLatin1String("127.0.0.1");
    if (wasConnected && IsConnected && handle != Connection) {
        // Another connection in the place of the one that came up: a redial that was quicker
        // than a poll, or a second line that stays when the first ends. The first has ended, and
        // its figures are its own; this one begins.
        IsConnected = false;
        Address.clear();
        DoDisconnect(Timer.get());
        IsConnected = true;
    }
    Address = address;
    const bool connects = !wasConnected || Connection != handle;
    Connection = handle;
    if (IsConnected && connects)
        DoConnect(Timer.get());
    else if (wasConnected && !IsConnected)
        DoDisconnect(Timer.get());
}

void TKZInternetDetect::DoConnect(QObject* sender)
{
    if (OnConnect)
        OnConnect(sender);
}

void TKZInternetDetect::DoDisconnect(QObject* sender)
{
    if (OnDisconnect)
        OnDisconnect(sender);
}

} // namespace pulo

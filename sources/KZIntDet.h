#pragma once

// Decides once a second whether the machine is online: online means the first active
// connection of the Remote Access Service has an IP address (not "127.0.0.1", not " ").
// Going online raises OnConnect, going offline OnDisconnect, each with the poll timer as
// sender, after Connected and IP have taken their new values.

#include "platform/Ras.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTimer;

namespace pulo {

class TKZInternetDetect : public QObject
{
    Q_OBJECT

public:
    explicit TKZInternetDetect(QObject* owner = nullptr);
    ~TKZInternetDetect() override;
    TKZInternetDetect(const TKZInternetDetect&) = delete;
    TKZInternetDetect& operator=(const TKZInternetDetect&) = delete;

    // Writing either only stores the value: the next poll compares against it.
    [[nodiscard]] bool Connected() const { return IsConnected; }
    void SetConnected(bool value) { IsConnected = value; }
    [[nodiscard]] const QString& IP() const { return Address; }
    // The connection that is up, as the last poll found it (0 when none is).
    [[nodiscard]] win::HRASCONN Handle() const { return IsConnected ? Connection : 0; }
    void SetIP(const QString& value) { Address = value; }
    // Kept for the owner's sake; the poll runs every 1000 ms whatever it says.
    [[nodiscard]] std::int32_t CheckInterval() const { return Interval; }
    void SetCheckInterval(std::int32_t value) { Interval = value; }

    [[nodiscard]] QTimer* PollTimer() const { return Timer.get(); }

    // One look at the connections; the poll timer runs it every second.
    void Poll();

    std::function<void(QObject* sender)> OnConnect;
    std::function<void(QObject* sender)> OnDisconnect;

protected:
    virtual void DoConnect(QObject* sender);
    virtual void DoDisconnect(QObject* sender);

private:
    // The address of the first connection, or empty when there is none or it has none; its
    // handle into handle.
    [[nodiscard]] QString FirstConnectionAddress(win::HRASCONN& handle);

    using EnumConnections = win::DWORD (*)(win::RASCONNA*, win::DWORD*, win::DWORD*);
    using GetProjectionInfo = win::DWORD (*)(win::HRASCONN, win::RASPROJECTION, void*, win::DWORD*);

    std::unique_ptr<QTimer> Timer;
    std::int32_t Interval = 1000;
    bool IsConnected = false;
    QString Address = QStringLiteral("127.0.0.1");
    win::HRASCONN Connection = 0;
    win::HMODULE RasLibrary = nullptr;
    EnumConnections RasEnumConnections = nullptr;
    GetProjectionInfo RasGetProjectionInfo = nullptr;
    // Room for the connection records, kept between polls.
    std::vector<win::RASCONNA> Records;
};

} // namespace pulo

#pragma once

// TDialUp: the phonebook and dialling of the Remote Access Service. It lists the default
// phonebook's entries, dials one (at once, reporting the progress as numbered states with a
// text in English or Czech, or waiting for the end), lists the active connections with their
// state, and hangs connections up. The system's notifications arrive on a thread of its own and
// are handed to the user-interface thread one at a time.

#include "platform/Ras.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QTimer;

namespace pulo {

enum class TDialMode
{
    dmAsync,
    dmSync,
};

enum class TLanguage
{
    English,
    Czech,
};

class TDialUp final : public QObject
{
    Q_OBJECT

public:
    explicit TDialUp(QObject* owner = nullptr);
    ~TDialUp() override;
    TDialUp(const TDialUp&) = delete;
    TDialUp& operator=(const TDialUp&) = delete;

    TDialMode DialMode = TDialMode::dmAsync;
    [[nodiscard]] const QStringList& Entries() const { return EntryList; }
    QString Entry;
    // The entry's name as the system lists it, for a name that is no text in the user's
    // encoding (a peer file named in another one): dialled as these bytes. Empty: Entry's own.
    QByteArray EntryBytes;
    TLanguage Language = TLanguage::English;

    std::function<void(QObject* sender, const char (&entryName)[win::RAS_MaxEntryName + 1])> OnEntryGet;
    std::function<void(QObject* sender)> OnDialing;
    std::function<void(QObject* sender)> OnConnect;
    std::function<void(QObject* sender, int errorCode, const QString& errorMessage)> OnNotConnected;
    std::function<void(QObject* sender, int state, int error, const QString& messageText)> OnAsyncEvent;
    std::function<void(QObject* sender, int errorCode, const QString& errorMessage)> OnError;
    std::function<void(QObject* sender,
                       int handle,
                       win::RASCONNSTATUSA& status,
                       const QString& statusString,
                       const char (&entryName)[win::RAS_MaxEntryName + 1],
                       const char (&deviceType)[win::RAS_MaxDeviceType + 1],
                       const char (&deviceName)[win::RAS_MaxDeviceName + 1])>
        OnActiveConnection;

    int GetEntries();
    int Dial();
    int GetConnections();
    win::DWORD HangUpDialed();
    win::DWORD HangUpConnection(win::HRASCONN handle);
    [[nodiscard]] QString StatusText(int state, int error) const;

    // The delivery of one notification on the user-interface thread (the delivery timer's tick).
    virtual void DeliverNotification();

    // The handle of the last dial (0 before any).
    [[nodiscard]] win::HRASCONN DialedHandle() const { return Handle; }

    // The notifier the system calls (a RasDialFunc); it hands the notification to the dialer
    // that started the last asynchronous dial.
    static void DialNotifier(win::UINT message, win::RASCONNSTATE state, win::DWORD error);

private:
    [[nodiscard]] static QString ErrorString(win::DWORD code);

    QStringList EntryList;
    QTimer* DeliveryTimer = nullptr;
    win::HRASCONN Handle = 0;
    // The hand-off: the notifier stores the three values, then sets the flag (release); the
    // user-interface thread reads them after seeing the flag (acquire) and clears it once the
    // handler has returned.
    std::atomic<bool> Pending = false;
    std::atomic<win::UINT> PendingMessage = 0;
    std::atomic<win::RASCONNSTATE> PendingState = 0;
    std::atomic<win::DWORD> PendingError = 0;
};

} // namespace pulo

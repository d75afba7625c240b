#pragma once

// Desktop notifications through org.freedesktop.Notifications on the session bus, as PuloPro
// (its name and icon): each kind of event replaces the previous notification of its kind
// rather than stacking. Where the service is missing (or answers with an error) the message
// goes to the fallback, the tray icon's own balloon. Calls never wait for the service.

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace pulo {

enum class TNotice
{
    Connected,
    Disconnected,
    TimeLimit,
    DownloadLimit,
    Forecast,
    DialFailed,
    Allowance,
    History,
    DataSaver,
    Problem, // what could not be written while nobody was there to be asked
};

// How pressing a notice is: the desktop may show a critical one until it is dismissed.
enum class TUrgency
{
    Low = 0,
    Normal = 1,
    Critical = 2,
};

// A button on a notification, where the desktop shows them ("Open Usage"): its key comes back
// to OnAction when the user presses it.
struct TNoticeAction final
{
    QString Key;
    QString Label;
};

class TNotifier final : public QObject
{
    Q_OBJECT

public:
    // bus: where the service is looked for (the session bus; tests give a private one).
    explicit TNotifier(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // actions are offered only where the desktop says it shows them (its "actions" capability,
    // asked once, without waiting).
    void Notify(TNotice kind,
                const QString& summary,
                const QString& body,
                TUrgency urgency = TUrgency::Normal,
                const std::vector<TNoticeAction>& actions = {});

    // Off: nothing is shown (the "Notify" key).
    bool Enabled = true;
    // Sent with each notification as its image, so that a copy whose icon is not in the desktop's
    // icon theme (a portable copy, the demo) shows it too; none: the theme's "pulopro" only.
    QImage Image;
    // Shows the message where there is no notification service: the tray's balloon.
    std::function<void(const QString& summary, const QString& body)> Fallback;
    // The user pressed an action's button on the latest notification of that kind.
    std::function<void(TNotice kind, const QString& key)> OnAction;

Q_SIGNALS:
    // The service answered a notification (or refused it and the fallback showed it).
    void Answered();

private Q_SLOTS:
    void ActionInvoked(quint32 id, const QString& key);

private:
    void Send(TNotice kind,
              const QString& summary,
              const QString& body,
              TUrgency urgency,
              const std::vector<TNoticeAction>& actions);

    QDBusConnection Bus;
    std::optional<QStringList> Capabilities; // the service's, once asked
    std::map<TNotice, quint32> Shown;        // the id of each kind's last notification
};

} // namespace pulo

// Desktop notifications of what the window shows: a connection coming up and going down, a
// limit turning yellow or red, the plan's forecast, a dial that failed and why. Each kind
// replaces its previous one; sounds are not affected; the key Notify turns them off.

#include "app/TrayImages.h"
#include "app/Unit1.h"
#include "common/AlarmColor.h"
#include "common/AmountText.h"
#include "common/BillingPeriod.h"
#include "common/ErrorBoundary.h"
#include "desktop/Notifications.h"
#include "platform/Backend.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/UsageFigures.h"
#include "widgets/RXShell.h"

#include <QLabel>
#include <QPushButton>

namespace pulo {

const QString NoticeOpensUsage = QStringLiteral("usage");
const QString NoticeHangsUp = QStringLiteral("hangup");

TNotifier& TForm1::TheNotifier()
{
    if (!Notifier) {
        Notifier = MakeNotifier ? MakeNotifier() : std::make_unique<TNotifier>();
        Notifier->Image = WindowImage().pixmap(48, 48).toImage();
        Notifier->Fallback = [this](const QString& summary, const QString& body) {
            RxTrayIcon1->ShowBalloon(summary, body);
        };
        // The buttons of the plan's notices: the Usage window, and the hang-up of a line past the
        // limit (still only a dial-up line, and only while one is up).
        Notifier->OnAction = [this](TNotice, const QString& key) {
            RunGuarded([&] {
                if (key == NoticeOpensUsage)
                    Usage1Click();
                else if (key == NoticeHangsUp && IsOnline() && BitBtn1->isEnabled())
                    BitBtn1Click();
                else if (key == NoticeNotToday)
                    DataSaverNotToday();
            });
        };
    }
    return *Notifier;
}

void TForm1::Notice(TNotice kind, const QString& summary, const QString& body)
{
    Notice(kind, summary, body, TUrgency::Normal);
}

void TForm1::Notice(TNotice kind, const QString& summary, const QString& body, TUrgency urgency)
{
    Notice(kind, summary, body, urgency, {});
}

void TForm1::Notice(TNotice kind,
                    const QString& summary,
                    const QString& body,
                    TUrgency urgency,
                    const std::vector<TNoticeAction>& actions)
{
    TNotifier& notifier = TheNotifier();
    notifier.Enabled = Desktop.Notify;
    notifier.Notify(kind, summary, body, urgency, actions);
}

void TForm1::NoticeConnected()
{
    Notice(TNotice::Connected,
           ActiveEntryName.isEmpty() ? QStringLiteral("Connected") : QStringLiteral("Connected to ") + ActiveEntryName,
           QStringLiteral("Address ") + Label2b->text());
}

void TForm1::NoticeDisconnected()
{
    Notice(TNotice::Disconnected,
           ActiveEntryName.isEmpty() ? QStringLiteral("Disconnected")
                                     : QStringLiteral("Disconnected from ") + ActiveEntryName,
           QStringLiteral("Online %1, %2 MB received, %3 MB sent")
               .arg(OnlineText.isEmpty() ? QStringLiteral("00:00:00") : OnlineText,
                    QString::number(StatsRecv / 1e6, 'f', 1), QString::number(StatsXmit / 1e6, 'f', 1)));
}

void TForm1::NoticeLimitColors(TColor timeBefore)
{
    // The download limit's warnings are the plan's thresholds (NoticePlanAlerts).
    const auto told = [](TColor color) { return color == clRed ? QStringLiteral("past") : QStringLiteral("near"); };
    // A limit passed is pressing; one drawing near is not.
    const auto urgency = [](TColor color) { return color == clRed ? TUrgency::Critical : TUrgency::Normal; };
    if (TimeAlarmColor != timeBefore && TimeAlarmColor != clBlack)
        Notice(TNotice::TimeLimit, QStringLiteral("Time online %1 the limit").arg(told(TimeAlarmColor)),
               QStringLiteral("The month's limit is %1 hours.").arg(Settings.MaxTimeAlarm), urgency(TimeAlarmColor));
}

void TForm1::NoticeProblem(const QString& message)
{
    Notice(TNotice::Problem, QStringLiteral("PuloPro"), message);
}

void TForm1::NoticeDialFailed(const QString& reason)
{
    Notice(TNotice::DialFailed, QStringLiteral("Dial failed"), reason.trimmed());
}

} // namespace pulo

// The main window's part in the data saver: followed at each tick from the plan's figures, and
// applied to the line that is up: the line's profile marked metered in the network service's
// memory, and the programs the user chose held back by the per-program meter. Both are undone
// when the saver turns off, when the line ends and when the program ends; a mark left by a
// program that was killed is kept in the history and undone at the next start.

#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "desktop/Notifications.h"
#include "platform/Backend.h"
#include "platform/ProgramMeter.h"
#include "settings/PlanSettings.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/UsageFigures.h"
#include "usage/window/UsageWindow.h"

#include <QStringList>

namespace pulo {

const QString NoticeNotToday = QStringLiteral("not-today");

namespace {

// The history's facts: the profile marked and the flag it had ("UUID<TAB>flag"), and the day the
// user said "Not today".
const QString MarkFact = QStringLiteral("data_saver_mark");
const QString NotTodayFact = QStringLiteral("data_saver_not_today");

std::vector<std::string> PathsOf(const std::vector<QString>& paths)
{
    std::vector<std::string> held;
    for (const QString& path : paths)
        held.push_back(path.toStdString());
    return held;
}

} // namespace

void TForm1::FollowDataSaver(const TPlanStatus& plan)
{
    // "Not today" and a killed copy's mark are known before anything is marked.
    if (!ReadPlanFacts())
        return;
    Saver.SetMode(static_cast<TDataSaverMode>(Plan.DataSaver));
    if (Saver.Follow(plan, Plan.Thresholds, DateOf(Now())) && Saver.On() && Saver.ModeOf() == TDataSaverMode::WhenShort)
        NoticeDataSaver();
    ApplyDataSaver();
}

void TForm1::ApplyDataSaver()
{
    const win::HRASCONN wanted = Saver.On() && IsOnline() ? ConnectedHandle : 0;
    if (wanted == SaverLine)
        return;
    UndoDataSaver();
    if (wanted == 0)
        return;
    SaverLine = wanted;
    SaverProblem.clear();
    win::IRasService& ras = *win::InstalledBackend().Ras;
    const std::string profile = ras.MeteredProfile(wanted);
    int before = win::MeteredUnknown;
    if (!profile.empty()) {
        if (const win::DWORD error = ras.SetMetered(profile, win::MeteredYes, before); error == win::ERROR_SUCCESS) {
            MarkedProfile = profile;
            MarkedBefore = before;
            if (History)
                History->Remember(MarkFact,
                                  QString::fromStdString(profile) + QLatin1Char('\t') + QString::number(before));
        } else {
            SaverProblem = QStringLiteral("the line could not be marked metered (error %1)").arg(error);
        }
    }
    HoldBack();
}

void TForm1::HoldBack()
{
    const std::shared_ptr<win::IProgramMeter>& meter = win::InstalledBackend().Meter;
    HeldSince = QDateTime();
    if (!meter || SaverLine == 0 || Plan.HeldBack.empty()) {
        if (meter)
            meter->Release();
        return;
    }
    const std::vector<win::RasLink>& links = win::InstalledBackend().Ras->Connections();
    const std::string interface = links.empty() ? std::string() : links.front().Interface;
    std::string why;
    const std::string identity = meter->Identify(interface);
    if (identity.empty())
        why = "the line has no network interface to hold programs back on";
    else if (meter->Hold(identity, PathsOf(Plan.HeldBack), why))
        why.clear();
    HeldSince = ToQDateTime(Now());
    if (!why.empty())
        SaverProblem = QString::fromStdString(why);
}

void TForm1::UndoDataSaver()
{
    if (SaverLine == 0 && MarkedProfile.empty())
        return;
    if (!MarkedProfile.empty()) {
        int was = win::MeteredUnknown;
        (void)win::InstalledBackend().Ras->SetMetered(MarkedProfile, MarkedBefore, was);
        MarkedProfile.clear();
        if (History)
            History->Remember(MarkFact, QString());
    }
    if (const std::shared_ptr<win::IProgramMeter>& meter = win::InstalledBackend().Meter)
        meter->Release();
    SaverLine = 0;
    HeldSince = QDateTime();
}

void TForm1::UndoLeftMark(const QString& fact)
{
    // A copy that was killed left the line marked: it is put back as that copy found it.
    const QStringList parts = fact.split(QLatin1Char('\t'));
    if (parts.size() != 2 || parts[0].isEmpty())
        return;
    bool number = false;
    const int before = parts[1].toInt(&number);
    int was = win::MeteredUnknown;
    const win::DWORD error =
        win::InstalledBackend().Ras->SetMetered(parts[0].toStdString(), number ? before : win::MeteredUnknown, was);
    // Kept until undone; a profile deleted meanwhile has nothing left to undo.
    if ((error == win::ERROR_SUCCESS || error == win::ERROR_NOT_FOUND) && History)
        History->Remember(MarkFact, QString());
}

void TForm1::NoticeDataSaver()
{
    QStringList does{QStringLiteral("Software updates and sync wait while the line is marked metered.")};
    if (!Plan.HeldBack.empty())
        does << (Plan.HeldBack.size() == 1
                     ? QStringLiteral("The program you chose is held back.")
                     : QStringLiteral("The %1 programs you chose are held back.").arg(Plan.HeldBack.size()));
    Notice(TNotice::DataSaver, QStringLiteral("Data saver on"),
           Capitalised(Saver.Why()) + QStringLiteral(". ") + does.join(QLatin1Char(' ')), TUrgency::Normal,
           {{NoticeNotToday, QStringLiteral("Not today")}, {NoticeOpensUsage, QStringLiteral("Open Usage")}});
}

void TForm1::DataSaverNotToday()
{
    Saver.NotToday(DateOf(Now()));
    if (History)
        History->Remember(NotTodayFact, Saver.NotTodayText());
    FollowDataSaver(PlanNow());
    TrayFigures = {}; // the tip says it at once
    ShowTrayStatus(PlanNow());
}

void TForm1::SetDataSaverMode(TDataSaverMode mode)
{
    WriteDataSaver(static_cast<int>(mode)); // a refused write raises, and nothing changes
    Plan.DataSaver = static_cast<int>(mode);
    // Chosen again: a "Not today" said before no longer stands.
    Saver.NotToday(QDate());
    if (History)
        History->Remember(NotTodayFact, QString());
    FollowDataSaver(PlanNow());
    TrayFigures = {};
    ShowTrayStatus(PlanNow());
}

void TForm1::SetHeldBack(const std::vector<QString>& paths)
{
    WriteHeldBack(paths);
    Plan.HeldBack = paths;
    if (SaverLine != 0)
        HoldBack();
}

} // namespace pulo

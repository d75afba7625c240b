// The tray icon's menu and its status tip: what a user on a desktop panel expects of a tray
// program. The menu's entries do exactly what the window's controls do and follow their
// enabled states; the tip tells whether the line is up and where the billing period stands.

#include "app/TrayImages.h"
#include "app/Unit1.h"
#include "common/AlarmColor.h"
#include "common/BillingPeriod.h"
#include "common/ErrorBoundary.h"
#include "common/TrayStatus.h"
#include "usage/DataSaver.h"
#include "usage/Tariff.h"
#include "usage/UsageFigures.h"
#include "widgets/RXShell.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>

namespace pulo {

namespace {

QAction* MenuAction(QMenu* menu, const char* name, const QString& caption, const std::function<void()>& handler)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    QObject::connect(action, &QAction::triggered, menu, [handler] { RunGuarded(handler); });
    return action;
}

} // namespace

void TForm1::CreateTrayMenu()
{
    TrayMenu = new QMenu(this);
    TrayMenu->setObjectName(QStringLiteral("TrayMenu"));
    TrayRestore = MenuAction(TrayMenu, "TrayRestore", QStringLiteral("&Restore"), [this] { RestoreApplication(); });
    TrayDial = TrayMenu->addMenu(QStringLiteral("&Dial"));
    TrayDial->setObjectName(QStringLiteral("TrayDial"));
    TrayHangUp = MenuAction(TrayMenu, "TrayHangUp", QStringLiteral("H&ang up"), [this] { BitBtn1Click(); });
    TrayMenu->addSeparator();
    TrayViewLog =
        MenuAction(TrayMenu, "TrayViewLog", QStringLiteral("View &Log file"), [this] { ViewLogfile1Click(); });
    TrayUsage = MenuAction(TrayMenu, "TrayUsage", QStringLiteral("&Usage"), [this] { Usage1Click(); });
    TrayConfiguration =
        MenuAction(TrayMenu, "TrayConfiguration", QStringLiteral("&Configuration"), [this] { Configuration1Click(); });
    TrayMute = MenuAction(TrayMenu, "TrayMute", QStringLiteral("&Mute"), [this] { btnAlarmOffClick(); });
    TrayDataSaver = TrayMenu->addMenu(QStringLiteral("Data &saver"));
    TrayDataSaver->setObjectName(QStringLiteral("TrayDataSaver"));
    TrayMenu->addSeparator();
    TrayExit = MenuAction(TrayMenu, "TrayExit", QStringLiteral("E&xit"), [this] { Exit1Click(); });
    connect(TrayMenu, &QMenu::aboutToShow, this, [this] { RunGuarded([this] { UpdateTrayMenu(); }); });
    RxTrayIcon1->SetPopupMenu(TrayMenu);
}

void TForm1::UpdateTrayMenu()
{
    // Dial: the phonebook as the Connection list has it, the active entry checked: the line's
    // while one is up, else the one the Connection list has selected.
    TrayDial->clear();
    for (int i = 0; i < ComboBox1->count(); ++i) {
        QAction* entry = TrayDial->addAction(ComboBox1->itemText(i));
        entry->setCheckable(true);
        entry->setChecked(IsOnline() ? ComboBox1->itemText(i) == ActiveEntryName : i == ComboBox1->currentIndex());
        connect(entry, &QAction::triggered, this, [this, i] {
            RunGuarded([this, i] {
                ComboBox1->setCurrentIndex(i);
                BitBtn2Click();
            });
        });
    }
    TrayDial->setEnabled(BitBtn2->isEnabled() && ComboBox1->count() > 0);
    TrayHangUp->setEnabled(BitBtn1->isEnabled());
    // Mute whenever the window's Mute can be pressed.
    TrayMute->setEnabled(btnAlarmOff->isEnabled());
    UpdateTrayDataSaver();
}

void TForm1::UpdateTrayDataSaver()
{
    // Its state in its title; its modes to choose from, and "Not today" while it is on by itself.
    TrayDataSaver->setTitle(Saver.On() ? QStringLiteral("Data &saver: on") : QStringLiteral("Data &saver: off"));
    TrayDataSaver->clear();
    const struct
    {
        const char* Name;
        const char* Caption;
        TDataSaverMode Mode;
    } modes[] = {
        {"TrayDataSaverOff", "&Off", TDataSaverMode::Off},
        {"TrayDataSaverShort", "&When the plan runs short", TDataSaverMode::WhenShort},
        {"TrayDataSaverAlways", "&Always", TDataSaverMode::Always},
    };
    for (const auto& mode : modes) {
        QAction* choice = MenuAction(TrayDataSaver, mode.Name, QString::fromLatin1(mode.Caption),
                                     [this, chosen = mode.Mode] { SetDataSaverMode(chosen); });
        choice->setCheckable(true);
        choice->setChecked(Saver.ModeOf() == mode.Mode);
    }
    if (Saver.On() && Saver.ModeOf() == TDataSaverMode::WhenShort) {
        TrayDataSaver->addSeparator();
        MenuAction(TrayDataSaver, "TrayDataSaverNotToday", QStringLiteral("&Not today"),
                   [this] { DataSaverNotToday(); });
    }
}

void TForm1::ShowTrayIcons(bool pastLimit)
{
    TrayShowsPastLimit = pastLimit;
    RxTrayIcon1->SetIcon(TrayImage(ArrowAtRest, ArrowAtRest, pastLimit));
    RxTrayIcon1->SetIcons({TrayImage(ArrowAtRest, SentLit, pastLimit), TrayImage(ReceivedLit, ArrowAtRest, pastLimit)});
}

void TForm1::ShowTrayStatus(const TPlanStatus& plan)
{
    if (plan.WithinLimit() == TrayShowsPastLimit)
        ShowTrayIcons(!plan.WithinLimit());
    TTrayFigures figures;
    figures.Online = IsOnline();
    figures.Entry = ActiveEntryName;
    figures.OnlineClock = figures.Online ? OnlineText : QString();
    figures.PeriodBytes = plan.Counted;
    figures.LimitBytes = plan.Limit;
    figures.DaysLeft = plan.DaysLeft;
    figures.DailyBytes = plan.DailyAllowance;
    figures.DataSaver = Saver.On();
    figures.Free = Capitalised(FreeText(plan));
    if (plan.CostSoFar)
        figures.Cost = QStringLiteral("Cost so far: ") + CostText(*plan.CostSoFar, plan.Currency);
    // Asked every second; the words are made again only when a figure changed.
    if (figures == TrayFigures)
        return;
    TrayFigures = figures;
    RxTrayIcon1->SetStatus(TrayStatusText(figures));
}

} // namespace pulo

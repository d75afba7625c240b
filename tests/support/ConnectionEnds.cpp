// A child for the kill tests: it starts as the program does (finishing a connection end a kill
// interrupted), then ends one connection after another in the folder it is given, exactly as
// the main window records each end, writing a dot after each, until it is killed.
//
//   connection-ends FOLDER

#include "common/TSettings.h"
#include "platform/sim/SimBackend.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/LogJournal.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    auto sim = win::sim::InstallSimBackend();
    sim->ModulePath = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("pulopro")).toStdString();
    pulo::SetFileLocation(pulo::TFileLocation::BesideExecutable);

    pulo::TLogWriter writer;
    writer.KeepWaiting(pulo::FinishInterruptedConnectionEnd().Waiting);
    pulo::TMonthTotals totals;
    pulo::ReadMonthTotals(totals);
    pulo::DateParts current{};
    pulo::ClockParts past;
    for (;;) {
        const pulo::TDateTime now = pulo::Now();
        pulo::TLogContext context{
            totals, current, past, true, now - 60.0 / 86400, std::floor(now), QStringLiteral("ISP"), 1000, 2000};
        writer.UpdateLog(context);
        totals.StoredMonth = current.Month;
        pulo::WriteMonthTotals(totals);
        pulo::CloseLogJournal(writer);
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
}

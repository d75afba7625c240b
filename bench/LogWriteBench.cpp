// The log write at a connection's end with a log of 100 000 connection lines: the CPU time and
// the extra peak memory of one end, against the same end with a log of 100 lines, each in a
// fresh process of its own so that the peak belongs to the write alone. Aim: 20 ms and 5 MiB.
//   log_write_bench               runs both and prints the comparison
//   log_write_bench LINES FOLDER  (the child) writes a log of LINES lines, then measures one end

#include "common/DateTime.h"
#include "common/TSettings.h"
#include "platform/sim/SimBackend.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/LogLines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

double CpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The process's peak resident memory so far, in KiB.
long PeakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

int Child(int lines, const QString& folder)
{
    auto sim = win::sim::InstallSimBackend();
    sim->ModulePath = QDir(folder).filePath(QStringLiteral("pulopro")).toStdString();
    pulo::SetFileLocation(pulo::TFileLocation::BesideExecutable);
    {
        QStringList log;
        for (int i = 0; i < lines; ++i)
            log << QStringLiteral("07/12/2026 \u2022 10:00:00 \u2014> 10:10:00 \u2022 00:10:00 \u2022   123.45 \u2022  "
                                  "6789.01 \u2022 My ISP %1")
                       .arg(i);
        log << pulo::MonthTotalsBlock(lines, QStringLiteral("100"), QStringLiteral("0"), QStringLiteral("0"), 1, 2);
        pulo::SaveLog(log);
    }
    // What preparing took is given back before the measurement starts.
    const QByteArray reset = "5";
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write(reset);
    clear.close();

    pulo::TMonthTotals totals{lines, 60000, 1, 2, 12};
    pulo::DateParts current{};
    pulo::ClockParts past;
    pulo::TLogWriter writer;
    const pulo::TDateTime now = pulo::Now();
    pulo::TLogContext context{
        totals, current, past, true, now - 600.0 / 86400, std::floor(now), QStringLiteral("My ISP"), 1000, 2000};
    const long peakBefore = PeakKiB();
    const double before = CpuMilliseconds();
    writer.UpdateLog(context);
    const double cpu = CpuMilliseconds() - before;
    std::printf("%.3f %ld\n", cpu, PeakKiB() - peakBefore);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 3)
        return Child(QByteArray(argv[1]).toInt(), QString::fromLocal8Bit(argv[2]));
    double cpu[2] = {};
    long memory[2] = {};
    const int sizes[2] = {100, 100000};
    for (int i = 0; i < 2; ++i) {
        QTemporaryDir folder;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::number(sizes[i]), folder.path()});
        child.waitForFinished(120000);
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        cpu[i] = figures.value(0).toDouble();
        memory[i] = figures.value(1).toLong();
    }
    std::printf("log write at a connection's end, 100 lines:     %7.2f ms CPU, +%5ld KiB peak\n", cpu[0], memory[0]);
    std::printf("log write at a connection's end, 100000 lines:  %7.2f ms CPU, +%5ld KiB peak   aim <= 20 ms, "
                "5120 KiB\n",
                cpu[1], memory[1]);
    return 0;
}

// The speed monitor: once a second every interface's byte counters are sampled into current,
// peak and average kbps in the hidden grid sgMIB, and the chosen interface (row NIC) is shown
// in the " Speed monitor " group with its two activity lamps.

#include "app/Unit1.h"
#include "sources/IPHelper.h"
#include "widgets/ALed.h"
#include "widgets/StringGrid.h"
#include "widgets/TimerLst.h"

#include <QLabel>

#include <algorithm>
#include <cstring>

namespace pulo {

namespace {

QString Description(const win::MIB_IFROW& row)
{
    if (row.dwDescrLen == 0)
        return {};
    const auto length = std::min<std::size_t>(row.dwDescrLen - 1, sizeof row.bDescr);
    const auto* bytes = reinterpret_cast<const char*>(row.bDescr);
    return QString::fromUtf8(bytes, static_cast<qsizetype>(strnlen(bytes, length))).trimmed();
}

} // namespace

void TForm1::ReloadInterfaces()
{
    GetIfTableRows(IfTable);
    if (!GetIfOctets(Octets))
        Octets.clear();
    RebuildInterfaceRows(KeepFigures::No);
}

const IfOctets* TForm1::OctetsOf(std::size_t row) const
{
    const win::DWORD index = ReloadedIndexes[row];
    // Both tables list the interfaces in the same order: the row's own place is the usual hit.
    if (row < Octets.size() && Octets[row].Index == index)
        return &Octets[row];
    const auto found = std::find_if(Octets.begin(), Octets.end(), [&](const IfOctets& o) { return o.Index == index; });
    return found == Octets.end() ? nullptr : &*found;
}

void TForm1::RebuildInterfaceRows(KeepFigures keep)
{
    if (IfTable.empty())
        return; // the grid and the figures keep what they had
    // Figures, peaks and averages belong to an interface, not to a row: rows that shift
    // take their interface's figures with them.
    std::vector<std::pair<win::DWORD, IfCounter>> previous;
    if (keep == KeepFigures::Yes) {
        for (std::size_t i = 0; i < ReloadedIndexes.size() && i < IfCounters.size(); ++i)
            previous.emplace_back(ReloadedIndexes[i], IfCounters[i]);
    }
    const int rows = static_cast<int>(IfTable.size());
    sgMIB->SetRowCount(rows + 1);
    GridFigures.assign(IfTable.size(), UnknownFigures); // the next sample writes every row
    IfCounters.assign(IfTable.size(), IfCounter{});
    ReloadedIndexes.resize(IfTable.size());
    // One read of the address table answers every row.
    std::vector<win::MIB_IPADDRROW> addresses;
    GetIpAddrTableRows(addresses);
    for (int i = 0; i < rows; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const win::MIB_IFROW& row = IfTable[at];
        ReloadedIndexes[at] = row.dwIndex;
        const auto kept = std::find_if(previous.begin(), previous.end(),
                                       [&](const auto& entry) { return entry.first == row.dwIndex; });
        if (kept != previous.end()) {
            IfCounters[at] = kept->second;
        } else if (const IfOctets* octets = OctetsOf(at)) {
            IfCounters[at].Reset(octets->InOctets, octets->OutOctets);
        }
        sgMIB->SetCell(i + 1, 0, Description(row));
        sgMIB->SetCell(i + 1, 1, MacToText(row.bPhysAddr, row.dwPhysAddrLen));
        sgMIB->SetCell(i + 1, 2, InterfaceIpText(row.dwIndex, addresses));
    }
    (void)FollowTheLine();
}

void TForm1::SampleInterfaces()
{
    if (!GetIfOctets(Octets))
        return;
    const bool sameInterfaces =
        Octets.size() == ReloadedIndexes.size() &&
        std::equal(Octets.begin(), Octets.end(), ReloadedIndexes.begin(),
                   [](const IfOctets& octets, win::DWORD index) { return octets.Index == index; });
    if (!sameInterfaces) {
        // Interfaces came or went: the rows are laid out again, each interface keeping its
        // figures, and sampled in this same tick.
        GetIfTableRows(IfTable);
        RebuildInterfaceRows(KeepFigures::Yes);
    }
    GridFigures.resize(IfCounters.size());
    for (std::size_t i = 0; i < IfCounters.size(); ++i) {
        IfCounter& counter = IfCounters[i];
        if (const IfOctets* octets = OctetsOf(i))
            counter.Sample(octets->InOctets, octets->OutOctets);
        // Most interfaces show the same figures second after second: their texts are neither
        // made nor compared again.
        const IfFigures figures = FiguresOf(counter);
        if (GridFigures[i] == figures)
            continue;
        GridFigures[i] = figures;
        const int row = static_cast<int>(i) + 1;
        sgMIB->SetCell(row, 3, KbpsText(counter.DeltaIn));
        sgMIB->SetCell(row, 4, KbpsText(counter.PeakIn));
        sgMIB->SetCell(row, 5, AverageText(counter.SumIn, counter.SamplesIn));
        sgMIB->SetCell(row, 6, KbpsText(counter.DeltaOut));
        sgMIB->SetCell(row, 7, KbpsText(counter.PeakOut));
        sgMIB->SetCell(row, 8, AverageText(counter.SumOut, counter.SamplesOut));
    }
    ShowMonitoredInterface();
}

void TForm1::ShowMonitoredInterface()
{
    const bool present = Settings.NIC >= 1 && Settings.NIC <= static_cast<int>(IfCounters.size());
    if (!present) {
        // The interface of the chosen row is gone (the dial-up adapter after a call): nothing
        // flows through it.
        for (QLabel* label : {lbCurrentIn, lbPeakIn, lbAvgIn, lbCurrentOut, lbPeakOut, lbAvgOut})
            label->setText(QStringLiteral("0"));
        LedIN->SetValue(false);
        LedOut->SetValue(false);
        return;
    }
    const int row = Settings.NIC;
    const IfCounter& counter = IfCounters[static_cast<std::size_t>(row - 1)];
    // QLabel repaints only when its text really changes.
    lbCurrentIn->setText(sgMIB->Cell(row, 3));
    LedIN->SetValue(counter.DeltaIn != 0);
    lbPeakIn->setText(sgMIB->Cell(row, 4));
    lbAvgIn->setText(sgMIB->Cell(row, 5));
    lbCurrentOut->setText(sgMIB->Cell(row, 6));
    LedOut->SetValue(counter.DeltaOut != 0);
    lbPeakOut->setText(sgMIB->Cell(row, 7));
    lbAvgOut->setText(sgMIB->Cell(row, 8));
}

void TForm1::ResetSpeedMonitor()
{
    ReloadInterfaces();
    SampleInterfaces();
}

void TForm1::btnResetClick()
{
    ResetSpeedMonitor();
}

void TForm1::RxTimerEvent3Timer()
{
    // A sample that takes longer than its period must not pile up: the interval restarts
    // once the sample is done.
    RxTimerEvent3->SetEnabled(false);
    SampleInterfaces();
    RxTimerEvent3->SetEnabled(true);
}

} // namespace pulo

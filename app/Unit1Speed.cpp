// The speed monitor: once a second every interface's byte counters are sampled into current,
// peak and average kbps in the hidden grid sgMIB, and the chosen interface (row NIC) is shown
// in the " Speed monitor " group with its two activity lamps.

#include "app/Unit1.h"
#include "sources/IPHelper.h"
#include "widgets/ALed.h"
#include "widgets/TimerLst.h"

#include <QLabel>
#include <QTableWidget>

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

void TForm1::SetGridCell(int row, int column, const QString& text)
{
    QTableWidgetItem* cell = sgMIB->item(row, column);
    if (cell == nullptr)
        sgMIB->setItem(row, column, new QTableWidgetItem(text));
    else if (cell->text() != text)
        cell->setText(text);
}

void TForm1::ReloadInterfaces()
{
    GetIfTableRows(IfTable);
    RebuildInterfaceRows();
}

void TForm1::RebuildInterfaceRows()
{
    if (IfTable.empty())
        return; // the grid and the figures keep what they had
    const int rows = static_cast<int>(IfTable.size());
    sgMIB->setRowCount(rows + 1);
    IfCounters.resize(IfTable.size());
    ReloadedIndexes.resize(IfTable.size());
    // One read of the address table answers every row.
    std::vector<win::MIB_IPADDRROW> addresses;
    GetIpAddrTableRows(addresses);
    for (int i = 0; i < rows; ++i) {
        const win::MIB_IFROW& row = IfTable[static_cast<std::size_t>(i)];
        IfCounters[static_cast<std::size_t>(i)].Reset(row.dwInOctets, row.dwOutOctets);
        ReloadedIndexes[static_cast<std::size_t>(i)] = row.dwIndex;
        SetGridCell(i + 1, 0, Description(row));
        SetGridCell(i + 1, 1, MacToText(row.bPhysAddr, row.dwPhysAddrLen));
        SetGridCell(i + 1, 2, InterfaceIpText(row.dwIndex, addresses));
    }
}

void TForm1::SampleInterfaces()
{
    GetIfTableRows(IfTable);
    const bool sameInterfaces =
        IfTable.size() == ReloadedIndexes.size() &&
        std::equal(IfTable.begin(), IfTable.end(), ReloadedIndexes.begin(),
                   [](const win::MIB_IFROW& row, win::DWORD index) { return row.dwIndex == index; });
    if (!sameInterfaces) {
        // Interfaces came or went since the last reload: start again rather than show one
        // interface's figures in another's row.
        RebuildInterfaceRows();
        return;
    }
    for (std::size_t i = 0; i < IfTable.size(); ++i) {
        IfCounter& counter = IfCounters[i];
        counter.Sample(IfTable[i].dwInOctets, IfTable[i].dwOutOctets);
        const int row = static_cast<int>(i) + 1;
        SetGridCell(row, 3, KbpsText(counter.DeltaIn));
        SetGridCell(row, 4, KbpsText(counter.PeakIn));
        SetGridCell(row, 5, AverageText(counter.SumIn, counter.SamplesIn));
        SetGridCell(row, 6, KbpsText(counter.DeltaOut));
        SetGridCell(row, 7, KbpsText(counter.PeakOut));
        SetGridCell(row, 8, AverageText(counter.SumOut, counter.SamplesOut));
        if (row == Settings.NIC) {
            lbCurrentIn->setText(sgMIB->item(row, 3)->text());
            LedIN->SetValue(counter.DeltaIn != 0);
            lbPeakIn->setText(sgMIB->item(row, 4)->text());
            lbAvgIn->setText(sgMIB->item(row, 5)->text());
            lbCurrentOut->setText(sgMIB->item(row, 6)->text());
            LedOut->SetValue(counter.DeltaOut != 0);
            lbPeakOut->setText(sgMIB->item(row, 7)->text());
            lbAvgOut->setText(sgMIB->item(row, 8)->text());
        }
    }
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

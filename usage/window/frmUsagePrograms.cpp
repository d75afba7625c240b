// The Usage window's Programs tab: which programs used the line this period, in the connection
// in progress (or the last), on a chosen day, or in a connection chosen on the Connections tab.

#include "common/AmountText.h"
#include "usage/ProgramsReport.h"
#include "usage/window/DesktopEntries.h"
#include "usage/window/UsageCharts.h"
#include "usage/window/frmUsage.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <limits>

namespace pulo {

namespace {

// The bar chart shows the programs that used the most; the table shows them all.
constexpr int ChartedPrograms = 8;

enum TScope
{
    ThisPeriod,
    ThisConnection,
    ADay,
    ChosenConnection,
};

// A cell that sorts by its figure.
class TFigureItem final : public QTableWidgetItem
{
public:
    TFigureItem(const QString& text, qint64 value) : QTableWidgetItem(text)
    {
        setData(Qt::UserRole, value);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        return data(Qt::UserRole).toLongLong() < other.data(Qt::UserRole).toLongLong();
    }
};

} // namespace

void TfrmUsage::MakeProgramsPage()
{
    pagePrograms = new QWidget(this);
    pagePrograms->setObjectName(QStringLiteral("pagePrograms"));
    cmbProgramsScope = new QComboBox(pagePrograms);
    cmbProgramsScope->setObjectName(QStringLiteral("cmbProgramsScope"));
    cmbProgramsScope->addItems(
        {QStringLiteral("This period"), QStringLiteral("This connection"), QStringLiteral("A day")});
    dateProgramsDay = new QDateEdit(pagePrograms);
    dateProgramsDay->setObjectName(QStringLiteral("dateProgramsDay"));
    dateProgramsDay->setCalendarPopup(true);
    dateProgramsDay->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dateProgramsDay->setDate(Host.Now ? Host.Now().date() : QDate::currentDate());
    dateProgramsDay->setEnabled(false);
    lblProgramsReason = new QLabel(pagePrograms);
    lblProgramsReason->setObjectName(QStringLiteral("lblProgramsReason"));
    lblProgramsReason->setWordWrap(true);
    lblProgramsReason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblHeldBack = new QLabel(pagePrograms);
    lblHeldBack->setObjectName(QStringLiteral("lblHeldBack"));
    lblHeldBack->setWordWrap(true);
    lblHeldBack->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tblPrograms = new QTableWidget(0, 5, pagePrograms);
    tblPrograms->setObjectName(QStringLiteral("tblPrograms"));
    tblPrograms->setHorizontalHeaderLabels({QStringLiteral("Program"), QStringLiteral("Received"),
                                            QStringLiteral("Sent"), QStringLiteral("Share"),
                                            QStringLiteral("Hold back when saving data")});
    tblPrograms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPrograms->setWordWrap(false);
    tblPrograms->verticalHeader()->hide();
    tblPrograms->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblPrograms->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    chartPrograms = new QChartView(new QChart, pagePrograms);
    chartPrograms->setObjectName(QStringLiteral("chartPrograms"));
    chartPrograms->setRenderHint(QPainter::Antialiasing);
    chartPrograms->setMinimumHeight(220);

    auto* choice = new QHBoxLayout;
    choice->addWidget(cmbProgramsScope);
    choice->addWidget(dateProgramsDay);
    choice->addStretch();
    auto* layout = new QVBoxLayout(pagePrograms);
    layout->addLayout(choice);
    layout->addWidget(lblProgramsReason);
    layout->addWidget(lblHeldBack);
    layout->addWidget(tblPrograms, 3);
    layout->addWidget(chartPrograms, 2);
    UsageTabs->addTab(pagePrograms, QStringLiteral("Programs"));

    connect(cmbProgramsScope, &QComboBox::currentIndexChanged, this, [this](int scope) {
        dateProgramsDay->setEnabled(scope == ADay);
        FillPrograms();
    });
    connect(dateProgramsDay, &QDateEdit::dateChanged, this, [this] { FillPrograms(); });
    connect(tblPrograms, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { HoldChanged(item); });
    connect(UsageTabs, &QTabWidget::currentChanged, this, [this] { FillPrograms(); });
    // A connection of the Connections tab shows its programs.
    connect(tblConnections, &QTableWidget::cellActivated, this, [this](int row, int) {
        const QTableWidgetItem* start = tblConnections->item(row, 0);
        const auto shown = std::find_if(Shown.begin(), Shown.end(), [&](const TUsageConnection& connection) {
            return start != nullptr && connection.Start.toMSecsSinceEpoch() == start->data(Qt::UserRole).toLongLong();
        });
        if (shown == Shown.end())
            return;
        ChosenProgramsConnection = shown->Id;
        const QString name = QStringLiteral("The connection of %1")
                                 .arg(shown->Start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        if (cmbProgramsScope->count() > ChosenConnection)
            cmbProgramsScope->setItemText(ChosenConnection, name);
        else
            cmbProgramsScope->addItem(name);
        UsageTabs->setCurrentWidget(pagePrograms);
        const QSignalBlocker quiet(cmbProgramsScope);
        cmbProgramsScope->setCurrentIndex(ChosenConnection);
        dateProgramsDay->setEnabled(false);
        FillPrograms();
    });
}

void TfrmUsage::FillPrograms()
{
    // Filled while it is shown only: the desktop's entries and the program rows are read for a
    // user who looks at them, not at every refresh of the window.
    if (UsageTabs->currentWidget() != pagePrograms)
        return;
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const bool online = Host.Online && Host.Online();
    std::vector<TProgramRow> rows;
    switch (cmbProgramsScope->currentIndex()) {
    case ThisPeriod:
        if (history != nullptr && Host.Status) {
            const TPlanStatus status = Host.Status();
            rows = history->ProgramsOn(status.Period.First, status.Period.End.addDays(-1));
        }
        break;
    case ThisConnection:
        if (online && Host.LivePrograms) {
            rows = ByProgram(Host.LivePrograms());
        } else if (history != nullptr) {
            std::int64_t newest = 0;
            history->ForEachConnection(std::numeric_limits<std::int64_t>::min(),
                                       std::numeric_limits<std::int64_t>::max(), [&](const TUsageConnection& each) {
                                           newest = each.Id;
                                           return true;
                                       });
            rows = history->ProgramsOf(newest);
        }
        break;
    case ADay:
        if (history != nullptr)
            rows = history->ProgramsOn(dateProgramsDay->date(), dateProgramsDay->date());
        break;
    default:
        if (history != nullptr)
            rows = history->ProgramsOf(ChosenProgramsConnection);
        break;
    }
    const QString problem = Host.MeterProblem ? Host.MeterProblem() : QString();
    lblProgramsReason->setText(
        problem.isEmpty() ? QString()
                          : QStringLiteral("Not everything is counted by program now (%1); the rest is Other's. Start "
                                           "the per-program meter to count it all: sudo systemctl enable --now "
                                           "pulopro-meter.service")
                                .arg(problem));
    lblProgramsReason->setVisible(!problem.isEmpty());

    // The programs held back are listed, with nothing, when they used nothing here: a box to untick.
    const std::vector<QString> held = Host.HeldBack ? Host.HeldBack() : std::vector<QString>();
    for (const QString& path : held)
        if (std::none_of(rows.begin(), rows.end(), [&](const TProgramRow& row) { return row.Path == path; }))
            rows.insert(std::find_if(rows.begin(), rows.end(), [](const TProgramRow& row) { return row.Other; }),
                        TProgramRow{{}, QFileInfo(path).fileName(), path, false, 0, 0});
    if (!Entries)
        Entries = std::make_unique<TDesktopEntries>();
    std::int64_t largest = 0;
    for (const TProgramRow& row : rows)
        largest = std::max({largest, row.Received, row.Sent});
    const TUsageUnit unit = UnitFor(largest);
    tblPrograms->setRowCount(static_cast<int>(rows.size()));
    QStringList names;
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        const TProgramRow& row = rows[static_cast<std::size_t>(index)];
        const TDesktopEntries::TEntry entry =
            row.Other ? TDesktopEntries::TEntry{} : Entries->Find(row.Program, row.Path);
        const QString name = row.Other               ? QString::fromLatin1(OtherProgram)
                             : !entry.Name.isEmpty() ? entry.Name
                                                     : row.Program;
        auto* program = new QTableWidgetItem(name);
        if (!row.Other)
            program->setIcon(TDesktopEntries::IconOf(entry));
        program->setToolTip(row.Other ? QStringLiteral("What the line carried that no program accounts for: "
                                                       "forwarded traffic, containers, time the meter was not there")
                                      : row.Path);
        tblPrograms->setItem(index, 0, program);
        tblPrograms->setItem(index, 1, new TFigureItem(InUnit(row.Received, unit), row.Received));
        tblPrograms->setItem(index, 2, new TFigureItem(InUnit(row.Sent, unit), row.Sent));
        const int share = SharePercent(row, rows);
        tblPrograms->setItem(index, 3, new TFigureItem(QStringLiteral("%1 %").arg(share), share));
        if (!row.Other && names.size() < ChartedPrograms)
            names << name;
    }
    ShowHolds(rows);

    // The top programs as bars, the most on top.
    QChart* chart = NewChart(this, QStringLiteral("The programs that used the most"));
    auto* received = new QBarSet(QStringLiteral("Received"));
    auto* sent = new QBarSet(QStringLiteral("Sent"));
    for (int index = static_cast<int>(names.size()) - 1; index >= 0; --index) {
        received->append(static_cast<double>(rows[static_cast<std::size_t>(index)].Received) / unit.Bytes);
        sent->append(static_cast<double>(rows[static_cast<std::size_t>(index)].Sent) / unit.Bytes);
    }
    QStringList categories = names;
    std::reverse(categories.begin(), categories.end());
    auto* bars = new QHorizontalBarSeries(chart);
    bars->append(received);
    bars->append(sent);
    chart->addSeries(bars);
    auto* axis = new QBarCategoryAxis(chart);
    axis->append(categories);
    chart->addAxis(axis, Qt::AlignLeft);
    bars->attachAxis(axis);
    double highest = 0;
    for (int index = 0; index < received->count(); ++index)
        highest = std::max({highest, received->at(index), sent->at(index)});
    QValueAxis* amounts = RoundAxis(chart, highest, unit.Name, Qt::AlignBottom);
    amounts->setTruncateLabels(false); // short figures; never "..."
    bars->attachAxis(amounts);
    Show(chartPrograms, chart);
}

void TfrmUsage::ShowHolds(const std::vector<TProgramRow>& rows)
{
    const std::vector<QString> held = Host.HeldBack ? Host.HeldBack() : std::vector<QString>();
    const QDateTime since = Host.HeldSince ? Host.HeldSince() : QDateTime();
    const QString problem = Host.DataSaverProblem ? Host.DataSaverProblem() : QString();
    const QSignalBlocker quiet(tblPrograms); // set here, not ticked by the user
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        const TProgramRow& row = rows[static_cast<std::size_t>(index)];
        auto* hold = new QTableWidgetItem;
        // Only a program's executable can be held back: the meter finds it by its file.
        if (!row.Other && row.Path.startsWith(QLatin1Char('/')) && Host.SetHeldBack) {
            const bool chosen = std::find(held.begin(), held.end(), row.Path) != held.end();
            hold->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            hold->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
            hold->setData(Qt::UserRole, row.Path);
            if (chosen && since.isValid())
                hold->setText(QStringLiteral("held since %1").arg(since.toString(QStringLiteral("HH:mm"))));
            hold->setToolTip(QStringLiteral("While the data saver is on, %1 cannot use the line").arg(row.Path));
        } else {
            hold->setFlags(Qt::NoItemFlags);
        }
        tblPrograms->setItem(index, 4, hold);
    }
    QString text;
    if (!held.empty() && since.isValid())
        text = (held.size() == 1 ? QStringLiteral("The data saver holds back the program you chose since %1.")
                                 : QStringLiteral("The data saver holds back the %2 programs you chose since %1.")
                                       .arg(QStringLiteral("%1"))
                                       .arg(held.size()))
                   .arg(since.toString(QStringLiteral("HH:mm")));
    if (!problem.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("Data saver: ") + problem +
                QLatin1Char('.');
    lblHeldBack->setText(text);
    lblHeldBack->setVisible(!text.isEmpty());
}

void TfrmUsage::HoldChanged(QTableWidgetItem* item)
{
    if (item == nullptr || item->column() != 4 || !Host.SetHeldBack || !Host.HeldBack)
        return;
    const QString path = item->data(Qt::UserRole).toString();
    if (path.isEmpty())
        return;
    std::vector<QString> held = Host.HeldBack();
    std::erase(held, path);
    if (item->checkState() == Qt::Checked)
        held.push_back(path);
    Host.SetHeldBack(held);
    FillPrograms();
}

} // namespace pulo

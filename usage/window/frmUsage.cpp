#include "usage/window/frmUsage.h"

#include "common/ClockText.h"
#include "usage/Export.h"
#include "usage/UsageFigures.h"
#include "usage/window/DesktopEntries.h"
#include "usage/window/UsageCharts.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedBarSeries>
#include <QStandardPaths>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace pulo {

namespace {

constexpr int LiveMs = 60 * 1000;

} // namespace

TfrmUsage::TfrmUsage(TUsageHost host, QWidget* parent) : TUsageWindow(parent, Qt::Window), Host(std::move(host))
{
    setObjectName(QStringLiteral("frmUsage"));
    setWindowTitle(QStringLiteral("PuloPro - Usage"));
    resize(760, 640);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    UsageTabs = new QTabWidget(this);
    UsageTabs->setObjectName(QStringLiteral("UsageTabs"));
    const auto view = [this](const char* name) {
        auto* made = new QChartView(new QChart, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setRenderHint(QPainter::Antialiasing);
        return made;
    };
    pagePeriod = new QWidget(this);
    pagePeriod->setObjectName(QStringLiteral("pagePeriod"));
    chartPeriod = view("chartPeriod");
    chartCounted = view("chartCounted");
    auto* periodCharts = new QVBoxLayout(pagePeriod);
    periodCharts->setContentsMargins(0, 0, 0, 0);
    periodCharts->addWidget(chartPeriod);
    chartPeriods = view("chartPeriods");
    tblConnections = new QTableWidget(0, 7, this);
    tblConnections->setObjectName(QStringLiteral("tblConnections"));
    tblConnections->setHorizontalHeaderLabels(
        {QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Duration"), QStringLiteral("Sent"),
         QStringLiteral("Received"), QStringLiteral("Entry"), QStringLiteral("Interface")});
    tblConnections->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblConnections->setWordWrap(false);
    tblConnections->setSortingEnabled(true);
    // The entry's name takes the room left; every other column is as wide as what it shows.
    tblConnections->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblConnections->horizontalHeader()->setSectionResizeMode(5, QHeaderView::Stretch);
    UsageTabs->addTab(pagePeriod, QStringLiteral("This period"));
    // Counted against the limit on a tab of its own: as tall as the day by day chart, so that a
    // count just past the limit stands apart from it.
    UsageTabs->addTab(chartCounted, QStringLiteral("Counted"));
    UsageTabs->addTab(chartPeriods, QStringLiteral("Last 12 periods"));
    UsageTabs->addTab(tblConnections, QStringLiteral("Connections"));
    pageCorrections = new QWidget(this);
    pageCorrections->setObjectName(QStringLiteral("pageCorrections"));
    tblCorrections = new QTableWidget(0, 4, pageCorrections);
    tblCorrections->setObjectName(QStringLiteral("tblCorrections"));
    tblCorrections->setHorizontalHeaderLabels({QStringLiteral("Given"), QStringLiteral("The provider's figure"),
                                               QStringLiteral("Counted by PuloPro then"),
                                               QStringLiteral("Correction")});
    tblCorrections->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblCorrections->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblCorrections->setSelectionMode(QAbstractItemView::SingleSelection);
    tblCorrections->setWordWrap(false);
    tblCorrections->horizontalHeader()->setStretchLastSection(true);
    btnRemoveCorrection = new QPushButton(QStringLiteral("&Remove correction"), pageCorrections);
    btnRemoveCorrection->setObjectName(QStringLiteral("btnRemoveCorrection"));
    auto* correctionsLayout = new QVBoxLayout(pageCorrections);
    correctionsLayout->addWidget(new QLabel(QStringLiteral("The latest correction of the period decides its counted "
                                                           "figure from the moment it was given (the Plan page and "
                                                           "pulopro --set-used give them)."),
                                            pageCorrections));
    correctionsLayout->addWidget(tblCorrections, 1);
    correctionsLayout->addWidget(btnRemoveCorrection, 0, Qt::AlignLeft);
    // This period's add-on packs, beside the corrections: what was bought, and what is left.
    tblPacks = new QTableWidget(0, 4, pageCorrections);
    tblPacks->setObjectName(QStringLiteral("tblPacks"));
    tblPacks->setHorizontalHeaderLabels(
        {QStringLiteral("Pack bought"), QStringLiteral("Size"), QStringLiteral("Until"), QStringLiteral("Left")});
    tblPacks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPacks->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPacks->setSelectionMode(QAbstractItemView::SingleSelection);
    tblPacks->setWordWrap(false);
    tblPacks->horizontalHeader()->setStretchLastSection(true);
    btnRemovePack = new QPushButton(QStringLiteral("Remove &pack"), pageCorrections);
    btnRemovePack->setObjectName(QStringLiteral("btnRemovePack"));
    correctionsLayout->addWidget(tblPacks, 1);
    correctionsLayout->addWidget(btnRemovePack, 0, Qt::AlignLeft);
    UsageTabs->addTab(pageCorrections, QStringLiteral("Corrections"));
    MakeProgramsPage();
    connect(btnRemovePack, &QPushButton::clicked, this, [this] {
        const int row = tblPacks->currentRow();
        if (row >= 0 && row < static_cast<int>(ShownPacks.size()) && Host.RemovePack)
            Host.RemovePack(ShownPacks[static_cast<std::size_t>(row)].AddedAt);
    });
    connect(btnRemoveCorrection, &QPushButton::clicked, this, [this] {
        const int row = tblCorrections->currentRow();
        if (row >= 0 && row < static_cast<int>(Corrections.size()) && Host.RemoveAdjustment)
            Host.RemoveAdjustment(Corrections[static_cast<std::size_t>(row)].At);
    });

    btnSaveChart = new QPushButton(QStringLiteral("Save &chart..."), this);
    btnSaveChart->setObjectName(QStringLiteral("btnSaveChart"));
    btnSaveConnections = new QPushButton(QStringLiteral("Save c&onnections..."), this);
    btnSaveConnections->setObjectName(QStringLiteral("btnSaveConnections"));
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSaveChart);
    buttons->addWidget(btnSaveConnections);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(UsageTabs, 1);
    layout->addLayout(buttons);

    connect(btnSaveChart, &QPushButton::clicked, this, [this] { AskAndSaveChart(); });
    // A chart is saved from the tabs that show one.
    connect(UsageTabs, &QTabWidget::currentChanged, this, [this](int) {
        btnSaveChart->setEnabled(UsageTabs->currentWidget() == pagePeriod ||
                                 UsageTabs->currentWidget() == chartCounted ||
                                 UsageTabs->currentWidget() == chartPeriods);
    });
    connect(btnSaveConnections, &QPushButton::clicked, this, [this] { AskAndSaveConnections(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
    Live.setInterval(LiveMs);
    connect(&Live, &QTimer::timeout, this, [this] {
        if (!Host.Online || !Host.Online())
            return;
        // The connection in progress is written now (its programs with it); the window is drawn
        // again once it has been.
        if (Host.WriteNow)
            Host.WriteNow();
        else
            Refresh();
    });
}

void TfrmUsage::Refresh()
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const THistoryStore& from = history != nullptr ? *history : NoHistory;
    const TPlanStatus status = Host.Status();
    const TUsageUnit unit = UnitFor(std::max(status.Sent + status.Received, status.Limit.value_or(0)));
    // Short lines: the period and its traffic; what the limit counts, the days left and where the
    // pace leads; the provider's figure; today's allowance.
    QString summary =
        QStringLiteral("This period, %1 to %2: %3 received, %4 sent")
            .arg(QLocale(QLocale::English).toString(status.Period.First, QStringLiteral("d MMMM")),
                 QLocale(QLocale::English).toString(status.Period.End.addDays(-1), QStringLiteral("d MMMM")),
                 InUnit(status.Received, unit), InUnit(status.Sent, unit));
    QStringList standing;
    if (status.Limit)
        standing << QStringLiteral("%1 counted (%2 %)")
                        .arg(OfLimit(status.Counted, *status.Limit), QString::number(*status.LimitUsed, 'f', 0));
    standing << (status.DaysLeft == 1 ? QStringLiteral("1 day left")
                                      : QStringLiteral("%1 days left").arg(status.DaysLeft));
    std::vector<TUsageBar> days = DayBars(from, status.Period);
    if (Host.FreeTime)
        AddFreeToDays(days, from, Host.FreeTime());
    standing << LimitPassedText(status, days);
    summary += QLatin1Char('\n') + standing.join(QStringLiteral(" \u00B7 "));
    if (status.Correction != 0)
        summary += QStringLiteral("\nWith your provider's figure; PuloPro counted %1.")
                       .arg(InUnit(status.ProgramCounted, unit));
    if (const QString allowance = AllowanceText(status); !allowance.isEmpty()) {
        summary += QStringLiteral("\n") + Capitalised(allowance) +
                   QStringLiteral(" (%1 used today).").arg(InUnit(status.UsedToday, UnitFor(status.UsedToday)));
    }
    if (const QString cap = DailyCapText(status); !cap.isEmpty())
        summary += QLatin1Char('\n') + Capitalised(cap) + QLatin1Char('.');
    for (const QString& line : {FreeText(status), RolloverText(status), PacksText(status)})
        if (!line.isEmpty())
            summary += QLatin1Char('\n') + Capitalised(line) + QLatin1Char('.');
    if (const QString cost = CostLine(status); !cost.isEmpty())
        summary += QLatin1Char('\n') + Capitalised(cost) + QLatin1Char('.');
    if (history == nullptr) {
        summary = QStringLiteral("There is no usage history to show. ") + summary;
    } else if (const TPeriodSum recorded = HistoryOfPeriod(from, status.Period);
               !(Host.Online && Host.Online()) &&
               (recorded.Received != status.Received || recorded.Sent != status.Sent)) {
        // The limit counts what the month totals count. Said in words true for the case: the history
        // knows more (connections made while Logging was off) or less (connections counted before
        // the history began, or while it could not be written).
        const bool historyKnowsMore = recorded.Received + recorded.Sent > status.Received + status.Sent;
        const bool logging = !Host.Logging || Host.Logging();
        const QString why =
            !historyKnowsMore ? QStringLiteral("the month totals also count connections the history did not record "
                                               "(made before it began, or while it could not be written)")
            : logging ? QStringLiteral("the history also holds connections made while Logging was off, which the "
                                       "month totals leave out")
                      : QStringLiteral("Logging is off: connections are recorded in the history but not counted in "
                                       "the month totals");
        summary += QStringLiteral("\nThe history holds %1 received and %2 sent for this period; the limit counts "
                                  "the month totals' %3 and %4: %5.")
                       .arg(InUnit(recorded.Received, unit), InUnit(recorded.Sent, unit), InUnit(status.Received, unit),
                            InUnit(status.Sent, unit), why);
    }
    if (const QString problem = Host.Problem ? Host.Problem() : QString(); !problem.isEmpty())
        summary += QLatin1Char('\n') + problem;
    lblSummary->setText(summary);
    DrawPeriod(status, days);
    DrawCounted(status, days);
    DrawPeriods(status);
    FillConnections(status);
    FillCorrections(status);
    FillPrograms();
}

namespace {

// Where today falls among the period's days; -1 outside them.
int TodayAt(const TBillingPeriod& period, const QDate& today)
{
    const qint64 at = period.First.daysTo(today);
    return at >= 0 && at < period.First.daysTo(period.End) ? static_cast<int>(at) : -1;
}

} // namespace

void TfrmUsage::DrawPeriod(const TPlanStatus& status, const std::vector<TUsageBar>& days)
{
    const QString title = QStringLiteral("Day by day, %1").arg(Dates(status.Period));
    std::int64_t largest = 0;
    for (const TUsageBar& bar : days)
        largest = std::max(largest, bar.Sent + bar.Received);
    if (largest == 0) {
        Show(chartPeriod, NewChart(this, title + QStringLiteral(": nothing recorded yet")));
        return;
    }
    const TUsageUnit unit = UnitFor(largest);
    QChart* chart = NewChart(this, QStringLiteral("%1 (%2)").arg(title, unit.Name));
    QStackedBarSeries* bars = StackedBars(chart, days, unit);
    QStringList names;
    for (const TUsageBar& bar : days)
        names << QString::number(bar.First.day());
    QBarCategoryAxis* x = Categories(chart, names);
    QValueAxis* y = RoundAxis(chart, static_cast<double>(largest) / unit.Bytes, unit.Name, Qt::AlignLeft);
    bars->attachAxis(x);
    bars->attachAxis(y);

    // Time online, in hours of the day on an axis of its own, up to today: nothing for days that
    // have not come.
    const int today =
        TodayAt(status.Period, (Host.Now ? Host.Now() : QDateTime::currentDateTime()).toLocalTime().date());
    const int last = today >= 0 ? today : static_cast<int>(days.size()) - 1;
    QList<QPointF> online;
    for (int i = 0; i <= last; ++i)
        online << QPointF(i, static_cast<double>(days[static_cast<std::size_t>(i)].Seconds) / 3600);
    auto* hours = new QValueAxis(chart);
    hours->setTitleText(QStringLiteral("hours online"));
    hours->setRange(0, 24);
    hours->setTickType(QValueAxis::TicksFixed);
    hours->setTickCount(5);
    hours->setLabelFormat(QStringLiteral("%.0f"));
    hours->setGridLineVisible(false); // the bytes' grid is the chart's
    chart->addAxis(hours, Qt::AlignRight);
    Line(chart, QStringLiteral("Online"), online, Qt::DotLine, OnlineColor, x, hours);
    if (today >= 0)
        Line(chart,
             QStringLiteral("Today (%1)")
                 .arg(DayText(days[static_cast<std::size_t>(today)].First, QStringLiteral("d MMMM"))),
             {{static_cast<double>(today), 0}, {static_cast<double>(today), y->max()}}, Qt::DashLine, TodayColor, x, y);
    Show(chartPeriod, chart);
}

void TfrmUsage::DrawCounted(const TPlanStatus& status, const std::vector<TUsageBar>& days)
{
    const QString what = status.CountsBoth ? QStringLiteral("received and sent") : QStringLiteral("received");
    const QString title = QStringLiteral("Counted this period (%1), %2").arg(what, Dates(status.Period));
    const int today =
        TodayAt(status.Period, (Host.Now ? Host.Now() : QDateTime::currentDateTime()).toLocalTime().date());
    if (today < 0 || (status.Counted == 0 && !status.Limit)) {
        Show(chartCounted, NewChart(this, title + QStringLiteral(": nothing counted yet")));
        return;
    }
    // The history's days up to yesterday, then the figure the limit counts now.
    QList<QPointF> counted;
    std::int64_t sum = 0;
    for (int i = 0; i < today; ++i) {
        const TUsageBar& bar = days[static_cast<std::size_t>(i)];
        sum += status.CountedOf(bar.Sent - bar.FreeSent, bar.Received - bar.FreeReceived);
        counted << QPointF(i, static_cast<double>(std::min(sum, status.Counted)));
    }
    counted << QPointF(today, static_cast<double>(status.Counted));
    const std::int64_t projected = status.AtPeriodEnd(status.Counted);
    const TUsageUnit unit = UnitFor(std::max(projected, status.Limit.value_or(0)));
    for (QPointF& point : counted)
        point.setY(point.y() / unit.Bytes);

    QChart* chart = NewChart(this, QStringLiteral("%1 (%2)").arg(title, unit.Name));
    QStringList names;
    for (const TUsageBar& bar : days)
        names << QString::number(bar.First.day());
    QBarCategoryAxis* x = Categories(chart, names);
    QValueAxis* y = RoundAxis(chart, static_cast<double>(std::max(projected, status.Limit.value_or(0))) / unit.Bytes,
                              unit.Name, Qt::AlignLeft);
    const double end = static_cast<double>(days.size()) - 1;
    if (status.Limit)
        Line(chart, QStringLiteral("Limit"),
             {{-0.5, static_cast<double>(*status.Limit) / unit.Bytes},
              {end + 0.5, static_cast<double>(*status.Limit) / unit.Bytes}},
             Qt::SolidLine, LimitColor, x, y);
    Line(chart, QStringLiteral("Counted so far"), counted, Qt::SolidLine, CountedColor, x, y);
    // The day the days' figures reached the limit (not known with a provider's figure).
    if (status.Limit && status.Correction == 0) {
        const double limit = static_cast<double>(*status.Limit) / unit.Bytes;
        const auto passed =
            std::find_if(counted.begin(), counted.end(), [limit](const QPointF& point) { return point.y() >= limit; });
        if (passed != counted.end()) {
            const auto day = static_cast<std::size_t>(passed->x());
            Line(chart, QStringLiteral("Limit passed (%1)").arg(DayText(days[day].First, QStringLiteral("d MMMM"))),
                 {{passed->x(), 0}, {passed->x(), y->max()}}, Qt::DashDotLine, LimitColor, x, y);
        }
    }
    if (projected > status.Counted && today < end)
        Line(chart, QStringLiteral("Forecast"), {counted.back(), {end, static_cast<double>(projected) / unit.Bytes}},
             Qt::DashLine, ForecastColor, x, y);
    Show(chartCounted, chart);
}

void TfrmUsage::DrawPeriods(const TPlanStatus& status)
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const QDateTime now = (Host.Now ? Host.Now() : QDateTime::currentDateTime()).toLocalTime();
    const std::vector<TUsageBar> bars =
        PeriodBars(history != nullptr ? *history : NoHistory, Host.PeriodRule ? Host.PeriodRule() : TPeriodRule{}, now);
    // Months by their names; periods of so many days by the days they start on.
    const QString format =
        status.Kind == TPeriodKind::Monthly ? QStringLiteral("MMM yyyy") : QStringLiteral("d MMM yy");
    const QString title = bars.size() == 1
                              ? QStringLiteral("The plan's one period, from %1")
                                    .arg(DayText(bars.front().First, QStringLiteral("d MMM yyyy")))
                              : QStringLiteral("The last %1 periods, %2 to %3")
                                    .arg(bars.size())
                                    .arg(DayText(bars.front().First, format), DayText(bars.back().First, format));
    std::int64_t largest = 0;
    std::int64_t longest = 0;
    for (const TUsageBar& bar : bars) {
        largest = std::max(largest, bar.Sent + bar.Received);
        longest = std::max(longest, bar.Seconds);
    }
    if (largest == 0) {
        Show(chartPeriods, NewChart(this, title + QStringLiteral(": nothing recorded yet")));
        return;
    }
    // The current period's bar goes on, lighter, to where it will stand at this pace.
    const std::int64_t current = bars.back().Sent + bars.back().Received;
    const std::int64_t projected = std::max(current, status.AtPeriodEnd(current));
    const std::int64_t highest = std::max({largest, projected, status.Limit.value_or(0)});
    const TUsageUnit unit = UnitFor(highest);
    QList<qreal> toCome(static_cast<qsizetype>(bars.size()), 0);
    toCome.back() = static_cast<double>(projected - current) / unit.Bytes;

    QChart* chart = NewChart(this, QStringLiteral("%1 (%2)").arg(title, unit.Name));
    QStackedBarSeries* series = StackedBars(chart, bars, unit, toCome);
    QStringList names;
    for (const TUsageBar& bar : bars)
        names << DayText(bar.First, format);
    QBarCategoryAxis* x = Categories(chart, names);
    x->setLabelsAngle(-45); // twelve "Jan 2026"s side by side do not fit a small window
    QValueAxis* y = RoundAxis(chart, static_cast<double>(highest) / unit.Bytes, unit.Name, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    // Today's limit over this period's bar alone: what the limits of past periods were is not
    // known, and today's drawn across them would call months "over the limit" that were not.
    if (status.Limit)
        Line(chart, QStringLiteral("Limit (this period)"),
             {{static_cast<double>(bars.size()) - 1.5, static_cast<double>(*status.Limit) / unit.Bytes},
              {static_cast<double>(bars.size()) - 0.5, static_cast<double>(*status.Limit) / unit.Bytes}},
             Qt::SolidLine, LimitColor, x, y);
    QList<QPointF> online;
    for (std::size_t i = 0; i < bars.size(); ++i)
        online << QPointF(static_cast<double>(i), static_cast<double>(bars[i].Seconds) / 3600);
    QValueAxis* hours =
        RoundAxis(chart, static_cast<double>(longest) / 3600, QStringLiteral("hours online"), Qt::AlignRight);
    hours->setGridLineVisible(false);
    Line(chart, QStringLiteral("Online"), online, Qt::DotLine, OnlineColor, x, hours);
    Show(chartPeriods, chart);
}

bool TfrmUsage::SaveChart(const QString& path)
{
    // The chart on show, or this period's day by day while a table is.
    QWidget* page = UsageTabs->currentWidget() == chartPeriods   ? static_cast<QWidget*>(chartPeriods)
                    : UsageTabs->currentWidget() == chartCounted ? static_cast<QWidget*>(chartCounted)
                                                                 : pagePeriod;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(page->size());
        svg.setViewBox(page->rect());
        svg.setTitle(windowTitle());
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        page->render(&painter);
        return painter.end() && QFile::exists(path);
    }
    // At twice the screen's size, sharp in a document or on a high-density screen.
    constexpr int Scale = 2;
    QImage image(page->size() * Scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(Scale);
    image.fill(palette().color(QPalette::Window));
    page->render(&image);
    return image.save(path, "PNG");
}

bool TfrmUsage::SaveConnections(const QString& path)
{
    // As the history holds them now, not as they were last drawn.
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const TBillingPeriod period = Host.Status().Period;
    const std::vector<TUsageConnection> connections =
        history != nullptr ? history->Connections(period.From(), period.Until()) : std::vector<TUsageConnection>();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? ConnectionsJson(connections)
                                                                                         : ConnectionsCsv(connections);
    return file.write(bytes) == bytes.size() && file.commit();
}

void TfrmUsage::AskAndSaveChart()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save chart"),
        pictures.isEmpty() ? QStringLiteral("usage.png") : QDir(pictures).filePath(QStringLiteral("usage.png")),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"));
    if (!path.isEmpty())
        SaveChart(path);
}

void TfrmUsage::AskAndSaveConnections()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save connections"), QStringLiteral("connections.csv"),
                                     QStringLiteral("CSV (*.csv);;JSON (*.json)"));
    if (!path.isEmpty())
        SaveConnections(path);
}

void TfrmUsage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Refresh();
    Live.start();
}

void TfrmUsage::hideEvent(QHideEvent* event)
{
    Live.stop(); // no cost while hidden
    QWidget::hideEvent(event);
}

void TfrmUsage::keyPressEvent(QKeyEvent* event)
{
    // Escape leaves it, as it leaves a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    TUsageWindow::keyPressEvent(event);
}

void TfrmUsage::closeEvent(QCloseEvent* event)
{
    if (OnClose)
        OnClose();
    QWidget::closeEvent(event);
}

} // namespace pulo

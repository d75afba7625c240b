#include "usage/window/frmUsage.h"

#include "common/ClockText.h"
#include "usage/Export.h"
#include "usage/UsageFigures.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedBarSeries>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace pulo {

namespace {

constexpr int LiveMs = 60 * 1000;

QString Clock(std::int64_t seconds)
{
    return ClockText(SplitSeconds(static_cast<double>(seconds)), OnlineHourDigits);
}

// The chart follows the desktop: its light or dark palette and its font.
void Dress(QChart* chart, const QWidget* owner)
{
    const QPalette palette = owner->palette();
    chart->setTheme(palette.color(QPalette::Window).lightness() < 128 ? QChart::ChartThemeDark
                                                                      : QChart::ChartThemeLight);
    chart->setBackgroundBrush(palette.color(QPalette::Base));
    chart->setFont(owner->font());
    chart->legend()->setFont(owner->font());
    chart->legend()->setAlignment(Qt::AlignBottom);
}

// Received and sent stacked, with their exact figures in a tip.
QStackedBarSeries* StackedBars(const std::vector<TUsageBar>& bars, const TUsageUnit& unit, QChart* chart)
{
    auto* received = new QBarSet(QStringLiteral("Received"));
    auto* sent = new QBarSet(QStringLiteral("Sent"));
    for (const TUsageBar& bar : bars) {
        *received << static_cast<double>(bar.Received) / unit.Bytes;
        *sent << static_cast<double>(bar.Sent) / unit.Bytes;
    }
    auto* series = new QStackedBarSeries(chart);
    series->append(received);
    series->append(sent);
    const auto tip = [bars](bool shown, int index) {
        if (!shown || index < 0 || index >= static_cast<int>(bars.size())) {
            QToolTip::hideText();
            return;
        }
        const TUsageBar& bar = bars[static_cast<std::size_t>(index)];
        const QLocale english(QLocale::English);
        QToolTip::showText(QCursor::pos(),
                           QStringLiteral("%1\nReceived: %2 bytes\nSent: %3 bytes\nOnline: %4")
                               .arg(bar.End.daysTo(bar.First) == -1
                                        ? english.toString(bar.First, QStringLiteral("d MMMM yyyy"))
                                        : english.toString(bar.First, QStringLiteral("d MMMM")) +
                                              QStringLiteral(" to ") +
                                              english.toString(bar.End.addDays(-1), QStringLiteral("d MMMM yyyy")),
                                    english.toString(static_cast<qlonglong>(bar.Received)),
                                    english.toString(static_cast<qlonglong>(bar.Sent)), Clock(bar.Seconds)));
    };
    QObject::connect(received, &QBarSet::hovered, chart, tip);
    QObject::connect(sent, &QBarSet::hovered, chart, tip);
    chart->addSeries(series);
    return series;
}

QLineSeries*
Line(QChart* chart, const QString& name, const QList<QPointF>& points, Qt::PenStyle style, const QColor& color)
{
    auto* line = new QLineSeries(chart);
    line->setName(name);
    line->append(points);
    chart->addSeries(line); // the theme first, then the line's own pen
    QPen pen(color);
    pen.setStyle(style);
    pen.setWidthF(2);
    line->setPen(pen);
    return line;
}

const QColor LimitColor(0xd6, 0x27, 0x28);
const QColor ForecastColor(0xff, 0x7f, 0x0e);
const QColor OnlineColor(0x8c, 0x8c, 0x8c);

} // namespace

TfrmUsage::TfrmUsage(TUsageHost host, QWidget* parent) : QWidget(parent, Qt::Window), Host(std::move(host))
{
    setObjectName(QStringLiteral("frmUsage"));
    setWindowTitle(QStringLiteral("PuloPro - Usage"));
    resize(760, 560);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    UsageTabs = new QTabWidget(this);
    UsageTabs->setObjectName(QStringLiteral("UsageTabs"));
    chartPeriod = new QChartView(new QChart, this);
    chartPeriod->setObjectName(QStringLiteral("chartPeriod"));
    chartPeriod->setRenderHint(QPainter::Antialiasing);
    chartPeriods = new QChartView(new QChart, this);
    chartPeriods->setObjectName(QStringLiteral("chartPeriods"));
    chartPeriods->setRenderHint(QPainter::Antialiasing);
    tblConnections = new QTableWidget(0, 6, this);
    tblConnections->setObjectName(QStringLiteral("tblConnections"));
    tblConnections->setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("End"),
                                               QStringLiteral("Duration"), QStringLiteral("Sent (bytes)"),
                                               QStringLiteral("Received (bytes)"), QStringLiteral("Entry")});
    tblConnections->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblConnections->setSortingEnabled(true);
    tblConnections->horizontalHeader()->setStretchLastSection(true);
    UsageTabs->addTab(chartPeriod, QStringLiteral("This period"));
    UsageTabs->addTab(chartPeriods, QStringLiteral("Last 12 periods"));
    UsageTabs->addTab(tblConnections, QStringLiteral("Connections"));

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
    connect(btnSaveConnections, &QPushButton::clicked, this, [this] { AskAndSaveConnections(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { close(); });
    Live.setInterval(LiveMs);
    connect(&Live, &QTimer::timeout, this, [this] {
        if (Host.Online && Host.Online())
            Refresh();
    });
}

void TfrmUsage::Refresh()
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const THistoryStore& from = history != nullptr ? *history : NoHistory;
    const TPlanStatus status = Host.Status();
    const TUsageUnit unit = UnitFor(std::max(status.Sent + status.Received, status.Limit.value_or(0)));
    QString summary =
        QStringLiteral("This period (%1 to %2): %3 received, %4 sent")
            .arg(QLocale(QLocale::English).toString(status.Period.First, QStringLiteral("d MMMM")),
                 QLocale(QLocale::English).toString(status.Period.End.addDays(-1), QStringLiteral("d MMMM")),
                 InUnit(status.Received, unit), InUnit(status.Sent, unit));
    if (status.Limit)
        summary += QStringLiteral(" - %1 counted (%2 %)")
                       .arg(OfLimit(status.Counted, *status.Limit), QString::number(*status.LimitUsed, 'f', 0));
    summary += QStringLiteral(" - %1 days left - %2").arg(status.DaysLeft).arg(ForecastText(status));
    if (history == nullptr) {
        summary = QStringLiteral("There is no usage history to show. ") + summary;
    } else if (const TPeriodSum recorded = HistoryOfPeriod(from, status.Period);
               !(Host.Online && Host.Online()) &&
               (recorded.Received != status.Received || recorded.Sent != status.Sent)) {
        // The limit counts what the month totals count; the history may know more (connections
        // while Logging was off) or less (one that has not been written yet).
        summary += QStringLiteral("\nThe history holds %1 received and %2 sent for this period; the limit "
                                  "counts what the month totals count (connections are counted only while "
                                  "Logging is on).")
                       .arg(InUnit(recorded.Received, unit), InUnit(recorded.Sent, unit));
    }
    if (const QString problem = Host.Problem ? Host.Problem() : QString(); !problem.isEmpty())
        summary += QLatin1Char('\n') + problem;
    lblSummary->setText(summary);
    DrawPeriod(status);
    DrawPeriods(status);
    FillConnections(status);
}

namespace {

// A chart of stacked bars with its category and value axes, in the unit its largest figure
// (or the limit) asks for, and the limit as a line when there is one.
struct TBarChart final
{
    QChart* Chart = nullptr;
    QStackedBarSeries* Series = nullptr;
    QBarCategoryAxis* X = nullptr;
    QValueAxis* Y = nullptr;
    TUsageUnit Unit;
    double Highest = 0; // in the unit
};

TBarChart MakeBarChart(const std::vector<TUsageBar>& bars,
                       const QStringList& categories,
                       const QString& title,
                       std::optional<std::int64_t> limit,
                       const QWidget* owner)
{
    TBarChart made;
    std::int64_t largest = limit.value_or(0);
    for (const TUsageBar& bar : bars)
        largest = std::max(largest, bar.Sent + bar.Received);
    made.Unit = UnitFor(largest);
    made.Highest = static_cast<double>(largest) / made.Unit.Bytes;
    made.Chart = new QChart;
    Dress(made.Chart, owner);
    made.Chart->setTitle(QStringLiteral("%1 (%2)").arg(title, made.Unit.Name));
    made.Series = StackedBars(bars, made.Unit, made.Chart);
    made.X = new QBarCategoryAxis(made.Chart);
    made.X->append(categories);
    made.X->setTruncateLabels(false); // short names; never "..."
    made.Chart->addAxis(made.X, Qt::AlignBottom);
    made.Series->attachAxis(made.X);
    made.Y = new QValueAxis(made.Chart);
    made.Y->setTitleText(made.Unit.Name);
    made.Y->setLabelFormat(QStringLiteral("%.1f"));
    made.Chart->addAxis(made.Y, Qt::AlignLeft);
    made.Series->attachAxis(made.Y);
    if (limit) {
        const double at = static_cast<double>(*limit) / made.Unit.Bytes;
        QLineSeries* line = Line(made.Chart, QStringLiteral("Limit"),
                                 {{-0.5, at}, {static_cast<double>(bars.size()) - 0.5, at}}, Qt::SolidLine, LimitColor);
        line->attachAxis(made.X);
        line->attachAxis(made.Y);
    }
    return made;
}

// Shows the chart in the view, the one it showed before deleted.
void Show(QChartView* view, TBarChart& made)
{
    made.Y->setRange(0, made.Highest > 0 ? made.Highest * 1.1 : 1);
    QChart* old = view->chart();
    view->setChart(made.Chart);
    delete old;
}

} // namespace

void TfrmUsage::DrawPeriod(const TPlanStatus& status)
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const std::vector<TUsageBar> bars = DayBars(history != nullptr ? *history : NoHistory, status.Period);
    QStringList days;
    for (const TUsageBar& bar : bars)
        days << QString::number(bar.First.day());
    TBarChart made = MakeBarChart(bars, days, QStringLiteral("This period, day by day"), status.Limit, this);

    // Today's bar stands out.
    const QDate today = (Host.Now ? Host.Now() : QDateTime::currentDateTime()).toLocalTime().date();
    const qint64 todayAt = status.Period.First.daysTo(today);
    for (QBarSet* set : made.Series->barSets()) {
        set->setSelectedColor(set->color().darker(160));
        if (todayAt >= 0 && todayAt < static_cast<qint64>(bars.size()))
            set->selectBar(static_cast<int>(todayAt));
    }
    // What the limit counts so far, and on at the same pace to the period's end.
    if (status.Limit && todayAt >= 0 && status.Counted > 0) {
        const double counted = static_cast<double>(status.Counted) / made.Unit.Bytes;
        const double projected = counted / static_cast<double>(todayAt + 1) * static_cast<double>(bars.size());
        made.Highest = std::max(made.Highest, projected);
        QLineSeries* pace =
            Line(made.Chart, QStringLiteral("Forecast"),
                 {{static_cast<double>(todayAt), counted}, {static_cast<double>(bars.size()) - 0.5, projected}},
                 Qt::DashLine, ForecastColor);
        pace->attachAxis(made.X);
        pace->attachAxis(made.Y);
    }
    // Time online, in hours of the day, on an axis of its own.
    QList<QPointF> online;
    for (std::size_t i = 0; i < bars.size(); ++i)
        online << QPointF(static_cast<double>(i), static_cast<double>(bars[i].Seconds) / 3600);
    QLineSeries* hours = Line(made.Chart, QStringLiteral("Online (hours)"), online, Qt::DotLine, OnlineColor);
    auto* axisHours = new QValueAxis(made.Chart);
    axisHours->setTitleText(QStringLiteral("hours"));
    axisHours->setRange(0, 24);
    made.Chart->addAxis(axisHours, Qt::AlignRight);
    hours->attachAxis(made.X);
    hours->attachAxis(axisHours);
    Show(chartPeriod, made);
}

void TfrmUsage::DrawPeriods(const TPlanStatus& status)
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const QDate today = (Host.Now ? Host.Now() : QDateTime::currentDateTime()).toLocalTime().date();
    const std::vector<TUsageBar> bars =
        PeriodBars(history != nullptr ? *history : NoHistory, today, Host.BillingDay ? Host.BillingDay() : 1);
    QStringList names;
    for (const TUsageBar& bar : bars)
        names << QLocale(QLocale::English).toString(bar.First, QStringLiteral("MMM yy"));
    TBarChart made = MakeBarChart(bars, names, QStringLiteral("The last 12 periods"), status.Limit, this);
    Show(chartPeriods, made);
}

void TfrmUsage::FillConnections(const TPlanStatus& status)
{
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    Shown = history != nullptr ? history->Connections(status.Period.First.startOfDay(), status.Period.End.startOfDay())
                               : std::vector<TUsageConnection>{};
    tblConnections->setSortingEnabled(false);
    tblConnections->setRowCount(static_cast<int>(Shown.size()));
    for (int row = 0; row < static_cast<int>(Shown.size()); ++row) {
        const TUsageConnection& connection = Shown[static_cast<std::size_t>(row)];
        const auto cell = [&](int column, const QVariant& value, const QString& text) {
            auto* item = new QTableWidgetItem;
            item->setData(Qt::DisplayRole, text);
            item->setData(Qt::UserRole, value);
            tblConnections->setItem(row, column, item);
        };
        const QLocale english(QLocale::English);
        cell(0, connection.Start, connection.Start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        cell(1, connection.End, connection.End.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        auto* duration = new QTableWidgetItem;
        duration->setData(Qt::DisplayRole, static_cast<qlonglong>(connection.Seconds));
        duration->setToolTip(Clock(connection.Seconds));
        tblConnections->setItem(row, 2, duration);
        for (const auto& [column, bytes] : {std::pair{3, connection.Sent}, {4, connection.Received}}) {
            auto* item = new QTableWidgetItem;
            item->setData(Qt::DisplayRole, static_cast<qlonglong>(bytes)); // sorts as a number
            tblConnections->setItem(row, column, item);
        }
        tblConnections->setItem(row, 5, new QTableWidgetItem(connection.Entry));
    }
    tblConnections->setSortingEnabled(true);
}

bool TfrmUsage::SaveChart(const QString& path)
{
    auto* view = qobject_cast<QChartView*>(UsageTabs->currentWidget());
    if (view == nullptr)
        view = chartPeriod;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(view->size());
        svg.setViewBox(view->rect());
        svg.setTitle(windowTitle());
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        view->render(&painter);
        return painter.end() && QFile::exists(path);
    }
    return view->grab().save(path, "PNG");
}

bool TfrmUsage::SaveConnections(const QString& path)
{
    // As the history holds them now, not as they were last drawn.
    const THistoryStore* history = Host.History ? Host.History() : nullptr;
    const TBillingPeriod period = Host.Status().Period;
    const std::vector<TUsageConnection> connections =
        history != nullptr ? history->Connections(period.First.startOfDay(), period.End.startOfDay())
                           : std::vector<TUsageConnection>();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? ConnectionsJson(connections)
                                                                                         : ConnectionsCsv(connections);
    return file.write(bytes) == bytes.size() && file.commit();
}

void TfrmUsage::AskAndSaveChart()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save chart"), QStringLiteral("usage.png"),
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

void TfrmUsage::closeEvent(QCloseEvent* event)
{
    if (OnClose)
        OnClose();
    QWidget::closeEvent(event);
}

} // namespace pulo

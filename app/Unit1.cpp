#include "app/Unit1.h"

#include "common/AlarmColor.h"
#include "common/ClockText.h"
#include "common/ErrorBoundary.h"
#include "common/NumberText.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolTip>

namespace pulo {

namespace {

// The window's outer size once created; the interface grid below it stays out of sight.
constexpr QSize OuterSize(353, 304);
// What the window frame of the desktop the program was designed on takes of that size.
constexpr QSize FrameAllowance(6, 27);

QColor ToQColor(TColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void SetFontColor(QLabel* label, TColor color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(color));
    label->setPalette(palette);
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Pulo Pro"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    resize(544, 423);

    CreateControls();
    CreateMenu();

    connect(Hide1, &QAction::triggered, this, [this] { RunGuarded([this] { Hide1Click(); }); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { RunGuarded([this] { BitBtn3Click(); }); });
    connect(Exit1, &QAction::triggered, this, [this] { RunGuarded([this] { Exit1Click(); }); });

    RunGuarded([this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::FormCreate()
{
    ReadSettings(Settings, WithNIC::Yes, WithMaximumFlags::No);
    ReadMonthTotals(Totals);

    ApplyStartingColors();

    const DateParts today = DecodeDate(Now());
    CurrentYear = today.Year;
    CurrentMonth = today.Month;
    CurrentDay = today.Day;
    if (Totals.StoredMonth == 0)
        Totals.StoredMonth = CurrentMonth;

    // Hints everywhere, on aqua.
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, ToQColor(clAqua));
    tips.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(tips);

    sgMIB->hide();
    setFixedSize(OuterSize - FrameAllowance);

    BitBtn1->setEnabled(false);
    BitBtn1->hide();

    SpeedShown = false;
    RasConnName.clear();

    if (Settings.StartHidden) {
        Settings.StartHidden = false;
        StartMinimized = true;
    }

    ShowMonthTotals();

    const QStringList headers = {
        QStringLiteral("Adapter"),  QStringLiteral("MAC-address"),  QStringLiteral("IP-Address"),
        QStringLiteral("kbps in"),  QStringLiteral("Peak in/sec"),  QStringLiteral("Avg. in/sec"),
        QStringLiteral("kbps out"), QStringLiteral("Peak out/sec"), QStringLiteral("Avg. out/sec")};
    for (int column = 0; column < headers.size(); ++column)
        sgMIB->setItem(0, column, new QTableWidgetItem(headers[column]));
}

void TForm1::ApplyStartingColors()
{
    TimeAlarmColor = RaiseAlarmColor(TimeAlarmColor, Totals.TotTime, Settings.MaxTimeAlarm, SecondsPerHour);
    if (TimeAlarmColor != clBlack) {
        SetFontColor(Label12b, TimeAlarmColor);
        SetFontColor(Label3b, TimeAlarmColor);
    }
    MBAlarmColor = RaiseAlarmColor(MBAlarmColor, Totals.TotRCV, Settings.MaxMBAlarm, KilobytesPerMB);
    if (MBAlarmColor != clBlack) {
        SetFontColor(Label11b, MBAlarmColor);
        SetFontColor(Label6b, MBAlarmColor);
    }
}

void TForm1::ShowMonthTotals()
{
    Label10b->setText(FloatToStr(Totals.TotTMT / 1000));
    Label11b->setText(FloatToStr(Totals.TotRCV / 1000));
    const ClockParts past = SplitSeconds(Totals.TotTime);
    PastHours = past.Hours;
    PastMinutes = past.Minutes;
    PastSeconds = past.Seconds;
    Label12b->setText(ClockText(past, MonthTotalHourDigits));
}

void TForm1::ShowAtStart()
{
    if (StartMinimized)
        showMinimized();
    else
        show();
}

void TForm1::FormActivate()
{
    if (Settings.StartHidden)
        HideToTray();
}

void TForm1::HideToTray()
{
    // Minimise first, so that the window comes back from the tray in its normal state. The
    // window stays on the task bar until a tray icon can take its place: hiding it without one
    // would leave the user no way back to it.
    showMinimized();
}

void TForm1::Hide1Click()
{
    HideToTray();
}

void TForm1::BitBtn3Click()
{
    HideToTray();
}

void TForm1::Exit1Click()
{
    Tag = 1;
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (Tag == 1) {
        event->accept();
        Q_EMIT Exited();
        return;
    }
    event->ignore();
    RunGuarded([this] { HideToTray(); });
}

bool TForm1::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        RunGuarded([this] { FormActivate(); });
    return QMainWindow::event(event);
}

} // namespace pulo

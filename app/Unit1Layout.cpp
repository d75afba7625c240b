// The main window's controls and menu: every caption, hint and position of the resting window.

#include "app/AutoSizeLabel.h"
#include "app/Unit1.h"
#include "widgets/ALed.h"
#include "widgets/FigureLabel.h"
#include "widgets/StringGrid.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace pulo {

namespace {

constexpr int RowHeight = 16;
// The left column is wider than the window was first drawn, so that month totals such as
// "12345.678901", addresses such as "192.168.100.200" and 1000 hours online stay readable with
// the fonts of an ordinary Linux desktop. The right column moves over by as much.
constexpr int Extra = 24;
constexpr int LeftWidth = 165 + Extra;
constexpr int RightX = 176 + Extra;

template <typename TLabel = QLabel>
TLabel* MakeLabel(QWidget* parent,
                  const char* name,
                  const QString& text,
                  QRect place,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = new TLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    // Its place is fixed: a new text (the speed figures' every second) then asks the group box
    // behind it for no new layout.
    label->setFixedSize(place.size());
    label->setAlignment(alignment);
    return label;
}

TAutoSizeLabel* MakeValueLabel(QWidget* parent, const char* name, const QString& text, QPoint place)
{
    auto* label = new TAutoSizeLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    // Values change while online; opaque, they repaint themselves alone.
    label->setAutoFillBackground(true);
    label->move(place);
    label->resize(0, RowHeight);
    label->FitText();
    return label;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& title, QRect place)
{
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(place);
    return group;
}

// An activity lamp: a lying bar without a frame, steady (no blinking), set into the group.
ThhALed* MakeLed(QWidget* parent, const char* name, TColor lit, QPoint place)
{
    auto* led = new ThhALed(parent);
    led->setObjectName(QString::fromLatin1(name));
    led->SetLEDStyle(TLEDStyle::LEDHorizontal);
    led->SetBlink(false);
    led->SetBordered(false);
    led->SetTrueColor(lit);
    led->move(place);
    return led;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QString& hint, QRect place)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setGeometry(place);
    return button;
}

} // namespace

void TForm1::CreateControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(client);

    gbStatus = MakeGroup(client, "gbStatus", QStringLiteral(" Status "), {6, 2, LeftWidth, 42});
    Label1b = MakeValueLabel(gbStatus, "Label1b", QStringLiteral("             Not connected"), {6, 20});

    gbModem = MakeGroup(client, "gbModem", QStringLiteral(" Modem "), {RightX, 2, 163, 42});
    Label7b = MakeValueLabel(gbModem, "Label7b", QStringLiteral("                        None active"), {6, 20});

    gbStatistics = MakeGroup(client, "gbStatistics", QStringLiteral(" Statistics "), {6, 46, LeftWidth, 104});
    const QString dceHint = QStringLiteral(
        "Connect speed not available on Win NT and 2000\r\nor with non-dialup connections (ADSL, cable...)");
    MakeLabel(gbStatistics, "lblIpAddress", QStringLiteral("IP address:"), {6, 19, 80, RowHeight});
    Label2b = MakeValueLabel(gbStatistics, "Label2b", QStringLiteral("0.0.0.0"), {84, 19});
    MakeLabel(gbStatistics, "lblDceSpeed", QStringLiteral("DCE speed:"), {6, 35, 80, RowHeight});
    Label4b = MakeValueLabel(gbStatistics, "Label4b", QStringLiteral("0"), {84, 35});
    Label4b->setToolTip(dceHint);
    Label4c = MakeLabel(gbStatistics, "Label4c", QStringLiteral("bps"), {136 + Extra, 35, 24, RowHeight});
    Label4c->setToolTip(dceHint);
    MakeLabel(gbStatistics, "lblTimeOnline", QStringLiteral("Time online:"), {6, 51, 80, RowHeight});
    Label3b = MakeValueLabel(gbStatistics, "Label3b", QStringLiteral("00:00:00"), {84, 51});
    MakeLabel(gbStatistics, "lblBytesSent", QStringLiteral("Bytes sent:"), {6, 67, 80, RowHeight});
    Label5b = MakeValueLabel(gbStatistics, "Label5b", QStringLiteral("0"), {84, 67});
    MakeLabel(gbStatistics, "lblBytesReceived", QStringLiteral("Bytes received:"), {6, 83, 80, RowHeight});
    Label6b = MakeValueLabel(gbStatistics, "Label6b", QStringLiteral("0"), {84, 83});

    gbMonthTotals = MakeGroup(client, "gbMonthTotals", QStringLiteral(" Month totals "), {6, 152, LeftWidth, 72});
    MakeLabel(gbMonthTotals, "lblPastTime", QStringLiteral("Past time online:"), {6, 19, 106, RowHeight});
    Label12b = MakeValueLabel(gbMonthTotals, "Label12b", QStringLiteral("0"), {112, 19});
    Label12b->setToolTip(QStringLiteral("Current connection\r\ntime not included"));
    MakeLabel(gbMonthTotals, "lblMBSent", QStringLiteral("Megabytes sent:"), {6, 35, 106, RowHeight});
    Label10b = MakeValueLabel(gbMonthTotals, "Label10b", QStringLiteral("0"), {112, 35});
    MakeLabel(gbMonthTotals, "lblMBReceived", QStringLiteral("Megabytes received:"), {6, 51, 106, RowHeight});
    Label11b = MakeValueLabel(gbMonthTotals, "Label11b", QStringLiteral("0"), {112, 51});
    // A fourth row, in the room below the group, shown only while the limit counts another figure.
    lblPlanFigure =
        MakeLabel(gbMonthTotals, "lblPlanFigure", QStringLiteral("Counted for plan:"), {6, 67, 106, RowHeight});
    PlanFigure = MakeValueLabel(gbMonthTotals, "PlanFigure", QStringLiteral("0"), {112, 67});
    lblPlanFigure->hide();
    PlanFigure->hide();

    gbSpeedMonitor = MakeGroup(client, "gbSpeedMonitor", QStringLiteral(" Speed monitor "), {RightX, 46, 163, 104});
    constexpr Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    MakeLabel(gbSpeedMonitor, "lblHeadingIn", QStringLiteral("I N"), {48, 17, 28, RowHeight}, right);
    MakeLabel(gbSpeedMonitor, "lblHeadingOut", QStringLiteral("OUT"), {98, 17, 28, RowHeight}, right);
    LedIN = MakeLed(gbSpeedMonitor, "LedIN", clLime, {79, 17});
    LedOut = MakeLed(gbSpeedMonitor, "LedOut", clYellow, {129, 17});
    MakeLabel(gbSpeedMonitor, "lblCurrent", QStringLiteral("Current"), {6, 33, 50, RowHeight});
    MakeLabel(gbSpeedMonitor, "lblPeak", QStringLiteral("Peak"), {6, 49, 50, RowHeight});
    MakeLabel(gbSpeedMonitor, "lblAverage", QStringLiteral("Average"), {6, 65, 50, RowHeight});
    // The figures change every second: each paints its own background, so a new figure
    // repaints the figure alone and not the group box behind it, from glyphs looked up once.
    const auto makeFigure = [&](const char* name, QRect place) {
        return MakeLabel<TFigureLabel>(gbSpeedMonitor, name, QStringLiteral("0"), place, right);
    };
    lbCurrentIn = makeFigure("lbCurrentIn", {52, 33, 50, RowHeight});
    lbPeakIn = makeFigure("lbPeakIn", {52, 49, 50, RowHeight});
    lbAvgIn = makeFigure("lbAvgIn", {52, 65, 50, RowHeight});
    lbCurrentOut = makeFigure("lbCurrentOut", {102, 33, 50, RowHeight});
    lbPeakOut = makeFigure("lbPeakOut", {102, 49, 50, RowHeight});
    lbAvgOut = makeFigure("lbAvgOut", {102, 65, 50, RowHeight});
    for (QLabel* figure : {lbCurrentIn, lbPeakIn, lbAvgIn, lbCurrentOut, lbPeakOut, lbAvgOut})
        figure->setAutoFillBackground(true);
    MakeLabel(gbSpeedMonitor, "lblKbps", QStringLiteral("kbps"), {6, 83, 40, RowHeight});
    btnReset = MakeButton(gbSpeedMonitor, "btnReset", QStringLiteral("Reset"),
                          QStringLiteral("Reset all values to zero"), {102, 81, 52, 20});

    lblConnections = MakeLabel(client, "lblConnections", QStringLiteral(" Connection "), {RightX, 152, 163, RowHeight});
    ComboBox1 = new QComboBox(client);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    ComboBox1->setToolTip(QStringLiteral("Select External connection"));
    ComboBox1->setGeometry(RightX, 169, 163, 22);

    BitBtn2 = MakeButton(client, "BitBtn2", QStringLiteral("&Dial"),
                         QStringLiteral("Dial selected External connection"), {RightX, 196, 80, 25});
    BitBtn1 = MakeButton(client, "BitBtn1", QStringLiteral("H&ang up"), QStringLiteral("Hangup active connection"),
                         {RightX, 196, 80, 25});
    BitBtn3 = MakeButton(client, "BitBtn3", QStringLiteral(" &Hide"), QStringLiteral("Hide and run in System Tray"),
                         {RightX + 83, 196, 80, 25});
    BitBtn3->setDefault(true);
    btnAlarmOff = MakeButton(client, "btnAlarmOff", QStringLiteral("Mute"),
                             QStringLiteral("Turn off 'Maximum' Alarm sound when active"), {RightX, 226, 80, 25});

    // The interface table the speed monitor and the configuration dialog read; it is never shown.
    sgMIB = new TStringGrid(2, 9, this);
    sgMIB->setObjectName(QStringLiteral("sgMIB"));
}

void TForm1::CreateMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    Hide1 = file->addAction(QStringLiteral("&Hide"));
    Hide1->setObjectName(QStringLiteral("Hide1"));
    Exit1 = file->addAction(QStringLiteral("E&xit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    Configuration1 = view->addAction(QStringLiteral("&Configuration"));
    Configuration1->setObjectName(QStringLiteral("Configuration1"));
    ViewLogfile1 = view->addAction(QStringLiteral("View &Log file"));
    ViewLogfile1->setObjectName(QStringLiteral("ViewLogfile1"));
    Usage1 = view->addAction(QStringLiteral("&Usage"));
    Usage1->setObjectName(QStringLiteral("Usage1"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("H&elp"));
    help->setObjectName(QStringLiteral("Help1"));
    C1 = help->addAction(QStringLiteral("C&ontents"));
    C1->setObjectName(QStringLiteral("C1"));
    C1->setShortcut(QKeySequence(Qt::Key_F1));
    About1 = help->addAction(QStringLiteral("&About"));
    About1->setObjectName(QStringLiteral("About1"));
}

} // namespace pulo

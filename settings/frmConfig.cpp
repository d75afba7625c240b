#include "settings/frmConfig.h"

#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "settings/FilenameEdit.h"
#include "settings/Settings.h"
#include "settings/SpinEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>

namespace pulo {

namespace {

QFont PointFont(const char* family, bool bold = false, bool italic = false)
{
    QFont font(QString::fromLatin1(family));
    font.setPointSize(8);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption, const char* hint, QPoint place)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(QString::fromLatin1(hint));
    box->move(place);
    box->adjustSize();
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* hint, QRect place)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromLatin1(hint));
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
}

TSpinEdit* MakeSpin(QWidget* parent,
                    const char* name,
                    std::int32_t minimum,
                    std::int32_t maximum,
                    std::int32_t step,
                    const char* hint,
                    QRect place)
{
    auto* spin = new TSpinEdit(minimum, maximum, step, parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setToolTip(QString::fromLatin1(hint));
    spin->setGeometry(place);
    return spin;
}

} // namespace

void ReadConfiguration(TSettings& settings, const TConfigHost& host, WithNIC nic)
{
    ReadSettings(settings, nic);
    if (host.Plan != nullptr)
        *host.Plan = ReadPlanSettings();
    if (host.Desktop != nullptr)
        *host.Desktop = ReadDesktopSettings();
}

TfrmConfig::TfrmConfig(TSettings& settings, TConfigHost host, QWidget* parent, TConfigCreation creation)
    : QDialog(parent), Settings(settings), Host(std::move(host))
{
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral(" Pulo Configuration Options"));
    // No title-bar buttons: OK and Cancel close it. Always on top.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setFont(PointFont("Arial"));
    setFixedSize(BodySize);
    setModal(false);

    // The pages and buttons lie on a body of the dialog's size, which a screen too small for
    // it (a small screen at a large scale) shows in a scrolling area instead.
    Body = new QWidget(this);
    Body->setObjectName(QStringLiteral("ConfigBody"));
    Body->setFixedSize(BodySize);
    Pages = new QTabWidget(Body);
    Pages->setObjectName(QStringLiteral("PageControl1"));
    Pages->setGeometry(0, 0, 465, 372);
    Pages->tabBar()->setFont(PointFont("MS Sans Serif"));
    CreateGeneralPage();
    CreateAlarmsPage();
    CreateSoundsPage();
    CreateAdapterPage();
    CreatePlanPage();

    btnSave = MakeButton(Body, "btnSave", "&OK", "Save changes", {120, 382, 75, 25});
    btnCancel = MakeButton(Body, "btnCancel", "&Cancel", "Quit without changes", {200, 382, 75, 25});
    btnHelp = MakeButton(Body, "btnHelp", "&Help", "Open Help File", {280, 382, 75, 25});
    // Enter and Esc both cancel.
    btnCancel->setAutoDefault(true);
    btnCancel->setDefault(true);
    setTabOrder(btnSave, btnCancel);
    setTabOrder(btnCancel, btnHelp);
    btnHelp->setEnabled(static_cast<bool>(Host.ShowHelp));

    connect(btnSave, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnSaveClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnCancelClick(); }); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnHelpClick(); }); });
    connect(btnSelectNIC, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnSelectNICClick(); }); });
    for (const auto& [button, field] : {std::pair{Button4, edConnect},
                                        {Button5, edDisconnect},
                                        {Button6, edDial},
                                        {Button1, edOnline},
                                        {Button2, edMaximum}}) {
        connect(button, &QPushButton::clicked, this, [this, edit = field] {
            if (Host.Preview)
                Host.Preview(edit->Text());
        });
    }
    Warn = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Warning"), text); };
    if (creation == TConfigCreation::ReadsSettings)
        FormCreate();
    else
        LoadControls();
}

void TfrmConfig::showEvent(QShowEvent* event)
{
    FitScreen();
    QDialog::showEvent(event);
}

void TfrmConfig::FitScreen()
{
    const QScreen* shown = screen();
    if (shown == nullptr)
        return;
    // The room the window manager's frame takes, as it framed the dialog before, else a title
    // bar's worth.
    QSize frame = frameGeometry().size() - size();
    if (frame.isEmpty())
        frame = QSize(8, 32);
    const QSize room = shown->availableGeometry().size() - frame;
    const QSize fitted = BodySize.boundedTo(room).expandedTo(QSize(160, 120));
    if (fitted == BodySize && Scroller == nullptr)
        return;
    if (Scroller == nullptr) {
        Scroller = new QScrollArea(this);
        Scroller->setObjectName(QStringLiteral("ConfigScroller"));
        Scroller->setFrameShape(QFrame::NoFrame);
        Scroller->setWidget(Body);
        // Made while the dialog is being shown, after its children were: shown by hand.
        Scroller->show();
        // Whatever takes the keyboard's focus is scrolled into view.
        connect(qApp, &QApplication::focusChanged, Scroller, [this](QWidget*, QWidget* now) {
            if (now != nullptr && Body->isAncestorOf(now))
                Scroller->ensureWidgetVisible(now);
        });
    }
    // Where one way is cut short and the other has room, that way also takes the scroll bar, so
    // that only one bar shows.
    const int bar = Scroller->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Scroller);
    QSize size = fitted;
    if (fitted.height() < BodySize.height())
        size.setWidth(std::min(room.width(), fitted.width() + bar));
    if (fitted.width() < BodySize.width())
        size.setHeight(std::min(room.height(), fitted.height() + bar));
    setFixedSize(size);
    Scroller->setGeometry(rect());
}

void TfrmConfig::CreateGeneralPage()
{
    auto* page = new QWidget;
    CheckBox1 = MakeCheck(page, "CheckBox1", "Startup hidden", "Start in System Tray", {24, 24});
    CheckBox2 = MakeCheck(page, "CheckBox2", "Show when connected", "Restore main window on connection", {24, 56});
    CheckBox9 =
        MakeCheck(page, "CheckBox9", "Auto-Hide on disconnect", "Hide in System Tray on disconnection", {24, 88});
    CheckBox4 = MakeCheck(page, "CheckBox4", "Time online logging", "Keep logfile of all connections", {24, 120});
    CreateDesktopChecks(page);
    Pages->addTab(page, QStringLiteral(" General "));
}

void TfrmConfig::CreateAlarmsPage()
{
    auto* page = new QWidget;
    CheckBox3 = MakeCheck(page, "CheckBox3", "Connect/Disconnect sounds", "", {16, 12});
    CheckBox5 = MakeCheck(page, "CheckBox5", "Dial start alarm", "", {240, 12});
    const QFont groupFont = PointFont("MS Sans Serif");

    auto* online = new QGroupBox(QStringLiteral(" Online sound "), page);
    online->setGeometry(8, 40, 441, 90);
    CheckBox6 = MakeCheck(online, "CheckBox6", "Activate Online sound", "", {12, 22});
    RadioAlways = new QRadioButton(QStringLiteral("Always"), online);
    RadioAlways->setObjectName(QStringLiteral("RadioAlways"));
    RadioAlways->move(12, 50);
    RadioIdleOnly = new QRadioButton(QStringLiteral("Idle only"), online);
    RadioIdleOnly->setObjectName(QStringLiteral("RadioIdleOnly"));
    RadioIdleOnly->move(100, 50);
    (new QLabel(QStringLiteral("Interval (in secs):"), online))->setGeometry(230, 50, 110, 20);
    SpinEdit1 = MakeSpin(online, "SpinEdit1", 10, 3600, 10, "Minimum 10 - Maximum 3600", {345, 48, 80, 22});

    auto* time = new QGroupBox(QStringLiteral(" Maximum time online alarm: "), page);
    time->setGeometry(8, 140, 441, 80);
    CheckBox7 = MakeCheck(time, "CheckBox7", "Activate alarm", "", {12, 32});
    (new QLabel(QStringLiteral("after (hours):"), time))->setGeometry(230, 32, 110, 20);
    SpinEdit2 = MakeSpin(time, "SpinEdit2", 1, 744, 1, "Minimum 1  -  Maximum 744", {345, 30, 80, 22});

    auto* download = new QGroupBox(QStringLiteral(" Maximum download alarm: "), page);
    download->setGeometry(8, 230, 441, 80);
    CheckBox8 = MakeCheck(download, "CheckBox8", "Activate alarm", "", {12, 32});
    (new QLabel(QStringLiteral("after (MB):"), download))->setGeometry(230, 32, 110, 20);
    SpinEdit3 =
        MakeSpin(download, "SpinEdit3", 1, 1000000000, 1, "Minimum 1  -  Maximum 1000000000", {320, 30, 105, 22});

    for (QGroupBox* group : {online, time, download})
        for (QWidget* child : group->findChildren<QWidget*>())
            child->setFont(groupFont);
    Pages->addTab(page, QStringLiteral(" Alarms "));
}

void TfrmConfig::CreateSoundsPage()
{
    auto* page = new QWidget;
    const struct
    {
        const char* Label;
        const char* Field;
        const char* Title;
        const char* Button;
        TFilenameEdit** Edit;
        QPushButton** Test;
    } rows[] = {
        {"'Connect' sound:", "edConnect", "Select Connect Soundfile", "Button4", &edConnect, &Button4},
        {"'Disconnect' sound:", "edDisconnect", "Select Disconnect Soundfile", "Button5", &edDisconnect, &Button5},
        {"'Dial start' sound:", "edDial", "Select Dial Alarm Soundfile", "Button6", &edDial, &Button6},
        {"'Online' sound:", "edOnline", "Select Dial Alarm Soundfile", "Button1", &edOnline, &Button1},
        {"'Maximum' sound:", "edMaximum", "Select Dial Alarm Soundfile", "Button2", &edMaximum, &Button2},
    };
    int top = 12;
    for (const auto& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.Label), page);
        label->setFont(PointFont("Arial", true));
        label->setGeometry(12, top, 200, 16);
        *row.Edit = new TFilenameEdit(QString::fromLatin1(row.Title), page);
        (*row.Edit)->setObjectName(QString::fromLatin1(row.Field));
        (*row.Edit)->setGeometry(12, top + 18, 370, 22);
        *row.Test = MakeButton(page, row.Button, "Test", "Preview selected sound", {390, top + 18, 50, 22});
        top += 66;
    }
    Pages->addTab(page, QStringLiteral(" Sounds "));
}

void TfrmConfig::CreateAdapterPage()
{
    auto* page = new QWidget;
    (new QLabel(QStringLiteral("Select network adapter for speed monitoring:"), page))->setGeometry(12, 10, 430, 16);
    auto* hint = new QLabel(QStringLiteral("(normally PPP-adapter or Dial-up adapter)"), page);
    hint->setFont(PointFont("Arial", false, true));
    hint->setGeometry(12, 28, 430, 16);
    sgNICS = new QTableWidget(10, 2, page);
    sgNICS->setObjectName(QStringLiteral("sgNICS"));
    sgNICS->setGeometry(12, 50, 434, 206);
    sgNICS->horizontalHeader()->hide();
    sgNICS->verticalHeader()->hide();
    sgNICS->setColumnWidth(0, 309);
    sgNICS->setColumnWidth(1, 103);
    for (int row = 0; row < 10; ++row)
        sgNICS->setRowHeight(row, 20);
    sgNICS->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgNICS->setSelectionMode(QAbstractItemView::SingleSelection);
    sgNICS->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgNICS->setShowGrid(true);
    sgNICS->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int column = 0; column < 2; ++column) {
        auto* header = new QTableWidgetItem;
        header->setFlags(Qt::ItemIsEnabled); // the fixed header row cannot be chosen
        header->setBackground(sgNICS->palette().button());
        sgNICS->setItem(0, column, header);
    }
    btnSelectNIC = MakeButton(page, "btnSelectNIC", "Select NIC", "", {12, 266, 90, 25});
    Pages->addTab(page, QStringLiteral(" Adapter "));
}

void TfrmConfig::LoadControls()
{
    CheckBox1->setChecked(Settings.StartHidden);
    CheckBox2->setChecked(Settings.ShowConnected);
    CheckBox9->setChecked(Settings.AutoHide);
    CheckBox4->setChecked(Settings.Logging);
    CheckBox3->setChecked(Settings.Sounds);
    CheckBox5->setChecked(Settings.DialAlarm);
    CheckBox6->setChecked(Settings.OnlineSound);
    CheckBox7->setChecked(Settings.MaximumTime);
    CheckBox8->setChecked(Settings.MaximumMB);
    RadioIdleOnly->setChecked(Settings.IdleOnly);
    RadioAlways->setChecked(!Settings.IdleOnly);
    edConnect->SetText(Settings.ConnectSnd);
    edDisconnect->SetText(Settings.DisconnectSnd);
    edDial->SetText(Settings.DialSnd);
    edOnline->SetText(Settings.OnlineSnd);
    edMaximum->SetText(Settings.MaximumSnd);
    SpinEdit1->SetValue(Settings.OnlineInterval);
    SpinEdit2->SetValue(Settings.MaxTimeAlarm);
    SpinEdit3->SetValue(Settings.MaxMBAlarm);
    LoadPlanControls();
    LoadDesktopControls();
}

void TfrmConfig::FormCreate()
{
    ReadConfiguration(Settings, Host, WithNIC::Yes);
    LoadControls();
}

void TfrmConfig::OpenConfig()
{
    ReadConfiguration(Settings, Host, WithNIC::No);
    LoadControls();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
    FillAdapterGrid();
}

void TfrmConfig::FillAdapterGrid()
{
    sgNICS->item(0, 0)->setText(QStringLiteral("    Adapter"));
    sgNICS->item(0, 1)->setText(QStringLiteral("    IP address"));
    if (Settings.NIC < 0 || Settings.NIC > 9)
        throw PuloError(QStringLiteral("Grid index out of range"));
    if (Settings.NIC >= 1)
        sgNICS->selectRow(Settings.NIC);
    const int count = Host.InterfaceCell && Host.InterfaceCount ? Host.InterfaceCount() : 0;
    // The grid holds nine interfaces; more are not shown.
    for (int row = 1; row <= count && row < sgNICS->rowCount(); ++row) {
        const auto cell = [&](int column) { return Host.InterfaceCell(row, column); };
        for (const auto& [column, text] : {std::pair{0, cell(0)}, {1, cell(2)}}) {
            QTableWidgetItem* item = sgNICS->item(row, column);
            if (item == nullptr)
                sgNICS->setItem(row, column, new QTableWidgetItem(text));
            else
                item->setText(text);
        }
    }
}

bool TfrmConfig::AlwaysChosen() const
{
    return RadioAlways->isChecked();
}

void TfrmConfig::btnSaveClick()
{
    if (!CheckBox3->isChecked() && !CheckBox5->isChecked()) {
        QApplication::beep();
        Warn(QStringLiteral("At least one of the options 'Connect/Disconnect sounds' and 'Dial start Alarm' must be "
                            "checked !"));
        CloseConfig();
        return;
    }
    if (!PlanInputValid())
        return; // nothing stored, the dialog stays open
    Settings.OnlineInterval = SpinEdit1->Value();
    Settings.MaxTimeAlarm = SpinEdit2->Value();
    Settings.MaxMBAlarm = SpinEdit3->Value();
    Settings.StartHidden = CheckBox1->isChecked();
    Settings.ShowConnected = CheckBox2->isChecked();
    Settings.AutoHide = CheckBox9->isChecked();
    Settings.Logging = CheckBox4->isChecked();
    Settings.Sounds = CheckBox3->isChecked();
    Settings.DialAlarm = CheckBox5->isChecked();
    Settings.OnlineSound = CheckBox6->isChecked();
    Settings.MaximumTime = CheckBox7->isChecked();
    Settings.MaximumMB = CheckBox8->isChecked();
    Settings.IdleOnly = RadioIdleOnly->isChecked();
    Settings.ConnectSnd = edConnect->Text();
    Settings.DisconnectSnd = edDisconnect->Text();
    Settings.DialSnd = edDial->Text();
    Settings.OnlineSnd = edOnline->Text();
    Settings.MaximumSnd = edMaximum->Text();
    WriteSettings(Settings); // a refused write raises: the dialog stays open
    StorePlan();
    StoreDesktop();
    CloseConfig();
}

void TfrmConfig::btnCancelClick()
{
    ReadConfiguration(Settings, Host, WithNIC::No);
    CloseConfig();
}

void TfrmConfig::reject()
{
    RunGuarded([this] { btnCancelClick(); });
}

void TfrmConfig::btnHelpClick()
{
    if (Host.ShowHelp)
        Host.ShowHelp();
}

void TfrmConfig::btnSelectNICClick()
{
    const QList<QTableWidgetSelectionRange> ranges = sgNICS->selectedRanges();
    if (ranges.isEmpty() || ranges.first().topRow() < 1)
        return;
    Settings.NIC = ranges.first().topRow();
    WriteNIC(Settings.NIC);
}

void TfrmConfig::CloseConfig()
{
    LoadControls();
    if (Host.SetOnlineSoundInterval)
        Host.SetOnlineSoundInterval(Settings.OnlineInterval);
    Settings.StartHidden = false;
    hide();
    if (Host.ShowMainWindow)
        Host.ShowMainWindow();
}

} // namespace pulo

#include "demo/LineSimulator.h"

#include "app/Unit1.h"
#include "sources/KZIntDet.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace pulo {

namespace {

QSpinBox* RateBox(QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(0, 100'000'000);
    box->setSingleStep(1000);
    box->setSuffix(QStringLiteral(" bytes/s"));
    return box;
}

} // namespace

LineSimulator::LineSimulator(std::shared_ptr<win::sim::SimState> sim, const TForm1& form, QWidget* parent)
    : QWidget(parent), Sim(std::move(sim)), Form(form)
{
    setWindowTitle(QStringLiteral("PuloPro line simulator"));
    EntryName = new QLineEdit(QStringLiteral("My ISP"), this);
    EntryName->setMaxLength(256);
    Address = new QLineEdit(QStringLiteral("10.64.0.2"), this);
    Address->setValidator(new QRegularExpressionValidator(
        QRegularExpression(
            QStringLiteral(R"((25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(\.(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){3})")),
        Address));
    SendRate = RateBox(this);
    ReceiveRate = RateBox(this);
    ReceiveRate->setValue(5000);
    SendRate->setValue(1000);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Phonebook entry:"), EntryName);
    fields->addRow(QStringLiteral("Address:"), Address);
    fields->addRow(QStringLiteral("Sending:"), SendRate);
    fields->addRow(QStringLiteral("Receiving:"), ReceiveRate);
    ConnectSpeed = new QSpinBox(this);
    ConnectSpeed->setRange(0, 10'000'000);
    ConnectSpeed->setValue(49333);
    ConnectSpeed->setSuffix(QStringLiteral(" bps"));
    fields->addRow(QStringLiteral("Connect speed:"), ConnectSpeed);
    // The statistics the program reads: the NT family's performance data, or the Windows 9x
    // dial-up adapter counters (which carry the connect speed).
    NineXFamily = new QCheckBox(QStringLiteral("Windows 9x statistics (shows the connect speed)"), this);
    NineXFamily->setChecked(Sim->PlatformId == win::VER_PLATFORM_WIN32_WINDOWS);
    connect(NineXFamily, &QCheckBox::toggled, this, [this](bool on) {
        Sim->PlatformId = on ? win::VER_PLATFORM_WIN32_WINDOWS : win::VER_PLATFORM_WIN32_NT;
        // The program starts the 9x counters once, at its start; switched to that family
        // later, they count as if it had.
        Sim->DialUpStatsStarted = Sim->DialUpStatsStarted || on;
    });
    fields->addRow(QString(), NineXFamily);

    auto* buttons = new QGridLayout;
    const auto addButton = [&](const QString& text, int row, int column, auto slot) {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button, row, column);
    };
    addButton(QStringLiteral("Bring a line up"), 0, 0, [this] { BringUp(true); });
    addButton(QStringLiteral("Dial (no address yet)"), 0, 1, [this] { BringUp(false); });
    addButton(QStringLiteral("Assign the address"), 1, 0, [this] { AssignAddress(); });
    addButton(QStringLiteral("Lose the address"), 1, 1, [this] { LoseAddress(); });
    addButton(QStringLiteral("Drop the line"), 2, 0, [this] { Drop(); });
    addButton(QStringLiteral("Set the line's rates"), 2, 1, [this] { ApplyRates(); });
    addButton(QStringLiteral("Set the Ethernet card's rates"), 3, 0, [this] { ApplyCardRates(); });

    Lines = new QListWidget(this);
    Detector = new QLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(QStringLiteral("Lines, in the order the system lists them:"), this));
    layout->addWidget(Lines);
    layout->addWidget(Detector);
    layout->addWidget(new QLabel(QStringLiteral("The speed monitor shows row NIC of [General] in pulopro-demo.ini:\n"
                                                "1 loopback, 2 the Ethernet card, 3 and on the dial-up lines."),
                                 this));

    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, [this] { Refresh(); });
    refresh->start(500);
    Refresh();
}

win::sim::SimLine* LineSimulator::Selected()
{
    const QListWidgetItem* item = Lines->currentItem();
    if (item == nullptr && Lines->count() > 0)
        item = Lines->item(0);
    return item == nullptr ? nullptr : Sim->FindLine(item->data(Qt::UserRole).toUInt());
}

void LineSimulator::BringUp(bool withAddress)
{
    const QString address = withAddress && Address->hasAcceptableInput() ? Address->text() : QString();
    const win::HRASCONN handle = Sim->AddLine(EntryName->text().toStdString(), address.toStdString());
    Sim->SetLineRates(handle, SendRate->value(), ReceiveRate->value());
    Sim->FindLine(handle)->ConnectSpeed = static_cast<win::DWORD>(ConnectSpeed->value());
    Refresh();
}

void LineSimulator::AssignAddress()
{
    if (win::sim::SimLine* line = Selected(); line != nullptr && Address->hasAcceptableInput())
        line->Address = Address->text().toStdString();
    Refresh();
}

void LineSimulator::LoseAddress()
{
    if (win::sim::SimLine* line = Selected())
        line->Address.clear();
    Refresh();
}

void LineSimulator::Drop()
{
    if (const win::sim::SimLine* line = Selected())
        Sim->DropLine(line->Handle);
    Refresh();
}

void LineSimulator::ApplyRates()
{
    if (const win::sim::SimLine* line = Selected())
        Sim->SetLineRates(line->Handle, SendRate->value(), ReceiveRate->value());
    Refresh();
}

void LineSimulator::ApplyCardRates()
{
    for (const win::sim::SimAdapter& adapter : Sim->Adapters)
        if (adapter.Type == win::IF_TYPE_ETHERNET_CSMACD)
            Sim->SetAdapterRates(adapter.Index, ReceiveRate->value(), SendRate->value());
}

void LineSimulator::FeedProgramMeter()
{
    // A few programs share the first line, as a desktop's would; what they leave is Other's.
    struct TShare
    {
        const char* Program;
        const char* Path;
        double Received;
        double Sent;
    };
    static constexpr TShare Shares[] = {{"firefox-esr", "/usr/lib/firefox-esr/firefox-esr", 0.55, 0.40},
                                        {"packagekitd", "/usr/libexec/packagekitd", 0.25, 0.05},
                                        {"thunderbird", "/usr/lib/thunderbird/thunderbird", 0.10, 0.30}};
    if (Sim->Lines.empty())
        return;
    const double received = static_cast<double>(Sim->LineReceived(Sim->Lines.front()));
    const double sent = static_cast<double>(Sim->LineSent(Sim->Lines.front()));
    std::vector<win::ProgramBytes> programs;
    for (const TShare& share : Shares)
        programs.push_back({share.Program, share.Path, static_cast<std::uint64_t>(received * share.Received),
                            static_cast<std::uint64_t>(sent * share.Sent), 0, 0});
    Sim->Meter->Set("ppp0", std::move(programs));
}

void LineSimulator::Refresh()
{
    const QVariant selected = Lines->currentItem() != nullptr ? Lines->currentItem()->data(Qt::UserRole) : QVariant();
    Lines->clear();
    for (const win::sim::SimLine& line : Sim->Lines) {
        const QString text =
            QStringLiteral("%1  %2  %3  out %4 B/s, in %5 B/s")
                .arg(line.Handle)
                .arg(QString::fromStdString(line.EntryName),
                     line.Address.empty() ? QStringLiteral("(negotiating)") : QString::fromStdString(line.Address))
                .arg(line.SendRate)
                .arg(line.ReceiveRate);
        auto* item = new QListWidgetItem(text, Lines);
        item->setData(Qt::UserRole, line.Handle);
        if (QVariant(line.Handle) == selected)
            Lines->setCurrentItem(item);
    }
    FeedProgramMeter();
    const TKZInternetDetect* detector = Form.KZInternetDetect1;
    Detector->setText(detector->Connected() ? QStringLiteral("PuloPro's detector: online at %1").arg(detector->IP())
                                            : QStringLiteral("PuloPro's detector: offline"));
}

} // namespace pulo

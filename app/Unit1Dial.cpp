// Dialling a phonebook entry and hanging up from the main window, through the dialer DialUp1.
// The end of a dialled connection is still the connection detector's to report.

#include "app/LabelColor.h"
#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "common/StringUtil.h"
#include "platform/Win32.h"
#include "sources/DialUp.h"
#include "sources/rascomp32.h"
#include "widgets/PlayerWave.h"
#include "widgets/RXShell.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>
#include <cstring>

namespace pulo {

void TForm1::CreateDialer()
{
    DialUp1 = new TDialUp(this);
    DialUp1->setObjectName(QStringLiteral("DialUp1"));
    DialUp1->DialMode = TDialMode::dmAsync;
    DialUp1->Language = TLanguage::English;
    DialUp1->OnEntryGet = [this](QObject*, const char(&name)[win::RAS_MaxEntryName + 1]) {
        DialUp1EntryGet(FixedText(name), QByteArray(name, static_cast<qsizetype>(strnlen(name, sizeof name))));
    };
    DialUp1->OnActiveConnection = [this](QObject*, int handle, win::RASCONNSTATUSA&, const QString&,
                                         const char(&entry)[win::RAS_MaxEntryName + 1],
                                         const char(&)[win::RAS_MaxDeviceType + 1],
                                         const char(&device)[win::RAS_MaxDeviceName + 1]) {
        DialUp1ActiveConnection(static_cast<win::HRASCONN>(handle), FixedText(entry), FixedText(device));
    };
    DialUp1->OnDialing = [this](QObject*) { RunGuarded([this] { DialUp1Dialing(); }); };
    DialUp1->OnAsyncEvent = [this](QObject*, int state, int error, const QString& text) {
        RunGuarded([&] { DialUp1AsyncEvent(state, error, text); });
    };
    DialUp1->OnError = [this](QObject*, int, const QString&) { RunGuarded([this] { DialUp1Error(); }); };
    DialUp1->OnNotConnected = [this](QObject*, int, const QString&) { RunGuarded([this] { DialUp1NotConnected(); }); };
    Inform = [this](const QString& text) { QMessageBox::information(this, windowTitle(), text); };
    Confirm = [this](const QString& text) {
        return QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
               QMessageBox::Yes;
    };
}

void TForm1::DialUp1EntryGet(const QString& entryName, const QByteArray& entryBytes)
{
    // The list keeps itself in alphabetical order, case aside.
    int at = 0;
    while (at < ComboBox1->count() && QString::compare(ComboBox1->itemText(at), entryName, Qt::CaseInsensitive) <= 0)
        ++at;
    // The name's own bytes go with it, so that a name shown as best the encoding can is still
    // dialled as itself.
    ComboBox1->insertItem(at, entryName, entryBytes);
    ComboBox1->setCurrentIndex(0);
}

void TForm1::DialUp1ActiveConnection(win::HRASCONN handle, const QString& entryName, const QString& deviceName)
{
    Label7b->setText(deviceName);
    ActiveEntryName = entryName;
    ActiveDeviceName = deviceName;
    if (!HangUpRequested)
        return;
    HangUpRefusal = DialUp1->HangUpConnection(handle);
    if (RasEntryPoints().RasHangUpA != nullptr)
        RasEntryPoints().RasHangUpA(handle);
    if (HangUpRefusal == 0)
        WaitForLineToDrop();
    HangUpRequested = false;
}

void TForm1::WaitForLineToDrop()
{
    // The line needs its time to drop, and the window waits for it, as it always has; but it
    // keeps painting and its clock keeps running meanwhile. What the user does waits until
    // the wait is over.
    constexpr win::DWORD Wait = 3000;
    constexpr win::DWORD Slice = 50;
    for (win::DWORD waited = 0; waited < Wait; waited += Slice) {
        win::Sleep(Slice);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void TForm1::DialUp1Dialing()
{
    RestoreApplication();
    Label3b->setText(QStringLiteral("00:00:00"));
    const TDateTime now = Now();
    ConnectStart = now - std::floor(now);
    SetFontColor(Label1b, clBlue);
    Label1b->setText(QStringLiteral("      Dialing"));
    Label2b->setText(QStringLiteral("0.0.0.0"));
    PlayerWave1->WaveName = Settings.DialSnd;
    if (Settings.DialAlarm)
        PlayerWave1->Play();
    BitBtn2->setEnabled(false);
    BitBtn2->hide();
}

void TForm1::DialUp1AsyncEvent(int /*state*/, int error, const QString& messageText)
{
    Label1b->setText(messageText);
    // A dial that fails on its way reports it here, not as a failed dial: the window goes back
    // to rest as for one, so that the user can dial again, and the reason ("The line is busy.")
    // stays in the status until the next dial or connection.
    if (error != 0) {
        SetFontColor(Label1b, clBlack);
        ReturnToRestAfterDial();
        NoticeDialFailed(messageText);
    }
}

void TForm1::DialUp1Error()
{
    Label1b->setText(QStringLiteral("      Connection Error ..."));
    NoticeDialFailed(QStringLiteral("Connection error. Reset modem and retry."));
    Inform(QStringLiteral("Connection error. Reset modem and retry."));
    SetFontColor(Label1b, clBlack);
    Label1b->setText(QStringLiteral("      Not connected"));
    Label2b->setText(QStringLiteral("0.0.0.0"));
    // The dial never started: the Dial button comes back.
    BitBtn2->show();
    BitBtn2->setEnabled(true);
    BitBtn1->hide();
    BitBtn1->setEnabled(false);
    DialStarted = false;
}

void TForm1::DialUp1NotConnected()
{
    SetFontColor(Label1b, clBlack);
    Label1b->setText(QStringLiteral("      Not connected"));
    ReturnToRestAfterDial();
}

void TForm1::ReturnToRestAfterDial()
{
    Label2b->setText(QStringLiteral("0.0.0.0"));
    PlaySound(Settings.DisconnectSnd);
    RxTrayIcon1->SetAnimated(false);
    BitBtn2->show();
    BitBtn2->setEnabled(true);
    BitBtn1->hide();
    BitBtn1->setEnabled(false);
    DialStarted = false;
}

void TForm1::BitBtn2Click()
{
    // With no entry there is nothing to dial.
    if (DialStarted || ComboBox1->currentIndex() < 0)
        return;
    // Past the limit, with the line to be hung up there, a dial is the user's choice again.
    const TPlanStatus plan = PlanNow();
    const bool pastLimit = Plan.HangUpAtLimit && (!plan.WithinLimit() || PastDailyCap(plan));
    if (pastLimit &&
        !Confirm(plan.WithinLimit() ? QStringLiteral("Today's cap of your plan has been passed. Dial anyway?")
                                    : QStringLiteral("The download limit of this billing period has been passed. "
                                                     "Dial anyway?")))
        return;
    DialPastLimit = pastLimit; // the line it brings up is the user's to keep
    DialUp1->Entry = ComboBox1->currentText();
    DialUp1->EntryBytes = ComboBox1->currentData().toByteArray();
    // A dial that could not start has already put the window back to rest.
    if (DialUp1->Dial() != 0)
        return;
    BitBtn1->setEnabled(true);
    BitBtn1->show();
    BitBtn2->setEnabled(false);
    BitBtn2->hide();
    DialStarted = true;
}

void TForm1::BitBtn1Click()
{
    BitBtn2->show();
    BitBtn2->setEnabled(true);
    BitBtn1->hide();
    BitBtn1->setEnabled(false);
    HangUpRequested = true;
    HangUpRefusal = 0;
    SetFontColor(Label1b, clLime);
    Label1b->setText(QStringLiteral("      Disconnecting..."));
    DialStarted = false;
    DialUp1->GetConnections();
    HangUpRequested = false;
    if (HangUpRefusal != 0) {
        ShowRefusedHangUp();
        return;
    }
    Label2b->setText(QStringLiteral("0.0.0.0"));
    Label3b->setText(QStringLiteral("00:00:00"));
    Label4b->setText(QStringLiteral("0"));
    Label5b->setText(QStringLiteral("0"));
    Label6b->setText(QStringLiteral("0"));
    SetFontColor(Label1b, clBlack);
    Label1b->setText(QStringLiteral("      Not connected"));
    Label7b->setText(QStringLiteral("      None active"));
}

void TForm1::ShowRefusedHangUp()
{
    // The line is still up (another user's pppd, or one that cannot be found): the window goes
    // on showing it, and the detector reports its end whenever it comes.
    if (IsOnline()) {
        SetFontColor(Label1b, clRed);
        Label1b->setText(QStringLiteral("      Connected"));
        BitBtn1->show();
        BitBtn1->setEnabled(true);
        BitBtn2->setEnabled(false);
        BitBtn2->hide();
    } else {
        SetFontColor(Label1b, clBlack);
        Label1b->setText(QStringLiteral("      Not connected"));
    }
    const QString reason = RasStats != nullptr ? RasStats->ErrorText(HangUpRefusal) : QString::number(HangUpRefusal);
    Inform(QStringLiteral("Hang up failed: ") + reason);
}

} // namespace pulo

// pulopro-demo: PuloPro on the simulated platform, with a line simulator to bring dial-up
// lines up and down without a modem. It keeps pulopro-demo.ini and pulopro-demo.log beside
// itself.

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ExitRequests.h"
#include "app/Unit1.h"
#include "common/BuildInfo.h"
#include "demo/DemoHistory.h"
#include "demo/LineSimulator.h"
#include "demo/Screenshots.h"
#include "desktop/SingleInstance.h"
#include "platform/HtmlHelp.h"
#include "platform/posix/ExitSignals.h"
#include "platform/posix/PosixSound.h"
#include "platform/posix/StandardStreams.h"
#include "platform/sim/SimBackend.h"
#include "settings/FileLocations.h"
#include "settings/LogFile.h"
#include "settings/Settings.h"
#include "widgets/HelpViewer.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    const bool outputClosed = win::posix::ReserveStandardStreams();
    // The same command line as the program's, on the demo's own files, without a display.
    if (pulo::WantsCommandLine(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("pulopro-demo"));
        QCoreApplication::setApplicationVersion(QString::fromLatin1(pulo::ProgramVersion));
        auto sim = win::sim::InstallSimBackend();
        sim->RealClock = true;
        sim->ModulePath = QCoreApplication::applicationFilePath().toStdString();
        return pulo::RunCommandLine(QCoreApplication::arguments(), outputClosed);
    }
    QApplication application(argc, argv);
    auto sim = win::sim::InstallSimBackend();
    sim->RealClock = true;
    sim->ModulePath = QCoreApplication::applicationFilePath().toStdString();
    win::InstalledBackend().Sound = win::posix::MakePosixSound();
    // Dials that take their time, so that their progress can be watched, and one that fails.
    sim->Phonebook = {"My ISP", "Backup ISP", "Busy ISP"};
    win::sim::SimDialScript slow;
    slow.PauseMs = 400;
    sim->DialScripts["My ISP"] = slow;
    slow.Address = "10.64.0.7";
    sim->DialScripts["Backup ISP"] = slow;
    win::sim::SimDialScript busy;
    busy.States = {win::RASCS_OpenPort, win::RASCS_PortOpened, win::RASCS_ConnectDevice};
    busy.PauseMs = 400;
    busy.Error = 676; // the line is busy
    sim->DialScripts["Busy ISP"] = busy;
    pulo::InitApplication(application);

    pulo::ChooseFileLocation();
    // A second start only brings the running copy's window up.
    pulo::TSingleInstance single(pulo::SettingsPath());
    if (!single.Claim())
        return 0;
    win::InstalledBackend().Help = pulo::MakeViewerHelpService();
    win::RegisterHelpModule(win::InstalledBackend().Modules);
    // The demo's first start makes up a few months of connections, ended as real ones are: a start
    // with no log and no connection in the history (which a provider's figure given before it may
    // have made).
    if (!QFileInfo::exists(pulo::LogPath()) &&
        !pulo::HistoryHoldsConnections(pulo::ProgramFilePath(QStringLiteral(".sqlite"))))
        (void)pulo::MakeDemoPast(*sim, QDateTime::currentDateTime());
    pulo::TExitRequests exits(application, win::posix::ExitSignalDescriptor(), win::posix::DrainExitSignals);
    pulo::TForm1 Form1;
    pulo::ConnectWindow(application, single, exits, Form1);
    Form1.ShowAtStart();
    pulo::LineSimulator simulator(sim, Form1);
    simulator.show();
    pulo::TakeScreenshotsWhenAsked(simulator, Form1);
    return QApplication::exec();
}

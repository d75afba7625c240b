#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/ExitRequests.h"
#include "app/Unit1.h"
#include "common/BuildInfo.h"
#include "desktop/SingleInstance.h"
#include "platform/HtmlHelp.h"
#include "platform/posix/ExitSignals.h"
#include "platform/posix/PosixBackend.h"
#include "platform/posix/StandardStreams.h"
#include "settings/FileLocations.h"
#include "settings/Settings.h"
#include "widgets/HelpViewer.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const bool outputClosed = win::posix::ReserveStandardStreams();
    win::InstallBackend(win::posix::MakePosixBackend());
    // The command line needs no display and starts no window.
    if (pulo::WantsCommandLine(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("pulopro"));
        QCoreApplication::setApplicationVersion(QString::fromLatin1(pulo::ProgramVersion));
        return pulo::RunCommandLine(QCoreApplication::arguments(), outputClosed);
    }
    QApplication application(argc, argv);
    pulo::InitApplication(application);

    pulo::ChooseFileLocation();
    // A second start only brings the running copy's window up.
    pulo::TSingleInstance single(pulo::SettingsPath());
    if (!single.Claim())
        return 0;
    win::InstalledBackend().Help = pulo::MakeViewerHelpService();
    win::RegisterHelpModule(win::InstalledBackend().Modules);
    pulo::TExitRequests exits(application, win::posix::ExitSignalDescriptor(), win::posix::DrainExitSignals);
    pulo::TForm1 Form1;
    pulo::ConnectWindow(application, single, exits, Form1);
    Form1.ShowAtStart();
    return QApplication::exec();
}

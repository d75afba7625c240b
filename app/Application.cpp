#include "app/Application.h"

#include "common/ErrorBoundary.h"
#include "common/FormatSettings.h"

#include <QApplication>
#include <QMessageBox>

namespace pulo {

void InitApplication(QApplication& application)
{
    application.setApplicationName(ApplicationTitle);
    application.setProperty("HelpFile", ApplicationHelpFile);
    // Only File > Exit ends the program; a closed or hidden window never does.
    application.setQuitOnLastWindowClosed(false);
    LoadSystemFormat();
    SetErrorReporter([](const QString& message) { QMessageBox::critical(nullptr, ApplicationTitle, message); });
}

} // namespace pulo

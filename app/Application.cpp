#include "app/Application.h"

#include "app/ExitRequests.h"
#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "common/FormatSettings.h"
#include "common/PuloError.h"
#include "desktop/SingleInstance.h"
#include "widgets/StandardIconStyle.h"

#include <QApplication>
#include <QJsonDocument>
#include <QMessageBox>

namespace pulo {

void InitApplication(QApplication& application)
{
    application.setApplicationName(ApplicationTitle);
    application.setProperty("HelpFile", ApplicationHelpFile);
    // Only File > Exit ends the program; a closed or hidden window never does.
    application.setQuitOnLastWindowClosed(false);
    // The style the user chose (-style, QT_STYLE_OVERRIDE, the desktop's theme) stays the one that
    // draws: the program's style wraps it and adds only where its pictures are read from.
    QApplication::setStyle(new TStandardIconStyle(QApplication::style()));
    LoadSystemFormat();
    SetErrorReporter([](const QString& message) { QMessageBox::critical(nullptr, ApplicationTitle, message); });
}

void ConnectWindow(QApplication& application, TSingleInstance& single, TExitRequests& exits, TForm1& form)
{
    single.OnRaise = [&form] { form.RaiseForSecondStart(); };
    single.OnStatus = [&form] { return QJsonDocument(ReportJson(form.LiveReport())).toJson(QJsonDocument::Compact); };
    single.OnSetUsed = [&form](std::int64_t bytes, const QDateTime& at) {
        form.SetProviderFigure(bytes, at);
        return QJsonDocument(ReportJson(form.LiveReport())).toJson(QJsonDocument::Compact);
    };
    single.OnPrograms = [&form] { return form.WriteProgramsNow().toUtf8(); };
    single.OnAddPack = [&form](std::int64_t bytes, const QDate& until) {
        form.AddPack(bytes, until.isValid() ? std::optional<QDate>(until) : std::nullopt);
        return QJsonDocument(ReportJson(form.LiveReport())).toJson(QJsonDocument::Compact);
    };
    single.OnDataSaver = [&form](int mode) {
        // A settings file that cannot be written leaves the mode as it was: the status says so.
        try {
            form.SetDataSaverMode(static_cast<TDataSaverMode>(mode));
        } catch (const PuloError&) {
        }
        return QJsonDocument(ReportJson(form.LiveReport())).toJson(QJsonDocument::Compact);
    };
    QObject::connect(&form, &TForm1::Exited, &application, &QApplication::quit, Qt::QueuedConnection);
    exits.Attach(form);
}

} // namespace pulo

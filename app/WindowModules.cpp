#include "app/WindowModules.h"

#include <QDir>
#include <QLibrary>

namespace pulo {

namespace {

// A module's entry, looked up in the first folder that has a module that loads and has it; a
// module stays loaded for the program's life. Null, with the problem for the user, when none does.
QFunctionPointer
Entry(const QString& module, const char* entry, const QString& window, const QStringList& folders, QString& problem)
{
    QStringList tried;
    for (const QString& folder : folders) {
        QLibrary library(QDir(folder).filePath(module));
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!library.load()) {
            tried << library.errorString();
            continue;
        }
        if (const QFunctionPointer found = library.resolve(entry))
            return found;
        tried << library.errorString();
        library.unload();
    }
    problem = QStringLiteral("The %1 cannot be opened: its module %2 was not found or could not be loaded from "
                             "%3.\n\n%4")
                  .arg(window, module, folders.join(QStringLiteral(" or ")), tried.join(QLatin1Char('\n')));
    return nullptr;
}

} // namespace

QStringList ModuleFolders(const QString& programFolder)
{
    return {programFolder, QDir::cleanPath(programFolder + QStringLiteral("/../lib/pulopro"))};
}

TUsageWindowLoad MakeUsageWindow(const TUsageHost& host, const QStringList& folders)
{
    static TMakeUsageWindow make = nullptr;
    TUsageWindowLoad load;
    if (!make)
        make = reinterpret_cast<TMakeUsageWindow>(Entry(QStringLiteral("pulopro-usage"), MakeUsageWindowEntry,
                                                        QStringLiteral("Usage window"), folders, load.Problem));
    if (make)
        load.Window.reset(make(host));
    return load;
}

TLogViewerLoad MakeLogViewer(const QStringList& folders)
{
    static TMakeLogViewer make = nullptr;
    TLogViewerLoad load;
    if (!make)
        make = reinterpret_cast<TMakeLogViewer>(Entry(QStringLiteral("pulopro-log"), MakeLogViewerEntry,
                                                      QStringLiteral("log viewer"), folders, load.Problem));
    if (make)
        load.Window.reset(make());
    return load;
}

} // namespace pulo

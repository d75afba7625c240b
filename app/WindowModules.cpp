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

namespace {

// The window of a module, its entry looked up at the first call that finds it (make).
template <typename TWindow, typename TMake, typename... TArguments>
TWindowLoad<TWindow> Make(TMake& make,
                          const char* module,
                          const char* entry,
                          const char* window,
                          const QStringList& folders,
                          const TArguments&... arguments)
{
    TWindowLoad<TWindow> load;
    if (!make)
        make = reinterpret_cast<TMake>(
            Entry(QString::fromLatin1(module), entry, QString::fromLatin1(window), folders, load.Problem));
    if (make)
        load.Window.reset(make(arguments...));
    return load;
}

} // namespace

TUsageWindowLoad MakeUsageWindow(const TUsageHost& host, const QStringList& folders)
{
    static TMakeUsageWindow make = nullptr;
    return Make<TUsageWindow>(make, "pulopro-usage", MakeUsageWindowEntry, "Usage window", folders, host);
}

TLogViewerLoad MakeLogViewer(const QStringList& folders)
{
    static TMakeLogViewer make = nullptr;
    return Make<TLogViewer>(make, "pulopro-log", MakeLogViewerEntry, "log viewer", folders);
}

} // namespace pulo

#include "app/UsageWindowLoader.h"

#include <QDir>
#include <QLibrary>

namespace pulo {

namespace {

const QString ModuleName = QStringLiteral("pulopro-usage");

// The entry of the module loaded first; a module stays loaded for the program's life.
TMakeUsageWindow Entry = nullptr;

} // namespace

QStringList UsageWindowFolders(const QString& programFolder)
{
    return {programFolder, QDir::cleanPath(programFolder + QStringLiteral("/../lib/pulopro"))};
}

TUsageWindowLoad MakeUsageWindow(const TUsageHost& host, const QStringList& folders)
{
    TUsageWindowLoad load;
    QStringList tried;
    for (const QString& folder : folders) {
        if (Entry)
            break;
        QLibrary module(QDir(folder).filePath(ModuleName));
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!module.load()) {
            tried << module.errorString();
            continue;
        }
        Entry = reinterpret_cast<TMakeUsageWindow>(module.resolve(MakeUsageWindowEntry));
        if (!Entry) {
            tried << module.errorString();
            module.unload();
        }
    }
    if (Entry)
        load.Window.reset(Entry(host));
    else
        load.Problem = QStringLiteral("The Usage window cannot be opened: its module %1 was not found or could not be "
                                      "loaded from %2.\n\n%3")
                           .arg(ModuleName, folders.join(QStringLiteral(" or ")), tried.join(QLatin1Char('\n')));
    return load;
}

} // namespace pulo

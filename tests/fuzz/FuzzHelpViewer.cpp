// libFuzzer: the help viewer opens whatever file is in the help file's place; it never crashes
// or hangs, whatever the file holds. Here it finds no help checker beside the program, so any file
// but the build's own is refused before the help library sees it. (The help library itself does
// hang on some files: that is why the checker reads them in a process of its own, with a time
// limit, and why it is not fuzzed in-process here.)

#include "platform/sim/SimBackend.h"
#include "widgets/HelpViewer.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir* Folder = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication application(*argc, *argv);
    Folder = new QTemporaryDir;
    auto sim = win::sim::InstallSimBackend();
    sim->ModulePath = Folder->filePath(QStringLiteral("pulopro")).toStdString();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = Folder->filePath(QStringLiteral("PuloHelp.chm"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    pulo::THelpViewer viewer;
    if (viewer.OpenFile(path))
        viewer.ShowPage(viewer.DefaultPage());
    return 0;
}

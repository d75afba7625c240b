#pragma once

// The windows that live in modules of their own (the Usage window with its charts, the log viewer
// with its printing), found beside the program or in the library folder of an install
// (../lib/pulopro), each loaded once and made at its first opening.

#include "settings/LogViewer.h"
#include "usage/window/UsageWindow.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace pulo {

template <typename TWindow> struct TWindowLoad final
{
    std::unique_ptr<TWindow> Window;
    QString Problem; // why there is no window, for the user: where it was looked for, and why not
};
using TUsageWindowLoad = TWindowLoad<TUsageWindow>;
using TLogViewerLoad = TWindowLoad<TLogViewer>;

// The folders the modules are looked for in, in order, for the program in programFolder.
[[nodiscard]] QStringList ModuleFolders(const QString& programFolder);
[[nodiscard]] TUsageWindowLoad MakeUsageWindow(const TUsageHost& host, const QStringList& folders);
[[nodiscard]] TLogViewerLoad MakeLogViewer(const QStringList& folders);

} // namespace pulo

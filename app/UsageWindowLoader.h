#pragma once

// Finds the Usage window's module beside the program or in the library folder of an install
// (../lib/pulopro), loads it once and makes the window.

#include "usage/window/UsageWindow.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace pulo {

struct TUsageWindowLoad final
{
    std::unique_ptr<TUsageWindow> Window;
    QString Problem; // why there is no window, for the user: where it was looked for, and why not
};

// The folders the module is looked for in, in order, for the program in programFolder.
[[nodiscard]] QStringList UsageWindowFolders(const QString& programFolder);
[[nodiscard]] TUsageWindowLoad MakeUsageWindow(const TUsageHost& host, const QStringList& folders);

} // namespace pulo

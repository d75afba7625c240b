#pragma once

// An icon with its image scaled once, at start, to each size a notification area or a title bar
// asks for: showing a frame of the tray animation then never scales anything.

#include <QIcon>
#include <QString>

namespace pulo {

[[nodiscard]] QIcon PrescaledIcon(const QString& resource);

} // namespace pulo

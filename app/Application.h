#pragma once

#include <QString>

class QApplication;

namespace pulo {

inline const QString ApplicationTitle = QStringLiteral("PuloPro");
inline const QString ApplicationHelpFile = QStringLiteral("PuloHelp.chm");

// Names the application, takes the user's number format and routes raised errors to a message
// box titled with the application's title.
void InitApplication(QApplication& application);

} // namespace pulo

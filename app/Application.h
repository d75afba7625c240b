#pragma once

#include <QString>

class QApplication;

namespace pulo {

class TExitRequests;
class TForm1;
class TSingleInstance;

inline const QString ApplicationTitle = QStringLiteral("PuloPro");
inline const QString ApplicationHelpFile = QStringLiteral("PuloHelp.chm");

// Names the application, takes the user's number format and routes raised errors to a message
// box titled with the application's title.
void InitApplication(QApplication& application);

// Ties the window to the rest of the program: a second start raises it, the command line asks it
// for the live status, its exit ends the application, and exit requests reach it.
void ConnectWindow(QApplication& application, TSingleInstance& single, TExitRequests& exits, TForm1& form);

} // namespace pulo

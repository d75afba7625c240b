#pragma once

// Ways the program is asked to end besides File > Exit: the desktop session ending and the
// termination signals (their descriptor from the platform). Each ends the program as File >
// Exit does: a connection in progress is counted and stored, the window's place is saved.

#include <functional>

class QApplication;

namespace pulo {

class TForm1;

// signalDescriptor: readable when a termination signal arrived (-1 for none); drain empties it.
void EndLikeExit(QApplication& application, TForm1& form, int signalDescriptor, std::function<void(int)> drain);

} // namespace pulo

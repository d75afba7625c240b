#pragma once

// Ways the program is asked to end besides File > Exit: the desktop session ending and the
// termination signals (their descriptor from the platform). Each ends the program as File >
// Exit does: a connection in progress is counted and stored, the window's place is saved. Nobody
// is there to answer a message box then (systemctl stop, a logout), so from that moment what
// cannot be written is said on standard error and as a notice, never in a box that waits; a
// request that comes while the window is still being made closes the box that start-up shows and
// ends the program as soon as the window exists.

#include <QObject>

#include <functional>

class QApplication;

namespace pulo {

class TForm1;

class TExitRequests final : public QObject
{
public:
    // signalDescriptor: readable when a termination signal arrived (-1 for none); drain empties it.
    TExitRequests(QApplication& application, int signalDescriptor, std::function<void(int)> drain);

    // From now on a request ends the program through the window; one that came before does now.
    void Attach(TForm1& form);

private:
    void Request();

    TForm1* Form = nullptr;
    bool Requested = false;
};

} // namespace pulo

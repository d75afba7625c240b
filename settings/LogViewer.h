#pragma once

// What the program knows of the log viewer. The viewer itself (and Qt Print Support, which it
// prints with) lives in a module of its own that the program loads the first time the log is
// viewed, so that a program that never prints its log never maps the printing libraries.

#include <QWidget>

#include <functional>

namespace pulo {

class TLogViewer : public QWidget
{
public:
    using QWidget::QWidget;

    // Opening from the main window's menu: the file created when missing, loaded, the viewer shown.
    virtual void Open() = 0;
    // The log has been written: the viewer shows it again at its next activation.
    virtual void LogWritten() = 0;

    // Run once the viewer is closed: the main window clears its pending start-hidden flag and
    // shows itself.
    std::function<void()> OnClose;
};

// The module's one entry: makes the viewer (owned by the caller).
using TMakeLogViewer = TLogViewer* (*)();
inline constexpr char MakeLogViewerEntry[] = "PuloMakeLogViewer";

} // namespace pulo

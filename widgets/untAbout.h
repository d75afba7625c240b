#pragma once

// TfrmAbout: the borderless navy About box with the program's scrolling credits and two links
// (the project's web page and e-mail address). A click anywhere but on a link closes it.

#include <QWidget>

#include <functional>

class QFrame;

namespace pulo {

class TLegacy;
class TScrollingCredits;

class TfrmAbout final : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    // Shows the box centred on the screen with its credits running.
    void ShowAbout();
    void Panel1Click();

    // Run once the box is closed: the main window shows itself again.
    std::function<void()> OnClose;

    QFrame* Panel1 = nullptr;
    TLegacy* URL1 = nullptr;
    TScrollingCredits* Credits = nullptr;
    TLegacy* URL2 = nullptr;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace pulo

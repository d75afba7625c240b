#pragma once

// TfrmAbout: the borderless navy About box with the program's scrolling credits and two links
// (the project's web page and e-mail address). A click anywhere but on a link closes it.

#include <QString>
#include <QWidget>

#include <functional>

class QFrame;

namespace pulo {

class TLegacy;
class TScrollingCredits;

// The web link of the box: the build's web page, else this copy's README as a file: address.
struct TAboutLink final
{
    QString Caption;
    QString Address;
};
[[nodiscard]] TAboutLink WebLink();
// The build's mail address; empty when it was given none.
[[nodiscard]] QString MailAddress();

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
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace pulo

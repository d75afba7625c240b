#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "platform/Backend.h"
#include "platform/HtmlHelp.h"
#include "tests/support/SimPlatformTest.h"
#include "widgets/HelpRouter.h"
#include "widgets/HelpViewer.h"
#include "widgets/Legacy.h"
#include "widgets/ScrollingCredits.h"
#include "widgets/untAbout.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QMouseEvent>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

namespace pulo {
namespace {

using HelpTest = test::SimPlatformTest;

TEST_F(HelpTest, TheRouterSendsEachRequestWhereItsSettingsSay)
{
    qApp->setProperty("HelpFile", QStringLiteral("PuloHelp.chm"));
    const struct
    {
        const char* Name;
        THelpType Type;
        bool ViewerLibrary;
        bool ViewerShows;
        std::function<bool(THTMLhelpRouter&)> Request;
        std::vector<std::string> Calls;
        bool Success;
    } cases[] = {
        {"contents",
         THelpType::htHTMLhelp,
         true,
         true,
         [](THTMLhelpRouter&) { return ApplicationHelpCommand(11, 0); },
         {"html 1 PuloHelp.chm 0"},
         true},
        {"contents, viewer fails, never WinHelp",
         THelpType::htHTMLhelp,
         true,
         false,
         [](THTMLhelpRouter&) { return ApplicationHelpCommand(11, 0); },
         {"html 1 PuloHelp.chm 0"},
         false},
        {"a topic gets .htm",
         THelpType::htHTMLhelp,
         true,
         true,
         [](THTMLhelpRouter& r) { return r.ShowTopic(QString(), QStringLiteral("cfgGen")); },
         {"html 0 PuloHelp.chm::/cfgGen.htm 0"},
         true},
        {"an .html topic stays",
         THelpType::htHTMLhelp,
         true,
         true,
         [](THTMLhelpRouter& r) { return r.ShowTopic(QStringLiteral("Other.hlp"), QStringLiteral("index.html")); },
         {"html 0 Other.chm::/index.html 0"},
         true},
        {"no viewer library: WinHelp",
         THelpType::htAuto,
         false,
         true,
         [](THTMLhelpRouter&) { return ApplicationHelpCommand(3, 0); },
         {"winhelp 3 PuloHelp.hlp 0"},
         false},
        {"quit closes all",
         THelpType::htHTMLhelp,
         true,
         true,
         [](THTMLhelpRouter&) { return ApplicationHelpCommand(2, 0); },
         {"html 18  0"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim->HelpCalls.clear();
        Sim->HelpViewerPresent = c.ViewerShows;
        if (c.ViewerLibrary)
            win::RegisterHelpModule(win::InstalledBackend().Modules);
        else
            win::InstalledBackend().Modules.Unregister("HHCTRL.OCX");
        THTMLhelpRouter router;
        router.SetHelpType(c.Type);
        router.Helpfile = QStringLiteral("PuloHelp.chm");
        EXPECT_EQ(c.Request(router), c.Success);
        EXPECT_EQ(Sim->HelpCalls, c.Calls);
    }
}

TEST_F(HelpTest, OneRouterAHandlerThatTakesTheRequestAndTheVersion)
{
    THTMLhelpRouter router;
    EXPECT_THROW(THTMLhelpRouter second, PuloError);
    EXPECT_EQ(router.Version(), QStringLiteral("2.02"));
    router.SetVersion(QStringLiteral("9"));
    EXPECT_EQ(router.Version(), QStringLiteral("2.02"));
    router.OnHelp = [](std::uint16_t, std::int32_t, bool& callHelp) {
        callHelp = false;
        return true;
    };
    EXPECT_TRUE(ApplicationHelpCommand(11, 0));
    EXPECT_TRUE(Sim->HelpCalls.empty());
}

TEST(HelpViewerTest, TheCompiledHelpShowsItsContentsAndPages)
{
    THelpViewer viewer;
    EXPECT_FALSE(viewer.OpenFile(QStringLiteral("/nonexistent/PuloHelp.chm")));
    ASSERT_TRUE(viewer.OpenFile(QStringLiteral(PULO_HELP_FILE)));
    ASSERT_EQ(viewer.Contents->topLevelItemCount(), 1);
    const QTreeWidgetItem* top = viewer.Contents->topLevelItem(0);
    EXPECT_EQ(top->text(0), QStringLiteral("PuloPro"));
    EXPECT_GE(top->childCount(), 6);
    EXPECT_EQ(viewer.DefaultPage(), QStringLiteral("index.htm"));
    EXPECT_EQ(viewer.KeywordPage(QStringLiteral("mute")), QStringLiteral("alarms.htm"));
    ASSERT_TRUE(viewer.ShowPage(QStringLiteral("cfgGen.htm")));
    EXPECT_TRUE(viewer.Page->toPlainText().contains(QStringLiteral("Startup hidden")));
    EXPECT_FALSE(viewer.ShowPage(QStringLiteral("nosuch.htm")));
    // Escape leaves it.
    viewer.show();
    QTest::keyClick(&viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer.isVisible());
}

TEST_F(HelpTest, ADamagedHelpFileIsRefusedWithAMessageAndASoundOneOfOtherMakingOpens)
{
    QFile own(QStringLiteral(PULO_HELP_FILE));
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    const QByteArray good = own.readAll();
    // A byte changed in its headers or its content, a cut.
    QByteArray flipped = good;
    flipped[33] = static_cast<char>(flipped[33] ^ 0x40);
    QByteArray late = good;
    late[late.size() - 100] = static_cast<char>(late[late.size() - 100] ^ 1);
    // Another build's help (a translation, a newer one): sound, but not byte for byte this build's.
    const QByteArray other = good + QByteArray(512, '\0');
    const struct
    {
        const char* Name;
        QByteArray Bytes;
        bool Sound;
    } cases[] = {{"cut short", good.left(good.size() / 2), false},
                 {"empty", QByteArray(), false},
                 // Not this build's, but the help library reads all of it: it is shown.
                 {"a byte changed in the header", flipped, true},
                 {"a byte changed in the content", late, true},
                 {"another build's help", other, true}};
    // The help checker beside the program, as the build and an install place it.
    ASSERT_TRUE(QFile::copy(QStringLiteral(PULO_HELP_CHECK), Folder->filePath(QStringLiteral("pulopro-helpcheck"))));
    win::InstalledBackend().Help = MakeViewerHelpService();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString path = Folder->filePath(QStringLiteral("PuloHelp.chm"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.Bytes);
        file.close();
        THelpViewer viewer;
        EXPECT_EQ(viewer.OpenFile(path), c.Sound);
        EXPECT_EQ(viewer.FileDamaged(), !c.Sound);
        if (c.Sound) {
            EXPECT_TRUE(viewer.ShowPage(QStringLiteral("cfgGen.htm")));
            continue;
        }

        QStringList messages;
        SetErrorReporter([&](const QString& message) { messages << message; });
        EXPECT_EQ(win::HtmlHelpA(0, QFile::encodeName(path).constData(), win::HH_DISPLAY_TOC, 0), 0U);
        SetErrorReporter(nullptr);
        EXPECT_EQ(messages, QStringList{"The help file is damaged: " + path});
    }
}

TEST_F(HelpTest, WithoutTheHelpCheckerAHelpFileOfOtherMakingIsNotCalledDamaged)
{
    QFile own(QStringLiteral(PULO_HELP_FILE));
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    const QString path = Folder->filePath(QStringLiteral("PuloHelp.chm"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(own.readAll() + QByteArray(512, '\0')); // another build's help, sound
    file.close();
    win::InstalledBackend().Help = MakeViewerHelpService();
    QStringList messages;
    SetErrorReporter([&](const QString& message) { messages << message; });
    EXPECT_EQ(win::HtmlHelpA(0, QFile::encodeName(path).constData(), win::HH_DISPLAY_TOC, 0), 0U);
    SetErrorReporter(nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(messages[0].contains(QStringLiteral("damaged"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("help checker"))) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(Folder->filePath(QStringLiteral("pulopro-helpcheck"))))
        << "where it was looked for: " << messages[0].toStdString();
}

TEST_F(HelpTest, TheCheckerIsAwaitedOffTheWindowsThreadAndItsVerdictRemembered)
{
    QFile own(QStringLiteral(PULO_HELP_FILE));
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    const QByteArray good = own.readAll();
    // A checker that answers only when the test lets it (as the real one, or refusing), counting
    // its runs.
    const QString checker = Folder->filePath(QStringLiteral("pulopro-helpcheck"));
    const QString runs = Folder->filePath(QStringLiteral("runs"));
    const QString go = Folder->filePath(QStringLiteral("go"));
    const auto runCount = [&] {
        QFile file(runs);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    };
    const auto helpViewer = []() -> QWidget* {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QStringLiteral("HelpViewer") && window->isVisible())
                return window;
        return nullptr;
    };
    const struct
    {
        const char* Name;
        const char* Answer;
        bool Sound;
    } cases[] = {{"a sound help file of other making", "exec " PULO_HELP_CHECK " \"$@\"", true},
                 {"a help file the checker refuses", "exit 1", false}};
    int file = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile script(checker);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(QByteArray("#!/bin/sh\necho run >>'") + runs.toLocal8Bit() + "'\nwhile [ ! -e '" +
                     go.toLocal8Bit() + "' ]; do sleep 0.02; done\n" + c.Answer + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(runs);
        QFile::remove(go);
        const QString path = Folder->filePath(QStringLiteral("Help%1.chm").arg(++file));
        QFile help(path);
        ASSERT_TRUE(help.open(QIODevice::WriteOnly));
        help.write(good + QByteArray(512, '\0'));
        help.close();
        win::InstalledBackend().Help = MakeViewerHelpService();
        QStringList messages;
        SetErrorReporter([&](const QString& message) { messages << message; });
        // F1 twice: neither waits for the checker, which runs once.
        for (int press = 0; press < 2; ++press) {
            QElapsedTimer waited;
            waited.start();
            EXPECT_EQ(win::HtmlHelpA(0, QFile::encodeName(path).constData(), win::HH_DISPLAY_TOC, 0), 1U);
            EXPECT_LT(waited.elapsed(), 1000) << "the window's thread does not wait for the checker";
        }
        EXPECT_EQ(helpViewer(), nullptr) << "nothing shown before the checker answers";
        QFile(go).open(QIODevice::WriteOnly); // the checker answers now
        EXPECT_TRUE(QTest::qWaitFor([&] { return helpViewer() != nullptr || !messages.isEmpty(); }, 15000));
        EXPECT_EQ(helpViewer() != nullptr, c.Sound);
        EXPECT_EQ(messages, c.Sound ? QStringList() : QStringList{"The help file is damaged: " + path});
        // Asked again, the answer is at once, and the checker is not run again.
        (void)win::HtmlHelpA(0, nullptr, win::HH_CLOSE_ALL, 0);
        messages.clear();
        EXPECT_EQ(win::HtmlHelpA(0, QFile::encodeName(path).constData(), win::HH_DISPLAY_TOC, 0), c.Sound ? 1U : 0U);
        EXPECT_EQ(helpViewer() != nullptr, c.Sound);
        EXPECT_EQ(messages.size(), c.Sound ? 0 : 1);
        EXPECT_EQ(runCount(), 1);
        SetErrorReporter(nullptr);
        win::InstalledBackend().Help.reset();
    }
}

TEST_F(HelpTest, TheAboutBoxScrollsItsCreditsAndItsLinksOpen)
{
    TfrmAbout about;
    bool closed = false;
    about.OnClose = [&] { closed = true; };
    about.ShowAbout();
    EXPECT_TRUE(about.Credits->Active());
    const int line = about.Credits->LineHeight();
    const int end = static_cast<int>(about.Credits->Lines.size() - 1) * line;
    for (int i = 0; i < end; ++i)
        about.Credits->Step();
    EXPECT_EQ(about.Credits->Offset(), end);
    about.Credits->Step();
    EXPECT_EQ(about.Credits->Offset(), 0) << "the credits run without end";

    TLegacy* mail = about.URL2;
    const QColor aqua = mail->FontColor();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(mail, &enter);
    EXPECT_TRUE(mail->font().underline());
    EXPECT_EQ(mail->FontColor(), QColor(Qt::yellow));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(mail, &leave);
    EXPECT_FALSE(mail->font().underline());
    EXPECT_EQ(mail->FontColor(), aqua);

    // A build without a web page links to the README that came with the program; without a
    // mail address there is no mail link. Captions are never cut.
    EXPECT_TRUE(about.URL1->Adress.startsWith(QStringLiteral("file:///")) &&
                about.URL1->Adress.endsWith(QStringLiteral("/README.md")))
        << about.URL1->Adress.toStdString();
    EXPECT_GE(about.URL1->width(), about.URL1->fontMetrics().horizontalAdvance(about.URL1->text()));
    EXPECT_FALSE(about.URL2->isVisibleTo(&about));
    EXPECT_EQ(about.toolTip(), QStringLiteral("Click to close")) << "clicks, and so hints, reach the box";

    mail->Adress = QStringLiteral("someone@example.org"); // what it opens, not what it shows
    for (TLegacy* link : {about.URL1, mail}) {
        QMouseEvent click(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(link, &click);
    }
    EXPECT_EQ(Sim->Opened, (std::vector<std::string>{about.URL1->Adress.toStdString(), "mailto:someone@example.org"}));
    EXPECT_TRUE(about.isVisible()) << "the links leave the box open";

    QMouseEvent click(QEvent::MouseButtonRelease, QPointF(50, 50), QPointF(50, 50), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(about.Credits, &click);
    EXPECT_FALSE(about.isVisible());
    EXPECT_TRUE(closed);
}

} // namespace
} // namespace pulo

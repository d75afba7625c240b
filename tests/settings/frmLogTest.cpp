#include "settings/frmLog.h"

#include "common/ErrorBoundary.h"
#include "settings/RichText.h"
#include "tests/support/SimPlatformTest.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

namespace pulo {
namespace {

using frmLogTest = test::SimPlatformTest;

TEST_F(frmLogTest, ShowsTheLogAsItIsAtEachActivationAndCopiesTheSelection)
{
    TfrmLog viewer;
    EXPECT_EQ(viewer.windowTitle(), QStringLiteral(" Pulo Connection Log"));
    EXPECT_EQ(viewer.minimumWidth(), 640);
    EXPECT_EQ(viewer.maximumWidth(), 640);
    EXPECT_FALSE(viewer.RichEdit->isVisibleTo(&viewer));
    EXPECT_TRUE(viewer.LogMemo->isReadOnly());
    const QString path = Folder->filePath("pulopro.log");
    EXPECT_FALSE(QFile::exists(path));

    viewer.Open();
    EXPECT_TRUE(QFile::exists(path)) << "created empty when missing";
    EXPECT_EQ(viewer.LogMemo->toPlainText(), QString());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteRichText({"first \u2022 line", "second line"}));
    file.close();
    viewer.FormActivate();
    EXPECT_EQ(viewer.LogMemo->toPlainText(), QStringLiteral("first \u2022 line\nsecond line"));

    QTextCursor cursor = viewer.LogMemo->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(14, QTextCursor::KeepAnchor);
    viewer.LogMemo->setTextCursor(cursor);
    viewer.btnCopySel->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("\u2022 line\ns"));

    bool closed = false;
    viewer.OnClose = [&] { closed = true; };
    viewer.btnClose->click();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(viewer.isVisible());
}

TEST_F(frmLogTest, PrintsTheLogOrTheSelectionWithTheirTitles)
{
    if (QProcess::execute(QStringLiteral("pdftotext"), {QStringLiteral("-v")}) != 0)
        GTEST_SKIP() << "skipped: poppler-utils is not installed";
    QFile file(Folder->filePath("pulopro.log"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteRichText({"20/05/2002 first connection", "21/05/2002 second connection"}));
    file.close();
    TfrmLog viewer;
    viewer.FormActivate();
    const auto printed = [&](QPushButton* button) {
        const QString pdf = Folder->filePath("printed.pdf");
        QFile::remove(pdf);
        viewer.Printer().setOutputFormat(QPrinter::PdfFormat);
        viewer.Printer().setOutputFileName(pdf);
        button->click();
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        text.waitForFinished(10000);
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        info.waitForFinished(10000);
        return std::pair{QString::fromUtf8(text.readAllStandardOutput()),
                         QString::fromUtf8(info.readAllStandardOutput())};
    };
    const auto [all, allInfo] = printed(viewer.btnPrint);
    EXPECT_TRUE(all.contains("first connection") && all.contains("second connection")) << all.toStdString();
    EXPECT_TRUE(allInfo.contains(Folder->filePath("pulopro.log"))) << allInfo.toStdString();

    QTextCursor cursor = viewer.LogMemo->textCursor();
    cursor.movePosition(QTextCursor::NextBlock);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    viewer.LogMemo->setTextCursor(cursor);
    const auto [excerpt, excerptInfo] = printed(viewer.btnPrintSel);
    EXPECT_TRUE(excerpt.contains("second connection"));
    EXPECT_FALSE(excerpt.contains("first connection"));
    EXPECT_TRUE(excerptInfo.contains("Pulo Log - excerpt"));
}

TEST_F(frmLogTest, WithoutAPrinterPrintingSaysWhyAndSetupSetsUp)
{
    TfrmLog viewer;
    viewer.FormActivate();
    if (viewer.Printer().isValid() && !viewer.Printer().printerName().isEmpty())
        GTEST_SKIP() << "skipped: this machine has a printer";
    QStringList messages;
    SetErrorReporter([&](const QString& message) { messages << message; });
    viewer.btnPrint->click();
    viewer.btnPrintSel->click();
    SetErrorReporter(nullptr);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("No printer is installed"))) << messages[0].toStdString();

    QPrintDialog& setup = viewer.PrinterSetupDialog1();
    EXPECT_EQ(setup.windowTitle(), QStringLiteral("Printer Setup"));
    EXPECT_EQ(setup.printer(), &viewer.Printer()) << "the choice is the next print's";
    for (const QPushButton* button : setup.findChildren<QPushButton*>())
        EXPECT_FALSE(button->text().contains(QStringLiteral("Print"))) << button->text().toStdString();
}

} // namespace
} // namespace pulo

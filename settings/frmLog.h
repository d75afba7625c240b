#pragma once

// TfrmLog: the connection log viewer. It shows the log read-only in a monospaced box and prints
// it, prints or copies the selection, and lets the user choose the printer. The log is written by
// the program's TLogWriter, whether or not the viewer has been made.

#include "settings/LogViewer.h"

#include <QPrintDialog>
#include <QPrinter>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace pulo {

class TfrmLog final : public TLogViewer
{
    Q_OBJECT

public:
    explicit TfrmLog(QWidget* parent = nullptr);

    void FormCreate();
    // Each activation shows the file as it is now (created empty when missing).
    void FormActivate();
    void btnCloseClick();
    void btnPrintClick();
    void btnPrintSelClick();
    void btnCopySelClick();
    void btnPrtSetupClick();

    // Opening from the main window's menu: the file created when missing, loaded, the viewer shown.
    void Open() override;
    // The log has been written: the box is emptied and shows it again at its next activation.
    void LogWritten() override;

    QFrame* Bevel1 = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnPrintSel = nullptr;
    QPushButton* btnCopySel = nullptr;
    QPushButton* btnPrtSetup = nullptr;
    QPushButton* btnClose = nullptr;
    QPlainTextEdit* LogMemo = nullptr;
    QPlainTextEdit* RichEdit = nullptr;
    // The printer the next print goes to, as Printer Setup last chose it.
    [[nodiscard]] QPrinter& Printer();
    // The printer setup dialog: it chooses the printer (or a PDF file) for the next print.
    [[nodiscard]] QPrintDialog& PrinterSetupDialog1();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void LoadIntoMemo();
    void Print(QPlainTextEdit* box, const QString& title);

    std::unique_ptr<QPrinter> PrinterSetup;
    std::unique_ptr<QPrintDialog> SetupDialog;
};

} // namespace pulo

#include "settings/frmLog.h"

#include "common/ErrorBoundary.h"
#include "common/PuloError.h"
#include "settings/LogFile.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QScreen>

namespace pulo {

namespace {

QFont BoxFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    return font;
}

} // namespace

TfrmLog::TfrmLog(QWidget* parent) : TLogViewer(parent)
{
    setObjectName(QStringLiteral("frmLog"));
    setWindowTitle(QStringLiteral(" Pulo Connection Log"));
    // No system menu: the "Close Log" button is the way back.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setMinimumSize(640, 100);
    setMaximumSize(640, 768);
    resize(640, 480);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 632, 29);
    const auto button = [this](const char* name, const QString& caption, int left, const QString& hint) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setGeometry(left, 2, 85, 25);
        made->setToolTip(hint);
        return made;
    };
    btnClose = button("btnClose", QStringLiteral("&Close Log"), 541, QStringLiteral("Close this window"));
    btnPrint = button("btnPrint", QStringLiteral("&Print All"), 6, QStringLiteral("Print Log file"));
    LogMemo = new QPlainTextEdit(this);
    btnPrintSel = button("btnPrintSel", QStringLiteral("Print &Selection"), 140, QString());
    btnCopySel = button("btnCopySel", QStringLiteral("C&opy Selection"), 274, QString());
    btnPrtSetup = button("btnPrtSetup", QStringLiteral("Printer Setup"), 407, QString());
    btnClose->setDefault(true);
    setTabOrder(btnClose, btnPrint);
    setTabOrder(btnPrint, LogMemo);
    setTabOrder(LogMemo, btnPrintSel);
    setTabOrder(btnPrintSel, btnCopySel);
    setTabOrder(btnCopySel, btnPrtSetup);

    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPixelSize(11);
    const struct
    {
        const char* Caption;
        int Left;
        int Width;
    } captions[] = {{"Date", 17, 58},     {"Start time", 112, 73},  {"End time", 208, 73},  {"Time", 300, 58},
                    {"KB sent", 376, 81}, {"KB received", 464, 81}, {"Connection", 552, 76}};
    for (const auto& c : captions) {
        auto* label = new QLabel(QString::fromLatin1(c.Caption), this);
        label->setFont(captionFont);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(c.Left, 32, c.Width, 14);
    }

    LogMemo->setObjectName(QStringLiteral("LogMemo"));
    LogMemo->setReadOnly(true);
    LogMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    LogMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogMemo->setFont(BoxFont());
    LogMemo->setGeometry(0, 48, 632, 405);

    RichEdit = new QPlainTextEdit(this);
    RichEdit->setObjectName(QStringLiteral("RichEdit"));
    RichEdit->setFont(BoxFont());
    RichEdit->setGeometry(8, 344, 529, 89);

    connect(btnClose, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnCloseClick(); }); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnPrintClick(); }); });
    connect(btnPrintSel, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnPrintSelClick(); }); });
    connect(btnCopySel, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnCopySelClick(); }); });
    connect(btnPrtSetup, &QPushButton::clicked, this, [this] { RunGuarded([this] { btnPrtSetupClick(); }); });
    FormCreate();
}

void TfrmLog::FormCreate()
{
    RichEdit->hide();
}

void TfrmLog::LoadIntoMemo()
{
    CreateLogIfMissing();
    LogMemo->clear();
    LogMemo->setPlainText(LoadLog().join(QLatin1Char('\n')));
}

void TfrmLog::FormActivate()
{
    LoadIntoMemo();
}

void TfrmLog::Open()
{
    LoadIntoMemo();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TfrmLog::btnCloseClick()
{
    hide();
    if (OnClose)
        OnClose();
}

QPrinter& TfrmLog::Printer()
{
    // Made on first use: the print system (and the printing service's libraries behind it)
    // loads only for a user who prints.
    if (!PrinterSetup)
        PrinterSetup = std::make_unique<QPrinter>();
    return *PrinterSetup;
}

QPrintDialog& TfrmLog::PrinterSetupDialog1()
{
    if (!SetupDialog) {
        SetupDialog = std::make_unique<QPrintDialog>(&Printer(), this);
        SetupDialog->setObjectName(QStringLiteral("PrinterSetupDialog1"));
        SetupDialog->setWindowTitle(QStringLiteral("Printer Setup"));
        SetupDialog->setOption(QAbstractPrintDialog::PrintToFile);
        // The dialog chooses the printer for the next print; it prints nothing itself.
        for (QDialogButtonBox* buttons : SetupDialog->findChildren<QDialogButtonBox*>()) {
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
                ok->setText(QStringLiteral("OK"));
        }
    }
    return *SetupDialog;
}

void TfrmLog::Print(QPlainTextEdit* box, const QString& title)
{
    QPrinter& printer = Printer();
    // Without a printer the print would go nowhere, silently.
    const bool nowhere = printer.outputFormat() == QPrinter::NativeFormat
                             ? !printer.isValid() || printer.printerName().isEmpty()
                             : printer.outputFileName().isEmpty();
    if (nowhere)
        throw PuloError(QStringLiteral("No printer is installed, so the log cannot be printed. Printer Setup can "
                                       "print it to a PDF file instead."));
    printer.setDocName(title);
    box->print(&printer);
}

void TfrmLog::btnPrintClick()
{
    Print(LogMemo, LogPath());
}

void TfrmLog::btnPrintSelClick()
{
    RichEdit->clear();
    RichEdit->setPlainText(LogMemo->textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    Print(RichEdit, QStringLiteral("Pulo Log - excerpt"));
}

void TfrmLog::btnCopySelClick()
{
    LogMemo->copy();
}

void TfrmLog::btnPrtSetupClick()
{
    PrinterSetupDialog1().exec();
}

void TfrmLog::LogWritten()
{
    LogMemo->clear();
}

bool TfrmLog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        RunGuarded([this] { FormActivate(); });
    return QWidget::event(event);
}

void TfrmLog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The box follows the window's height; the width is fixed.
    LogMemo->setGeometry(0, 48, 632, std::max(0, height() - 48 - 27));
}

} // namespace pulo

#include "widgets/untAbout.h"

#include "common/BuildInfo.h"
#include "widgets/Legacy.h"
#include "widgets/ScrollingCredits.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace pulo {

namespace {

const QColor Navy(0x00, 0x00, 0xA0); // 0xA00000 as the program stores colours
const QColor Aqua(0x00, 0xFF, 0xFF);
const QColor Yellow(0xFF, 0xFF, 0x00);

QFont SansFont(bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setBold(bold);
    return font;
}

void Paint(QWidget* widget, const QColor& background, const QColor& text)
{
    QPalette colors = widget->palette();
    colors.setColor(QPalette::Window, background);
    colors.setColor(QPalette::WindowText, text);
    widget->setPalette(colors);
    widget->setAutoFillBackground(true);
}

// The credits' picture: a small globe with the traffic arrows, drawn here.
QImage CreditsPicture()
{
    QImage image(44, 44, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2a, 0x7f, 0xd4));
    painter.setPen(QPen(QColor(0xd9, 0xef, 0xff), 2));
    painter.drawEllipse(QRectF(3, 7, 30, 30));
    painter.drawEllipse(QRectF(12, 7, 12, 30));
    painter.drawLine(QPointF(3, 22), QPointF(33, 22));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x32, 0xe0, 0x32));
    painter.drawPolygon(QPolygonF({{38, 2}, {44, 10}, {32, 10}}));
    painter.setBrush(QColor(0xff, 0xd5, 0x00));
    painter.drawPolygon(QPolygonF({{38, 42}, {44, 34}, {32, 34}}));
    return image;
}

// The width of the box's client area, where the links are centred.
constexpr int BoxWidth = 274;

TLegacy* MakeLink(QWidget* parent,
                  const char* name,
                  const QString& caption,
                  const QString& address,
                  TAdressType type,
                  const char* hint,
                  QRect place)
{
    auto* link = new TLegacy(parent);
    link->setObjectName(QString::fromLatin1(name));
    link->Adress = address;
    link->SetAdressType(type);
    link->setToolTip(QString::fromLatin1(hint));
    link->setCursor(Qt::PointingHandCursor);
    link->setFont(SansFont());
    link->SetFontColor(Aqua);
    link->ActiveColor = 0x00FFFF; // yellow
    // As wide as its caption needs (never clipped), centred in the box.
    const int room = BoxWidth - 6;
    const int width = std::min(room, std::max(place.width(), link->fontMetrics().horizontalAdvance(caption) + 6));
    link->setText(link->fontMetrics().elidedText(caption, Qt::ElideMiddle, width - 4));
    link->setGeometry((BoxWidth - width) / 2, place.y(), width, std::max(place.height(), link->fontMetrics().height()));
    link->setAlignment(Qt::AlignCenter);
    return link;
}

} // namespace

TAboutLink WebLink()
{
    if (const QString homepage = QString::fromUtf8(ProgramHomepage); !homepage.isEmpty())
        return {homepage, homepage};
    // The README that came with this copy: installed beside the program's share folder, or the
    // source folder's when it runs where it was built.
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../") + QString::fromUtf8(InstalledDocFolder) +
                                                    QStringLiteral("/README.md"));
    const QString readme = QFile::exists(installed) || !QFile::exists(QString::fromUtf8(SourceReadme))
                               ? QDir::cleanPath(installed)
                               : QString::fromUtf8(SourceReadme);
    return {QStringLiteral("PuloPro's README"), QUrl::fromLocalFile(readme).toString()};
}

QString MailAddress()
{
    return QString::fromUtf8(ProgramMail);
}

namespace {

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(274, 189);
    setFont(SansFont());
    Paint(this, Navy, Yellow);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(3);
    Panel1->setGeometry(rect());
    Panel1->setToolTip(QStringLiteral("Click to close"));
    Panel1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Paint(Panel1, Navy, Yellow);

    // The panel lets clicks through to the box, so the box itself carries the panel's hint.
    setToolTip(QStringLiteral("Click to close"));

    const TAboutLink web = WebLink();
    URL1 = MakeLink(this, "URL1", web.Caption, web.Address, TAdressType::atWWW, "Visit Website", {79, 3, 116, 13});
    Credits = new TScrollingCredits(this);
    Credits->setObjectName(QStringLiteral("Credits"));
    Credits->setGeometry(6, 37, 262, 117);
    Credits->setFont(SansFont(true));
    Credits->setToolTip(QStringLiteral("Click to close"));
    Paint(Credits, Navy, Yellow);
    Credits->Picture = CreditsPicture();
    Credits->Lines =
        QStringList(8, QString()) + QStringList{QStringLiteral("Pulo Pro 2.0"),
                                                QString(),
                                                QStringLiteral("Version ") + QString::fromLatin1(ProgramVersion),
                                                QString(),
                                                QStringLiteral("by the PuloPro developers"),
                                                QString()};
    Credits->OnClick = [this](QObject*) { Panel1Click(); };
    const QString mail = MailAddress();
    URL2 = MakeLink(this, "URL2", mail, mail, TAdressType::atMail, "Send e-mail", {87, 172, 100, 13});
    URL2->setVisible(!mail.isEmpty()); // no address, no link to a message nobody reads
}

void TfrmAbout::ShowAbout()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Credits->SetActive(true);
    show();
    raise();
    activateWindow(); // the keys that close it come to it
}

void TfrmAbout::Panel1Click()
{
    Credits->SetActive(false);
    hide();
    if (OnClose)
        OnClose();
}

void TfrmAbout::mouseReleaseEvent(QMouseEvent* event)
{
    Panel1Click();
    event->accept();
}

void TfrmAbout::keyPressEvent(QKeyEvent* event)
{
    // The box has no frame and no button: without these keys a keyboard user could not leave it.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Panel1Click();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace pulo

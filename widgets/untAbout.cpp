#include "widgets/untAbout.h"

#include "widgets/Legacy.h"
#include "widgets/ScrollingCredits.h"

#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

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

TLegacy*
MakeLink(QWidget* parent, const char* name, const QString& address, TAdressType type, const char* hint, QRect place)
{
    auto* link = new TLegacy(parent);
    link->setObjectName(QString::fromLatin1(name));
    link->setText(address);
    link->Adress = address;
    link->SetAdressType(type);
    link->setToolTip(QString::fromLatin1(hint));
    link->setCursor(Qt::PointingHandCursor);
    link->setFont(SansFont());
    link->SetFontColor(Aqua);
    link->ActiveColor = 0x00FFFF; // yellow
    link->setGeometry(place);
    link->setAlignment(Qt::AlignCenter);
    return link;
}

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

    URL1 = MakeLink(this, "URL1", QStringLiteral("https://pulopro.invalid"), TAdressType::atWWW, "Visit Website",
                    {79, 3, 116, 13});
    Credits = new TScrollingCredits(this);
    Credits->setObjectName(QStringLiteral("Credits"));
    Credits->setGeometry(6, 37, 262, 117);
    Credits->setFont(SansFont(true));
    Credits->setToolTip(QStringLiteral("Click to close"));
    Paint(Credits, Navy, Yellow);
    Credits->Picture = CreditsPicture();
    Credits->Lines = QStringList(8, QString()) + QStringList{QStringLiteral("Pulo Pro 2.0"),
                                                             QString(),
                                                             QStringLiteral("Your Internet connection, watched"),
                                                             QString(),
                                                             QStringLiteral("by the PuloPro developers"),
                                                             QString()};
    Credits->OnClick = [this](QObject*) { Panel1Click(); };
    URL2 = MakeLink(this, "URL2", QStringLiteral("developers@pulopro.invalid"), TAdressType::atMail, "Send e-mail",
                    {87, 172, 100, 13});
}

void TfrmAbout::ShowAbout()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Credits->SetActive(true);
    show();
    raise();
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

} // namespace pulo

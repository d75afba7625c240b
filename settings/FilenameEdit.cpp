#include "settings/FilenameEdit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>

namespace pulo {

TFilenameEdit::TFilenameEdit(const QString& dialogTitle, QWidget* parent) : QWidget(parent), DialogTitle(dialogTitle)
{
    Edit = new QLineEdit(this);
    BrowseButton = new QToolButton(this);
    BrowseButton->setText(QStringLiteral("..."));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(Edit);
    layout->addWidget(BrowseButton);
    setAcceptDrops(true);
    // The field itself would insert a dropped file's address as text: the whole widget takes it.
    Edit->setAcceptDrops(false);
    connect(BrowseButton, &QToolButton::clicked, this, [this] { Browse(); });
}

QString TFilenameEdit::Text() const
{
    return Edit->text();
}

void TFilenameEdit::SetText(const QString& text)
{
    Edit->setText(text);
}

bool TFilenameEdit::Browse()
{
    const QString folder = Text().isEmpty() ? QString() : QFileInfo(Text()).absolutePath();
    const QString chosen =
        QFileDialog::getOpenFileName(this, DialogTitle, folder, QStringLiteral("Wave files (*.wav)"));
    if (chosen.isEmpty())
        return false;
    SetText(chosen);
    return true;
}

void TFilenameEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void TFilenameEdit::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    SetText(urls.first().toLocalFile());
    event->acceptProposedAction();
}

} // namespace pulo

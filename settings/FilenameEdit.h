#pragma once

// TFilenameEdit: a file-name field with a browse button that opens the file dialog; a file
// dropped on it from the desktop sets its text.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace pulo {

class TFilenameEdit final : public QWidget
{
    Q_OBJECT

public:
    TFilenameEdit(const QString& dialogTitle, QWidget* parent = nullptr);

    [[nodiscard]] QString Text() const;
    void SetText(const QString& text);
    // The file dialog as the browse button opens it; true when a file was chosen.
    bool Browse();

    QLineEdit* Edit = nullptr;
    QToolButton* BrowseButton = nullptr;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QString DialogTitle;
};

} // namespace pulo

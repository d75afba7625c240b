#pragma once

// The program's own viewer of its compiled help (.chm): the table of contents at the left, the
// page at the right with its links, images and style, back and forward. The help file is read
// with chmlib. It serves HtmlHelpA for the program (see MakeViewerHelpService).

#include "platform/Backend.h"

#include <QStringList>
#include <QTemporaryFile>
#include <QTextBrowser>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>

class QKeyEvent;
class QTreeWidget;
class QTreeWidgetItem;
struct chmFile;

namespace pulo {

// One compiled help file, open for reading.
class TChmArchive final
{
public:
    explicit TChmArchive(const QString& path);
    ~TChmArchive();
    TChmArchive(const TChmArchive&) = delete;
    TChmArchive& operator=(const TChmArchive&) = delete;

    [[nodiscard]] bool IsOpen() const { return File != nullptr; }
    // A file of the archive ("/index.htm"); none when it is not there.
    [[nodiscard]] std::optional<QByteArray> Read(const QString& name) const;
    // The names of the archive's files ending in suffix (".hhc").
    [[nodiscard]] QStringList Names(const QString& suffix) const;

private:
    chmFile* File = nullptr;
};

// The entries of a contents (.hhc) or index (.hhk) file: name, page and depth, in order.
struct TSitemapEntry
{
    QString Name;
    QString Local;
    int Depth = 0;
};
[[nodiscard]] std::vector<TSitemapEntry> ReadSitemap(const QByteArray& html);

// Reads a help file as the viewer would (every file of the archive, its contents and index);
// false when it cannot be opened or a part of it cannot be read. What pulopro-helpcheck does in a
// process of its own.
[[nodiscard]] bool ReadHelpFileWhole(const QString& path);

// Whether the bytes are the help file this build compiled (its size and SHA-256 digest).
[[nodiscard]] bool IsOwnHelpFile(const QByteArray& bytes);

class THelpViewer final : public QWidget
{
    Q_OBJECT

public:
    explicit THelpViewer(QWidget* parent = nullptr);

    // Opens the help file; false when it is missing, or is not the help file this build made and
    // the help checker (see HelpCheck.h) could not read it whole in its time (FileDamaged tells).
    // A file the checker has not seen yet is checked while waiting, or in the background: then
    // CheckPending tells, and CheckDone comes when opening it again knows the answer.
    enum class THelpCheck
    {
        Wait,
        InBackground
    };
    bool OpenFile(const QString& path, THelpCheck check = THelpCheck::Wait);
    [[nodiscard]] bool FileDamaged() const { return Damaged; }
    [[nodiscard]] bool CheckPending() const { return Pending; }
    // Where the help checker was looked for, when a file not of this build could not be opened
    // for want of it; empty otherwise.
    [[nodiscard]] const QStringList& HelpCheckerMissing() const { return CheckerMissing; }
    // Shows a page of the open file ("cfgGen.htm"); false when there is no such page.
    bool ShowPage(const QString& page);
    // The page of an index keyword, or the contents' first page.
    [[nodiscard]] QString KeywordPage(const QString& keyword) const;
    [[nodiscard]] QString DefaultPage() const;
    [[nodiscard]] const QString& FilePath() const { return Path; }

    QTreeWidget* Contents = nullptr;
    QTextBrowser* Page = nullptr;

Q_SIGNALS:
    void CheckDone();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<TChmArchive> Archive;
    std::unique_ptr<QTemporaryFile> Copy; // what Archive reads: the bytes that were checked
    QString Path;
    bool Damaged = false;
    bool Pending = false;
    QStringList CheckerMissing;
    std::vector<TSitemapEntry> Index;
};

// HtmlHelpA served by THelpViewer: relative help files are looked for beside the executable,
// then in ../share/pulopro; WinHelpA finds no viewer.
[[nodiscard]] std::unique_ptr<win::IHelpService> MakeViewerHelpService();

} // namespace pulo

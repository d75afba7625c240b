#include "widgets/HelpViewer.h"

#include "common/ErrorBoundary.h"
#include "platform/HtmlHelp.h"
#include "platform/RegularFile.h"
#include "widgets/HelpCheck.h"
#include "widgets/HelpDigest.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTemporaryFile>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <chm_lib.h>

namespace pulo {

TChmArchive::TChmArchive(const QString& path) : File(chm_open(QFile::encodeName(path).constData())) {}

TChmArchive::~TChmArchive()
{
    if (File != nullptr)
        chm_close(File);
}

std::optional<QByteArray> TChmArchive::Read(const QString& name) const
{
    if (File == nullptr)
        return std::nullopt;
    chmUnitInfo unit{};
    const QByteArray path = (name.startsWith(QLatin1Char('/')) ? name : QLatin1Char('/') + name).toUtf8();
    if (chm_resolve_object(File, path.constData(), &unit) != CHM_RESOLVE_SUCCESS || unit.length > (64u << 20))
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(unit.length), '\0');
    const LONGINT64 got = chm_retrieve_object(File, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                              static_cast<LONGINT64>(unit.length));
    if (got != static_cast<LONGINT64>(unit.length))
        return std::nullopt;
    return bytes;
}

QStringList TChmArchive::Names(const QString& suffix) const
{
    struct Found
    {
        QString Suffix;
        QStringList Names;
    } found{suffix.toLower(), {}};
    if (File != nullptr) {
        chm_enumerate(
            File, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
            [](chmFile*, chmUnitInfo* unit, void* context) {
                auto* into = static_cast<Found*>(context);
                const QString name = QString::fromUtf8(unit->path);
                if (name.toLower().endsWith(into->Suffix))
                    into->Names << name;
                return CHM_ENUMERATOR_CONTINUE;
            },
            &found);
    }
    return found.Names;
}

std::vector<TSitemapEntry> ReadSitemap(const QByteArray& html)
{
    std::vector<TSitemapEntry> entries;
    const QString text = QString::fromUtf8(html);
    static const QRegularExpression tokens(QStringLiteral("<(/?)ul\\b|<object\\b.*?</object>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression name(QStringLiteral("name=\"Name\"\\s+value=\"([^\"]*)\""),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression local(QStringLiteral("name=\"Local\"\\s+value=\"([^\"]*)\""),
                                          QRegularExpression::CaseInsensitiveOption);
    int depth = -1;
    for (auto match = tokens.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch token = match.next();
        const QString found = token.captured(0);
        if (found.startsWith(QStringLiteral("<ul"), Qt::CaseInsensitive)) {
            ++depth;
        } else if (found.startsWith(QStringLiteral("</ul"), Qt::CaseInsensitive)) {
            --depth;
        } else {
            const QString entryName = name.match(found).captured(1);
            if (!entryName.isEmpty())
                entries.push_back({entryName, local.match(found).captured(1), std::max(depth, 0)});
        }
    }
    return entries;
}

namespace {

// Pages, images and style sheets come from the help file.
class TArchiveBrowser final : public QTextBrowser
{
public:
    TArchiveBrowser(QWidget* parent, const std::unique_ptr<TChmArchive>& archive)
        : QTextBrowser(parent), Archive(archive)
    {
    }

    QVariant loadResource(int type, const QUrl& name) override
    {
        if (Archive && (name.scheme().isEmpty() || name.scheme() == QStringLiteral("chm"))) {
            if (const auto bytes = Archive->Read(name.path()))
                return type == QTextDocument::ImageResource ? QVariant(*bytes) : QVariant(QString::fromUtf8(*bytes));
        }
        return QTextBrowser::loadResource(type, name);
    }

private:
    const std::unique_ptr<TChmArchive>& Archive;
};

} // namespace

void THelpViewer::keyPressEvent(QKeyEvent* event)
{
    // Escape leaves it, as it leaves a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("PuloPro Help"));
    resize(760, 520);
    Contents = new QTreeWidget(this);
    Contents->setObjectName(QStringLiteral("Contents"));
    Contents->setHeaderHidden(true);
    Page = new TArchiveBrowser(this, Archive);
    Page->setObjectName(QStringLiteral("Page"));
    Page->setOpenLinks(true);
    Page->setOpenExternalLinks(true);
    auto* back = new QToolButton(this);
    back->setText(QStringLiteral("< Back"));
    auto* forward = new QToolButton(this);
    forward->setText(QStringLiteral("Forward >"));
    connect(back, &QToolButton::clicked, Page, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, Page, &QTextBrowser::forward);
    connect(Page, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(Page, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(Contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { ShowPage(item->data(0, Qt::UserRole).toString()); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* splitter = new QSplitter(this);
    splitter->addWidget(Contents);
    splitter->addWidget(Page);
    splitter->setSizes({220, 540});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter);
}

bool ReadHelpFileWhole(const QString& path)
{
    const TChmArchive archive(path);
    if (!archive.IsOpen())
        return false;
    const QStringList names = archive.Names(QString());
    if (names.isEmpty())
        return false;
    for (const QString& name : names) {
        const std::optional<QByteArray> bytes = archive.Read(name);
        if (!bytes)
            return false;
        if (name.endsWith(QStringLiteral(".hhc"), Qt::CaseInsensitive) ||
            name.endsWith(QStringLiteral(".hhk"), Qt::CaseInsensitive))
            (void)ReadSitemap(*bytes);
    }
    return true;
}

bool IsOwnHelpFile(const QByteArray& bytes)
{
    return bytes.size() == OwnHelpFileSize &&
           QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() == QByteArray(OwnHelpFileDigest);
}

bool THelpViewer::OpenFile(const QString& path, THelpCheck check)
{
    Damaged = false;
    Pending = false;
    CheckerMissing.clear();
    if (Path == path && Archive && Archive->IsOpen())
        return true;
    // The help library trusts what it reads: a damaged file could crash it or keep it busy for
    // ever. The help file this build made is known by its digest; any other (a translated,
    // newer or separately packaged help) is first read whole by the help checker, a process of
    // its own with a time limit, and handed to the library here only when that read it. Either
    // way the library gets exactly the bytes checked, from a private copy.
    const win::FileRead read = win::ReadRegularFile(QFile::encodeName(path).toStdString(), 64u << 20);
    if (read.Error == win::ERROR_FILE_NOT_FOUND)
        return false;
    const QByteArray bytes = QByteArray::fromStdString(read.Bytes);
    if (read.Error != win::ERROR_SUCCESS) {
        Damaged = true;
        return false;
    }
    auto copy = std::make_unique<QTemporaryFile>();
    if (!copy->open() || copy->write(bytes) != bytes.size() || !copy->flush())
        return false;
    if (!IsOwnHelpFile(bytes)) {
        const QFileInfo file(path);
        std::optional<bool> sound = RememberedHelpVerdict(file);
        if (!sound) {
            // Without the checker such a file cannot be told sound: it is not shown, and not
            // called damaged either.
            const QString checker = HelpCheckerPath();
            if (checker.isEmpty()) {
                CheckerMissing = HelpCheckerPlaces();
                return false;
            }
            if (check == THelpCheck::InBackground) {
                Pending = true;
                CheckHelpFileLater(checker, bytes, file, this, [this] { Q_EMIT CheckDone(); });
                return false;
            }
            sound = CheckHelpFileNow(checker, copy->fileName(), file);
        }
        if (!*sound) {
            Damaged = true;
            return false;
        }
    }
    auto archive = std::make_unique<TChmArchive>(copy->fileName());
    if (!archive->IsOpen()) {
        Damaged = true;
        return false;
    }
    Archive = std::move(archive);
    Copy = std::move(copy);
    Path = path;
    setWindowTitle(QStringLiteral("PuloPro Help - ") + QFileInfo(path).fileName());
    Contents->clear();
    std::vector<QTreeWidgetItem*> parents;
    for (const QString& contents : Archive->Names(QStringLiteral(".hhc"))) {
        for (const TSitemapEntry& entry : ReadSitemap(Archive->Read(contents).value_or(QByteArray()))) {
            parents.resize(static_cast<std::size_t>(entry.Depth));
            auto* item = parents.empty() ? new QTreeWidgetItem(Contents) : new QTreeWidgetItem(parents.back());
            item->setText(0, entry.Name);
            item->setData(0, Qt::UserRole, entry.Local);
            parents.push_back(item);
        }
    }
    Contents->expandAll();
    Index.clear();
    for (const QString& index : Archive->Names(QStringLiteral(".hhk")))
        for (const TSitemapEntry& entry : ReadSitemap(Archive->Read(index).value_or(QByteArray())))
            Index.push_back(entry);
    return true;
}

bool THelpViewer::ShowPage(const QString& page)
{
    if (!Archive || !Archive->Read(page))
        return false;
    Page->setSource(QUrl(page));
    return true;
}

QString THelpViewer::DefaultPage() const
{
    return Contents->topLevelItemCount() > 0 ? Contents->topLevelItem(0)->data(0, Qt::UserRole).toString()
                                             : QStringLiteral("index.htm");
}

QString THelpViewer::KeywordPage(const QString& keyword) const
{
    for (const TSitemapEntry& entry : Index)
        if (entry.Name.compare(keyword, Qt::CaseInsensitive) == 0)
            return entry.Local;
    return DefaultPage();
}

namespace {

QString FindHelpFile(const QString& name)
{
    if (QFileInfo(name).isAbsolute())
        return name;
    const QString folder =
        QFileInfo(QString::fromStdString(win::InstalledBackend().System->ModuleFileName())).absolutePath();
    for (const QString& candidate :
         {folder + QLatin1Char('/') + name, folder + QStringLiteral("/../share/pulopro/") + name})
        if (QFileInfo::exists(candidate))
            return candidate;
    return name;
}

class ViewerHelpService final : public win::IHelpService
{
public:
    win::DWORD HtmlHelp(win::DWORD, win::LPCSTR file, win::UINT command, std::uintptr_t data) override
    {
        if (command == win::HH_CLOSE_ALL) {
            Waiting.reset();
            if (Viewer)
                Viewer->close();
            return 1;
        }
        if (file == nullptr)
            return 0;
        const QString address = QString::fromLocal8Bit(file);
        const qsizetype separator = address.indexOf(QStringLiteral("::/"));
        const QString chm = FindHelpFile(separator >= 0 ? address.left(separator) : address);
        if (!Viewer) {
            Viewer = new THelpViewer;
            // Windows go before the application does.
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, Viewer, &QObject::deleteLater);
            QObject::connect(Viewer, &THelpViewer::CheckDone, Viewer, [this] { AskAgain(); });
        }
        if (!Viewer->OpenFile(chm, THelpViewer::THelpCheck::InBackground)) {
            if (Viewer->CheckPending()) {
                // Asked again when the checker answers; the latest request is the one shown.
                Waiting = TRequest{QByteArray(file), command,
                                   command == win::HH_DISPLAY_INDEX && data != 0
                                       ? QByteArray(reinterpret_cast<const char*>(data))
                                       : QByteArray()};
                return 1;
            }
            if (Viewer->FileDamaged())
                ShowErrorMessage(QStringLiteral("The help file is damaged: %1").arg(chm));
            else if (!Viewer->HelpCheckerMissing().isEmpty())
                ShowErrorMessage(QStringLiteral("The help file %1 is not the one this PuloPro was built with, and the "
                                                "help checker that reads such a file first is missing (looked for "
                                                "as %2).")
                                     .arg(chm, Viewer->HelpCheckerMissing().join(QStringLiteral(" and "))));
            return 0;
        }
        QString page;
        switch (command) {
        case win::HH_DISPLAY_TOPIC:
            page = separator >= 0 ? address.mid(separator + 3) : Viewer->DefaultPage();
            break;
        case win::HH_DISPLAY_TOC:
            page = Viewer->DefaultPage();
            break;
        case win::HH_DISPLAY_INDEX:
            page = data != 0 ? Viewer->KeywordPage(QString::fromLocal8Bit(reinterpret_cast<const char*>(data)))
                             : Viewer->DefaultPage();
            break;
        default:
            return 0; // the help file has no context numbers
        }
        if (!Viewer->ShowPage(page))
            return 0;
        Viewer->show();
        Viewer->raise();
        Viewer->activateWindow();
        return 1;
    }

    win::BOOL WinHelp(win::DWORD, win::LPCSTR, win::UINT, std::uintptr_t) override
    {
        return win::FALSE_RESULT; // no WinHelp viewer on this system
    }

    ~ViewerHelpService() override
    {
        if (Viewer && QCoreApplication::instance() != nullptr)
            delete Viewer;
    }

private:
    struct TRequest final
    {
        QByteArray File;
        win::UINT Command = 0;
        QByteArray Keyword;
    };

    void AskAgain()
    {
        if (!Waiting)
            return;
        const TRequest request = *std::exchange(Waiting, std::nullopt);
        RunGuarded([&] {
            (void)HtmlHelp(0, request.File.constData(), request.Command,
                           request.Keyword.isEmpty() ? 0
                                                     : reinterpret_cast<std::uintptr_t>(request.Keyword.constData()));
        });
    }

    QPointer<THelpViewer> Viewer;
    std::optional<TRequest> Waiting;
};

} // namespace

std::unique_ptr<win::IHelpService> MakeViewerHelpService()
{
    return std::make_unique<ViewerHelpService>();
}

} // namespace pulo

#pragma once

// THTMLhelpRouter: takes over the application's help requests and sends them to the HTML Help
// viewer, with the older WinHelp viewer as a fallback where so set. One may exist at a time.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace pulo {

// A help request's handler: the command, its data and whether the framework should still call
// help itself (cleared when handled). Returns success.
using THelpEvent = std::function<bool(std::uint16_t command, std::int32_t data, bool& callHelp)>;

// The application's help hook, and Application.HelpCommand: the hook decides; when it leaves
// callHelp set, the framework calls WinHelp with the application's help file.
[[nodiscard]] THelpEvent& ApplicationHelpHook();
bool ApplicationHelpCommand(std::uint16_t command, std::int32_t data);

enum class THelpType
{
    htAuto,
    htWinhelp,
    htHTMLhelp,
};

enum class TShowType
{
    stDefault,
    stMain,
    stPopup,
};

class THTMLhelpRouter final : public QObject
{
    Q_OBJECT

public:
    // Raises "Multiple instances of THTMLhelpRouter are not allowed" when one exists.
    explicit THTMLhelpRouter(QObject* owner = nullptr);
    ~THTMLhelpRouter() override;
    THTMLhelpRouter(const THTMLhelpRouter&) = delete;
    THTMLhelpRouter& operator=(const THTMLhelpRouter&) = delete;

    [[nodiscard]] THelpType HelpType() const { return Type; }
    void SetHelpType(THelpType value);
    TShowType ShowType = TShowType::stDefault;
    QString Helpfile;
    THelpEvent OnHelp;
    [[nodiscard]] QString Version() const { return QStringLiteral("2.02"); }
    void SetVersion(const QString&) {}

    bool RouteHelp(std::uint16_t command, std::int32_t data, bool& callHelp);
    bool ShowTopic(const QString& helpFile, const QString& topic);

private:
    struct Target
    {
        bool UseHtmlHelp = false;
        QString HelpFile;
        std::uint32_t Owner = 0;
    };
    [[nodiscard]] Target ResolveHelpTarget() const;
    static bool LoadHtmlHelp();
    static bool HtmlHelpAvailable();

    THelpType Type = THelpType::htAuto;
    THelpEvent Remembered;
};

// The help file's name with another extension (".chm", ".hlp").
[[nodiscard]] QString ChangeFileExt(const QString& fileName, const QString& extension);

} // namespace pulo

#include "widgets/HelpRouter.h"

#include "common/PuloError.h"
#include "platform/HtmlHelp.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

namespace pulo {

namespace {

win::HMODULE ViewerLibrary = nullptr;
win::HtmlHelpFunction HtmlHelpEntry = nullptr;
THTMLhelpRouter* Instance = nullptr;

} // namespace

THelpEvent& ApplicationHelpHook()
{
    static THelpEvent hook;
    return hook;
}

bool ApplicationHelpCommand(std::uint16_t command, std::int32_t data)
{
    bool callHelp = true;
    bool result = false;
    if (ApplicationHelpHook())
        result = ApplicationHelpHook()(command, data, callHelp);
    if (callHelp) {
        const QByteArray file = qApp->property("HelpFile").toString().toLocal8Bit();
        result = win::WinHelpA(0, file.constData(), command, static_cast<win::DWORD_PTR>(data)) != 0;
    }
    return result;
}

QString ChangeFileExt(const QString& fileName, const QString& extension)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return (dot > slash ? fileName.left(dot) : fileName) + extension;
}

THTMLhelpRouter::THTMLhelpRouter(QObject* owner) : QObject(owner)
{
    if (Instance != nullptr)
        throw PuloError(QStringLiteral("Multiple instances of THTMLhelpRouter are not allowed"));
    Remembered = ApplicationHelpHook();
    ApplicationHelpHook() = [this](std::uint16_t command, std::int32_t data, bool& callHelp) {
        return RouteHelp(command, data, callHelp);
    };
    Instance = this;
}

THTMLhelpRouter::~THTMLhelpRouter()
{
    ApplicationHelpHook() = Remembered;
    Instance = nullptr;
    // The viewer library stays loaded while the program runs; the router goes at its end.
    if (ViewerLibrary != nullptr)
        win::FreeLibrary(ViewerLibrary);
    ViewerLibrary = nullptr;
    HtmlHelpEntry = nullptr;
}

void THTMLhelpRouter::SetHelpType(THelpType value)
{
    if (value == Type)
        return;
    Type = value;
    if (Type == THelpType::htAuto || Type == THelpType::htHTMLhelp)
        LoadHtmlHelp();
}

bool THTMLhelpRouter::LoadHtmlHelp()
{
    if (ViewerLibrary != nullptr)
        return true;
    HtmlHelpEntry = nullptr;
    ViewerLibrary = win::LoadLibraryA("HHCTRL.OCX");
    if (ViewerLibrary != nullptr)
        HtmlHelpEntry = reinterpret_cast<win::HtmlHelpFunction>(win::GetProcAddress(ViewerLibrary, "HtmlHelpA"));
    return ViewerLibrary != nullptr;
}

bool THTMLhelpRouter::HtmlHelpAvailable()
{
    LoadHtmlHelp();
    return HtmlHelpEntry != nullptr;
}

THTMLhelpRouter::Target THTMLhelpRouter::ResolveHelpTarget() const
{
    Target target;
    target.UseHtmlHelp = Type == THelpType::htAuto ? HtmlHelpAvailable() : Type == THelpType::htHTMLhelp;
    target.HelpFile = qApp->property("HelpFile").toString();
    const QWidget* form = QApplication::activeWindow();
    if (form == nullptr)
        form = qobject_cast<const QWidget*>(parent());
    if (form != nullptr && !form->property("HelpFile").toString().isEmpty()) {
        target.HelpFile = form->property("HelpFile").toString();
        target.Owner = 1; // the form's own window
    }
    if (!Helpfile.isEmpty()) {
        target.HelpFile = Helpfile;
        target.Owner = 0;
    }
    return target;
}

bool THTMLhelpRouter::RouteHelp(std::uint16_t command, std::int32_t data, bool& callHelp)
{
    bool result = false;
    if (OnHelp) {
        result = OnHelp(command, data, callHelp);
        if (!callHelp)
            return result;
    }
    if (Remembered) {
        result = Remembered(command, data, callHelp);
        if (!callHelp)
            return result;
    }
    const Target target = ResolveHelpTarget();
    bool success = false;
    if (target.UseHtmlHelp && HtmlHelpEntry != nullptr) {
        const QByteArray chm = ChangeFileExt(target.HelpFile, QStringLiteral(".chm")).toLocal8Bit();
        const auto call = [&](const char* file, win::UINT htmlCommand, win::DWORD_PTR htmlData) {
            return HtmlHelpEntry(target.Owner, file, htmlCommand, htmlData) != 0;
        };
        switch (command) {
        case win::HELP_CONTEXT:
        case win::HELP_CONTEXTPOPUP:
            success = call(chm.constData(), win::HH_HELP_CONTEXT, static_cast<win::DWORD_PTR>(data));
            break;
        case win::HELP_QUIT:
            success = call(nullptr, win::HH_CLOSE_ALL, 0);
            break;
        case win::HELP_CONTENTS:
        case win::HELP_FINDER:
            success = call(chm.constData(), win::HH_DISPLAY_TOC, 0);
            break;
        case win::HELP_KEY:
            success = call(chm.constData(), win::HH_DISPLAY_INDEX, static_cast<win::DWORD_PTR>(data));
            break;
        default:
            break;
        }
    }
    if (!success && Type != THelpType::htHTMLhelp) {
        std::uint16_t winCommand = command;
        if (ShowType == TShowType::stMain && winCommand == win::HELP_CONTEXTPOPUP)
            winCommand = win::HELP_CONTEXT;
        if (ShowType == TShowType::stMain && winCommand == win::HELP_SETPOPUP_POS)
            winCommand = 0;
        if (winCommand == 0) {
            success = true;
        } else {
            const QByteArray hlp = ChangeFileExt(target.HelpFile, QStringLiteral(".hlp")).toLocal8Bit();
            success = win::WinHelpA(target.Owner, hlp.constData(), winCommand, static_cast<win::DWORD_PTR>(data)) != 0;
        }
    }
    callHelp = false;
    return success;
}

bool THTMLhelpRouter::ShowTopic(const QString& helpFile, const QString& topic)
{
    Target target = ResolveHelpTarget();
    if (!helpFile.isEmpty()) {
        target.HelpFile = helpFile;
        target.Owner = 0;
    }
    bool success = false;
    if (target.UseHtmlHelp) {
        // "cfgGen" becomes cfgGen.htm; a topic ending in .htm or .html keeps its name.
        const QString suffix = QFileInfo(topic).suffix();
        const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
        QString page = topic;
        if (extension.left(4).toLower() != QStringLiteral(".htm"))
            page += QStringLiteral(".htm");
        const QByteArray address =
            (ChangeFileExt(target.HelpFile, QStringLiteral(".chm")) + QStringLiteral("::/") + page).toLocal8Bit();
        success =
            HtmlHelpEntry != nullptr && HtmlHelpEntry(target.Owner, address.constData(), win::HH_DISPLAY_TOPIC, 0) != 0;
    }
    if (!success && Type != THelpType::htHTMLhelp) {
        const QByteArray hlp = ChangeFileExt(target.HelpFile, QStringLiteral(".hlp")).toLocal8Bit();
        const QByteArray macro = QStringLiteral("JumpID(\"\",\"%1\")").arg(topic).left(255).toLocal8Bit();
        success = win::WinHelpA(target.Owner, hlp.constData(), win::HELP_CONTENTS, 0) != 0;
        if (success)
            success = win::WinHelpA(target.Owner, hlp.constData(), win::HELP_COMMAND,
                                    reinterpret_cast<win::DWORD_PTR>(macro.constData())) != 0;
    }
    return success;
}

} // namespace pulo

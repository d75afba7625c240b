#include "settings/RichText.h"

#include "common/CodePage.h"

#include <QSet>

#include <vector>

namespace pulo {

namespace {

void AppendEscaped(QByteArray& out, const QString& line)
{
    out.reserve(out.size() + line.size() + 8);
    for (const QChar character : line) {
        const char16_t code = character.unicode();
        if (code == '\\' || code == '{' || code == '}') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code == '\t') {
            out += "\\tab ";
        } else if (code >= 0x20 && code < 0x80) {
            out += static_cast<char>(code);
        } else if (const auto byte = ToCp1252(character); byte && code >= 0x80) {
            out += "\\'" + QByteArray::number(*byte, 16).rightJustified(2, '0');
        } else {
            // Outside the code page: the character by number, "?" for readers that cannot.
            out += "\\u" + QByteArray::number(static_cast<qint16>(code)) + '?';
        }
    }
}

// Destinations whose text is not part of the document's lines.
bool IsSkippedDestination(const QByteArray& word)
{
    static const QSet<QByteArray> skipped = {
        "fonttbl",   "colortbl",  "stylesheet", "info",      "pict",         "header",
        "footer",    "headerl",   "headerr",    "headerf",   "footerl",      "footerr",
        "footerf",   "footnote",  "object",     "themedata", "listtable",    "listoverridetable",
        "rsidtbl",   "generator", "xmlnstbl",   "datastore", "latentstyles", "filetbl",
        "revtbl",    "fldinst",   "bkmkstart",  "bkmkend",   "annotation",   "atnid",
        "atnauthor", "shppict",   "nonshppict", "mmathPr",   "pgdsctbl",     "userprops",
        "template",  "docvar",    "comment",
    };
    return skipped.contains(word);
}

QChar Symbol(const QByteArray& word)
{
    if (word == "bullet")
        return QChar(0x2022);
    if (word == "emdash")
        return QChar(0x2014);
    if (word == "endash")
        return QChar(0x2013);
    if (word == "lquote")
        return QChar(0x2018);
    if (word == "rquote")
        return QChar(0x2019);
    if (word == "ldblquote")
        return QChar(0x201C);
    if (word == "rdblquote")
        return QChar(0x201D);
    return {};
}

QStringList PlainText(const QByteArray& data)
{
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines << current;
            current.clear();
            if (c == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
                ++i;
            continue;
        }
        current += FromCp1252(static_cast<unsigned char>(c));
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

// Reads an RTF document without recursion, so that no nesting depth can exhaust the stack.
class RtfReader final
{
public:
    explicit RtfReader(const QByteArray& data) : Data(data) {}

    QStringList Read()
    {
        Groups.push_back({});
        while (At < Data.size() && !Finished) {
            const char c = Data[At++];
            switch (c) {
            case '{':
                Open();
                break;
            case '}':
                Close();
                break;
            case '\\':
                ControlSymbolOrWord();
                break;
            case '\r':
            case '\n':
                break;
            default:
                Emit(FromCp1252(static_cast<unsigned char>(c)));
            }
        }
        if (!Current.isEmpty())
            Lines << Current;
        return Lines;
    }

private:
    struct Group
    {
        bool Skip = false;
        int UnicodeSkip = 1;
    };

    // Depths beyond this are counted, not kept: they inherit the innermost kept group.
    static constexpr std::size_t MostGroups = 10000;

    void Open()
    {
        if (Groups.size() < MostGroups)
            Groups.push_back(Groups.back());
        else
            ++ExtraDepth;
    }

    void Close()
    {
        if (ExtraDepth > 0) {
            --ExtraDepth;
        } else if (Groups.size() > 2) {
            Groups.pop_back();
        } else {
            Finished = true; // the document's own group ends the document
        }
    }

    void Emit(QChar character)
    {
        if (Groups.back().Skip)
            return;
        if (PendingSkip > 0) {
            --PendingSkip;
            return;
        }
        Current += character;
    }

    void EndParagraph()
    {
        if (Groups.back().Skip)
            return;
        Lines << Current;
        Current.clear();
    }

    void ControlSymbolOrWord()
    {
        if (At >= Data.size())
            return;
        const char c = Data[At];
        if (std::isalpha(static_cast<unsigned char>(c))) {
            ControlWord();
            return;
        }
        ++At;
        switch (c) {
        case '\'': {
            if (At + 2 > Data.size())
                return;
            bool ok = false;
            const int byte = Data.mid(At, 2).toInt(&ok, 16);
            At += 2;
            if (ok)
                Emit(FromCp1252(static_cast<unsigned char>(byte)));
            break;
        }
        case '*':
            Groups.back().Skip = true;
            break;
        case '\\':
        case '{':
        case '}':
            Emit(QChar(c));
            break;
        case '~':
            Emit(QChar(0x00A0));
            break;
        case '_':
            Emit(QChar('-'));
            break;
        case '\r':
        case '\n':
            EndParagraph();
            break;
        default:
            break;
        }
    }

    void ControlWord()
    {
        const qsizetype start = At;
        while (At < Data.size() && std::isalpha(static_cast<unsigned char>(Data[At])) && At - start < 32)
            ++At;
        const QByteArray word = Data.mid(start, At - start);
        bool hasParameter = false;
        long long parameter = 0;
        bool negative = false;
        if (At < Data.size() && Data[At] == '-') {
            negative = true;
            ++At;
        }
        for (int digits = 0; At < Data.size() && std::isdigit(static_cast<unsigned char>(Data[At])); ++At, ++digits) {
            if (digits < 10)
                parameter = parameter * 10 + (Data[At] - '0');
            hasParameter = true;
        }
        if (negative)
            parameter = -parameter;
        if (At < Data.size() && Data[At] == ' ')
            ++At;

        if (word == "par" || word == "line" || word == "sect" || word == "page") {
            EndParagraph();
        } else if (word == "tab") {
            Emit(QChar('\t'));
        } else if (word == "u" && hasParameter) {
            Emit(QChar(static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter)));
            PendingSkip = Groups.back().UnicodeSkip;
        } else if (word == "uc" && hasParameter) {
            Groups.back().UnicodeSkip = static_cast<int>(std::clamp<long long>(parameter, 0, 16));
        } else if (word == "bin" && hasParameter) {
            // Binary data of the stated length, skipped whole (never past the end).
            At += static_cast<qsizetype>(std::clamp<long long>(parameter, 0, Data.size() - At));
        } else if (IsSkippedDestination(word)) {
            Groups.back().Skip = true;
        } else if (const QChar symbol = Symbol(word); !symbol.isNull()) {
            Emit(symbol);
        }
    }

    const QByteArray& Data;
    qsizetype At = 0;
    std::vector<Group> Groups;
    std::size_t ExtraDepth = 0;
    bool Finished = false;
    int PendingSkip = 0;
    QString Current;
    QStringList Lines;
};

} // namespace

const QByteArray& RichTextHeader()
{
    static const QByteArray header = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                                     "{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier New;}}\n"
                                     "\\viewkind4\\pard\\plain\\f0\\fs20 ";
    return header;
}

QByteArray RichTextParagraphs(const QStringList& lines, bool first)
{
    QByteArray out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // "\par" and its one-space delimiter right before the line, so that every reader keeps
        // the line's own leading blanks; the line break before it is ignored by all.
        if (i > 0 || !first)
            out += RichTextBreak;
        AppendEscaped(out, lines[i]);
    }
    return out;
}

QByteArray WriteRichText(const QStringList& lines)
{
    return RichTextHeader() + RichTextParagraphs(lines, true) + RichTextEnd;
}

QStringList ReadRichText(const QByteArray& data)
{
    if (!data.startsWith("{\\rtf"))
        return PlainText(data);
    return RtfReader(data).Read();
}

} // namespace pulo

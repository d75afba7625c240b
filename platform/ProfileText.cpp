#include "platform/ProfileText.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace win {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool HasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

ProfileText::ProfileText(std::string bytes) : Text(std::move(bytes)) {}

bool ProfileText::ValidSectionName(std::string_view section)
{
    return !HasLineBreak(section) && section.find(']') == std::string_view::npos && !Trim(section).empty();
}

bool ProfileText::ValidKeyName(std::string_view key)
{
    const std::string_view name = Trim(key);
    // A name starting as a comment or a section header would never read back.
    return !HasLineBreak(key) && key.find('=') == std::string_view::npos && !name.empty() && name.front() != '[' &&
           name.front() != ';' && name.front() != '#';
}

bool ProfileText::ValidValue(std::string_view value)
{
    return !HasLineBreak(value);
}

ProfileText::Line ProfileText::LineAt(std::size_t begin) const
{
    Line line;
    line.Begin = begin;
    const std::size_t newline = Text.find('\n', begin);
    line.Next = newline == std::string::npos ? Text.size() : newline + 1;
    line.End = newline == std::string::npos ? Text.size() : newline;
    if (line.End > begin && Text[line.End - 1] == '\r')
        --line.End;

    const std::string_view content = Trim(std::string_view(Text).substr(begin, line.End - begin));
    if (content.empty() || content.front() == ';' || content.front() == '#')
        return line;
    if (content.front() == '[') {
        const std::size_t close = content.find(']');
        line.Kind = LineKind::Section;
        line.Name = Trim(content.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return line;
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return line;
    line.Kind = LineKind::Key;
    line.Name = Trim(content.substr(0, equals));
    line.Value = Trim(content.substr(equals + 1));
    return line;
}

std::optional<ProfileText::SectionSpan> ProfileText::FindSection(std::string_view section) const
{
    const std::string_view wanted = Trim(section);
    std::optional<SectionSpan> span;
    for (std::size_t at = 0; at < Text.size();) {
        const Line line = LineAt(at);
        if (span) {
            if (line.Kind == LineKind::Section) {
                span->End = at;
                return span;
            }
            if (line.Kind == LineKind::Key)
                span->LastKeyNext = line.Next;
        } else if (line.Kind == LineKind::Section && SameName(line.Name, wanted)) {
            span = SectionSpan{line.Next, Text.size(), line.Next};
        }
        at = line.Next;
    }
    if (span)
        span->End = Text.size();
    return span;
}

std::optional<ProfileText::Line> ProfileText::FindKey(const SectionSpan& span, std::string_view key) const
{
    const std::string_view wanted = Trim(key);
    for (std::size_t at = span.HeaderNext; at < span.End;) {
        const Line line = LineAt(at);
        if (line.Kind == LineKind::Key && SameName(line.Name, wanted))
            return line;
        at = line.Next;
    }
    return std::nullopt;
}

std::optional<std::string> ProfileText::Value(std::string_view section, std::string_view key) const
{
    const auto span = FindSection(section);
    if (!span)
        return std::nullopt;
    const auto line = FindKey(*span, key);
    if (!line)
        return std::nullopt;
    return std::string(line->Value);
}

std::vector<std::string> ProfileText::Names(std::size_t from, std::size_t to, LineKind kind) const
{
    std::vector<std::string> names;
    std::unordered_set<std::string> seen; // lower case
    for (std::size_t at = from; at < to;) {
        const Line line = LineAt(at);
        at = line.Next;
        // An empty name would end the NUL-separated list early.
        if (line.Kind != kind || line.Name.empty())
            continue;
        std::string folded(line.Name);
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (seen.insert(std::move(folded)).second)
            names.emplace_back(line.Name);
    }
    return names;
}

std::vector<std::string> ProfileText::SectionNames() const
{
    return Names(0, Text.size(), LineKind::Section);
}

std::vector<std::string> ProfileText::KeyNames(std::string_view section) const
{
    const auto span = FindSection(section);
    return span ? Names(span->HeaderNext, span->End, LineKind::Key) : std::vector<std::string>{};
}

std::string_view ProfileText::LineBreak() const
{
    const std::size_t newline = Text.find('\n');
    if (newline != std::string::npos && newline > 0 && Text[newline - 1] == '\r')
        return "\r\n";
    // A one-line file cut after its CR was written with CR LF.
    if (newline == std::string::npos && !Text.empty() && Text.back() == '\r')
        return "\r\n";
    return "\n";
}

std::size_t ProfileText::EndLineBefore(std::size_t at)
{
    if (at == 0 || Text[at - 1] == '\n')
        return at;
    // A lone CR is the first half of the line break: complete it rather than add another.
    const std::string_view eol = Text[at - 1] == '\r' ? std::string_view("\n") : LineBreak();
    Text.insert(at, eol);
    return at + eol.size();
}

bool ProfileText::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (!ValidSectionName(section) || !ValidKeyName(key) || !ValidValue(value))
        return false;
    const std::string_view eol = LineBreak();
    std::string entry;
    entry.append(Trim(key)).append("=").append(value);

    const auto span = FindSection(section);
    if (span) {
        if (const auto line = FindKey(*span, key)) {
            Text.replace(line->Begin, line->End - line->Begin, entry);
            return true;
        }
        // The line before may be the file's last, without a line break of its own.
        const std::size_t at = EndLineBefore(span->LastKeyNext);
        Text.insert(at, entry.append(eol));
        return true;
    }

    EndLineBefore(Text.size());
    Text.append("[").append(Trim(section)).append("]").append(eol);
    Text.append(entry).append(eol);
    return true;
}

void ProfileText::RemoveKey(std::string_view section, std::string_view key)
{
    // Every copy goes: removing only the first would bring an older one back.
    while (const auto span = FindSection(section)) {
        const auto line = FindKey(*span, key);
        if (!line)
            return;
        Text.erase(line->Begin, line->Next - line->Begin);
    }
}

void ProfileText::RemoveSection(std::string_view section)
{
    while (RemoveFirstSection(section)) {
    }
}

bool ProfileText::RemoveFirstSection(std::string_view section)
{
    const auto span = FindSection(section);
    if (!span)
        return false;
    // The header line starts right before HeaderNext: find its beginning.
    std::size_t header = span->HeaderNext;
    if (header > 0)
        --header; // its line break, or its last byte at the end of the text
    while (header > 0 && Text[header - 1] != '\n')
        --header;
    Text.erase(header, span->End - header);
    return true;
}

} // namespace win

#pragma once

// The text of one profile (INI) file, read and edited in memory. Every line that an edit does
// not concern stays byte for byte as it was: comments, blank lines, unknown sections and keys,
// the file's own line endings. Section and key names compare without regard to (ASCII) case,
// blanks around names and values are trimmed, and the first occurrence of a section or key is
// the one that counts. Malformed lines are passed over, never an error.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

class ProfileText final
{
public:
    explicit ProfileText(std::string bytes = {});

    [[nodiscard]] std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    [[nodiscard]] std::vector<std::string> SectionNames() const;
    [[nodiscard]] std::vector<std::string> KeyNames(std::string_view section) const;

    // False when a name or value would break the file's layout (a line break, a key with "=",
    // a section name with "]"); the text is then unchanged.
    [[nodiscard]] bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    void RemoveKey(std::string_view section, std::string_view key);
    void RemoveSection(std::string_view section);

    [[nodiscard]] const std::string& Bytes() const { return Text; }

    [[nodiscard]] static bool ValidSectionName(std::string_view section);
    [[nodiscard]] static bool ValidKeyName(std::string_view key);
    [[nodiscard]] static bool ValidValue(std::string_view value);

private:
    enum class LineKind
    {
        Other,
        Section,
        Key,
    };
    struct Line
    {
        std::size_t Begin = 0; // first byte
        std::size_t End = 0;   // one past the content, before "\r\n" or "\n"
        std::size_t Next = 0;  // first byte of the next line
        LineKind Kind = LineKind::Other;
        std::string_view Name;  // section or key name, trimmed
        std::string_view Value; // key value, trimmed
    };
    struct SectionSpan
    {
        std::size_t HeaderNext = 0;  // where the section's first line starts
        std::size_t End = 0;         // where the next section header starts, or the end of the text
        std::size_t LastKeyNext = 0; // after the last key line, or HeaderNext when it has none
    };

    [[nodiscard]] Line LineAt(std::size_t begin) const;
    [[nodiscard]] std::optional<SectionSpan> FindSection(std::string_view section) const;
    [[nodiscard]] std::optional<Line> FindKey(const SectionSpan& span, std::string_view key) const;
    [[nodiscard]] std::string_view LineBreak() const;
    // Makes sure the line ending before offset at is complete; returns where the next line starts.
    std::size_t EndLineBefore(std::size_t at);
    [[nodiscard]] bool RemoveFirstSection(std::string_view section);
    // The distinct names of the lines of one kind between two offsets, first spelling kept.
    [[nodiscard]] std::vector<std::string> Names(std::size_t from, std::size_t to, LineKind kind) const;

    std::string Text;
};

} // namespace win

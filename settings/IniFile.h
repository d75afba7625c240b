#pragma once

// Typed access to one profile (INI) file through the platform's profile calls. Every call opens
// and releases the file; nothing is cached. Values that are missing or malformed read as the
// caller's default. A write the system refuses raises PuloError "Unable to write to <path>".

#include <QString>

#include <cstdint>
#include <utility>
#include <variant>
#include <vector>

namespace pulo {

class TIniFile final
{
public:
    explicit TIniFile(QString fileName);

    [[nodiscard]] const QString& FileName() const { return Path; }

    // At most 2047 bytes of the stored value come back; a cut never splits a character.
    [[nodiscard]] QString ReadString(const char* section, const char* key, const QString& fallback) const;
    [[nodiscard]] std::int32_t ReadInteger(const char* section, const char* key, std::int32_t fallback) const;
    // Any non-zero integer is true.
    [[nodiscard]] bool ReadBool(const char* section, const char* key, bool fallback) const;
    [[nodiscard]] double ReadFloat(const char* section, const char* key, double fallback) const;

    void WriteString(const char* section, const char* key, const QString& value);
    // Writes bytes as they are, for the few keys stored in the old 8-bit code page.
    void WriteRaw(const char* section, const char* key, const QByteArray& value);
    void WriteInteger(const char* section, const char* key, std::int32_t value);
    void WriteBool(const char* section, const char* key, bool value);
    void WriteFloat(const char* section, const char* key, double value);

    // Several keys of one section in one replacement of the file: all are written or none.
    // Values as WriteInteger and WriteFloat write them.
    using Value = std::variant<std::int32_t, double>;
    void WriteValues(const char* section, const std::vector<std::pair<const char*, Value>>& values);

    // The longest value a read returns, in bytes.
    static constexpr int MaxValueLength = 2047;

private:
    QString Path;
    QByteArray NativePath;
};

} // namespace pulo

#include "settings/IniFile.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "common/PuloError.h"
#include "platform/Win32.h"

#include <QFile>

#include <array>

namespace pulo {

namespace {

// Drops a UTF-8 sequence left incomplete at the end of a value cut to the buffer's size.
qsizetype WholeCharacters(const char* bytes, qsizetype length)
{
    qsizetype start = length;
    while (start > 0 && (static_cast<unsigned char>(bytes[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return length;
    const auto lead = static_cast<unsigned char>(bytes[start - 1]);
    const qsizetype needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length - (start - 1) < needed ? start - 1 : length;
}

} // namespace

TIniFile::TIniFile(QString fileName) : Path(std::move(fileName)), NativePath(QFile::encodeName(Path)) {}

QString TIniFile::ReadString(const char* section, const char* key, const QString& fallback) const
{
    std::array<char, MaxValueLength + 1> buffer{};
    const QByteArray fallbackBytes = fallback.toUtf8();
    const win::DWORD length =
        win::GetPrivateProfileStringA(section, key, fallbackBytes.constData(), buffer.data(),
                                      static_cast<win::DWORD>(buffer.size()), NativePath.constData());
    qsizetype kept = static_cast<qsizetype>(length);
    if (kept == MaxValueLength)
        kept = WholeCharacters(buffer.data(), kept);
    return QString::fromUtf8(buffer.data(), kept);
}

std::int32_t TIniFile::ReadInteger(const char* section, const char* key, std::int32_t fallback) const
{
    return StrToIntDef(ReadString(section, key, QString()), fallback);
}

bool TIniFile::ReadBool(const char* section, const char* key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const char* section, const char* key, double fallback) const
{
    const QString text = ReadString(section, key, QString());
    if (text.isEmpty())
        return fallback;
    if (const auto value = TryStrToFloat(text))
        return *value;
    // Written under a locale with the other decimal separator (the user switched the
    // desktop's language): the month totals must still read as what they are.
    FormatSettings& format = CurrentFormat();
    const char own = format.DecimalSeparator;
    format.DecimalSeparator = own == ',' ? '.' : ',';
    const auto other = TryStrToFloat(text);
    format.DecimalSeparator = own;
    return other.value_or(fallback);
}

void TIniFile::WriteRaw(const char* section, const char* key, const QByteArray& value)
{
    if (win::WritePrivateProfileStringA(section, key, value.constData(), NativePath.constData()) == 0)
        throw PuloError(QStringLiteral("Unable to write to %1").arg(Path));
}

void TIniFile::WriteString(const char* section, const char* key, const QString& value)
{
    WriteRaw(section, key, value.toUtf8());
}

void TIniFile::WriteInteger(const char* section, const char* key, std::int32_t value)
{
    WriteRaw(section, key, QByteArray::number(value));
}

void TIniFile::WriteBool(const char* section, const char* key, bool value)
{
    WriteRaw(section, key, value ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
}

void TIniFile::WriteFloat(const char* section, const char* key, double value)
{
    WriteString(section, key, FloatToStr(value));
}

void TIniFile::WriteValues(const char* section, const std::vector<std::pair<const char*, Value>>& values)
{
    win::ProfileValues texts;
    for (const auto& [key, value] : values) {
        const QByteArray text = std::holds_alternative<std::int32_t>(value)
                                    ? QByteArray::number(std::get<std::int32_t>(value))
                                    : FloatToStr(std::get<double>(value)).toUtf8();
        texts.emplace_back(key, text.toStdString());
    }
    if (win::WritePrivateProfileStringsA(section, texts, NativePath.constData()) == 0)
        throw PuloError(QStringLiteral("Unable to write to %1").arg(Path));
}

} // namespace pulo

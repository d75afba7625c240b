#include "platform/ProfileFiles.h"

#include "platform/ProfileText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace win {

namespace {

// Copies text into the caller's buffer the way the profile calls do: at most size - 1 bytes
// and a NUL; returns the bytes copied.
DWORD CopyOut(std::string_view text, LPSTR result, DWORD size)
{
    if (result == nullptr || size == 0)
        return 0;
    const auto copied = static_cast<DWORD>(std::min<std::size_t>(text.size(), size - 1));
    std::memcpy(result, text.data(), copied);
    result[copied] = '\0';
    return copied;
}

// A list of names, each ending in a NUL, one more NUL after the last; cut to fit, it still
// ends in two NULs and the count is size - 2.
DWORD CopyOutList(const std::vector<std::string>& names, LPSTR result, DWORD size)
{
    if (result == nullptr || size == 0)
        return 0;
    if (size == 1) {
        result[0] = '\0';
        return 0;
    }
    std::string list;
    for (const auto& name : names)
        list.append(name).push_back('\0');
    if (list.size() + 1 <= size) {
        std::memcpy(result, list.data(), list.size());
        result[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    std::memcpy(result, list.data(), size - 2);
    result[size - 2] = '\0';
    result[size - 1] = '\0';
    return size - 2;
}

} // namespace

std::optional<std::string> ProfileFiles::ReadWholeFile(const std::string& fileName)
{
    const QFileInfo info(QString::fromStdString(fileName));
    if (!info.isFile())
        return std::nullopt;
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

DWORD ProfileFiles::ReplaceWholeFile(const std::string& fileName, const std::string& bytes)
{
    const QString path = QString::fromStdString(fileName);
    const QFileInfo info(path);
    if (info.exists()) {
        constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        if (!info.isFile() || (info.permissions() & anyWrite) == 0)
            return ERROR_ACCESS_DENIED;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return info.dir().exists() ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        return ERROR_WRITE_FAULT;
    }
    return file.commit() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

DWORD ProfileFiles::GetString(
    LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return CopyOut(defaultValue == nullptr ? "" : defaultValue, result, size);
    }
    const auto bytes = ReadWholeFile(fileName);
    SetLastError(bytes ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    const ProfileText text(bytes.value_or(std::string()));
    if (section == nullptr)
        return CopyOutList(text.SectionNames(), result, size);
    if (key == nullptr)
        return CopyOutList(text.KeyNames(section), result, size);
    if (const auto value = text.Value(section, key))
        return CopyOut(*value, result, size);
    return CopyOut(defaultValue == nullptr ? "" : defaultValue, result, size);
}

BOOL ProfileFiles::WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    if (fileName == nullptr || section == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE_RESULT;
    }
    // A file that is there but cannot be read is refused rather than replaced by the one key.
    const auto bytes = ReadWholeFile(fileName);
    if (!bytes && QFileInfo::exists(QString::fromStdString(fileName))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE_RESULT;
    }
    ProfileText text(bytes.value_or(std::string()));
    if (key == nullptr) {
        text.RemoveSection(section);
    } else if (value == nullptr) {
        text.RemoveKey(section, key);
    } else if (!text.SetValue(section, key, value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE_RESULT;
    }
    const DWORD error = ReplaceWholeFile(fileName, text.Bytes());
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE_RESULT : FALSE_RESULT;
}

} // namespace win

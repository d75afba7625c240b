#include "platform/ProfileFiles.h"

#include "platform/AtomicFile.h"
#include "platform/ProfileText.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

FileRead ProfileFiles::ReadWholeFile(const std::string& fileName)
{
    return ReadRegularFile(fileName, MaxFileBytes);
}

DWORD ProfileFiles::ReplaceWholeFile(const std::string& fileName, const std::string& bytes)
{
    struct stat status = {};
    if (stat(fileName.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode) || (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return ERROR_ACCESS_DENIED;
    }
    return ReplaceFileAtomically(fileName, bytes);
}

DWORD ProfileFiles::GetString(
    LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return CopyOut(defaultValue == nullptr ? "" : defaultValue, result, size);
    }
    FileRead read = ReadWholeFile(fileName);
    SetLastError(read.Error);
    const ProfileText text(std::move(read.Bytes));
    if (section == nullptr)
        return CopyOutList(text.SectionNames(), result, size);
    if (key == nullptr)
        return CopyOutList(text.KeyNames(section), result, size);
    if (const auto value = text.Value(section, key))
        return CopyOut(*value, result, size);
    return CopyOut(defaultValue == nullptr ? "" : defaultValue, result, size);
}

BOOL ProfileFiles::Edit(LPCSTR section, LPCSTR fileName, const std::function<bool(ProfileText&)>& edit)
{
    if (fileName == nullptr || section == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE_RESULT;
    }
    // A file that is there but cannot be read (or is far too large to be ours) is refused
    // rather than replaced by the keys.
    FileRead read = ReadWholeFile(fileName);
    if (read.Error != ERROR_SUCCESS && read.Error != ERROR_FILE_NOT_FOUND) {
        SetLastError(read.Error);
        return FALSE_RESULT;
    }
    ProfileText text(std::move(read.Bytes));
    if (!edit(text)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE_RESULT;
    }
    const DWORD error = ReplaceWholeFile(fileName, text.Bytes());
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE_RESULT : FALSE_RESULT;
}

BOOL ProfileFiles::WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    return Edit(section, fileName, [&](ProfileText& text) {
        if (key == nullptr)
            text.RemoveSection(section);
        else if (value == nullptr)
            text.RemoveKey(section, key);
        else
            return text.SetValue(section, key, value);
        return true;
    });
}

BOOL ProfileFiles::WriteStrings(LPCSTR section, const ProfileValues& values, LPCSTR fileName)
{
    return Edit(section, fileName, [&](ProfileText& text) {
        // Checked first, so that a bad value leaves every key as it was.
        for (const auto& [key, value] : values)
            if (!ProfileText::ValidKeyName(key) || !ProfileText::ValidValue(value))
                return false;
        for (const auto& [key, value] : values)
            if (!text.SetValue(section, key, value))
                return false;
        return true;
    });
}

} // namespace win

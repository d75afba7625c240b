#include "platform/ProfileFiles.h"

#include "platform/AtomicFile.h"
#include "platform/ProfileText.h"

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

ProfileFiles::FileRead ProfileFiles::ReadWholeFile(const std::string& fileName)
{
    FileRead read;
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        read.Error = errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
        return read;
    }
    struct stat status = {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        read.Error = ERROR_ACCESS_DENIED;
    } else if (static_cast<std::uintmax_t>(status.st_size) > MaxFileBytes) {
        read.Error = ERROR_FILE_TOO_LARGE;
    } else {
        // One pass; a file that grows meanwhile is read up to the limit and refused beyond it.
        read.Bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
        std::size_t filled = 0;
        for (;;) {
            if (filled == read.Bytes.size()) {
                if (read.Bytes.size() > MaxFileBytes) {
                    read.Error = ERROR_FILE_TOO_LARGE;
                    break;
                }
                read.Bytes.resize(std::min(read.Bytes.size() * 2, MaxFileBytes + 1));
            }
            const ssize_t got = ::read(fd, read.Bytes.data() + filled, read.Bytes.size() - filled);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                read.Error = ERROR_ACCESS_DENIED;
                break;
            }
            if (got == 0)
                break;
            filled += static_cast<std::size_t>(got);
        }
        read.Bytes.resize(read.Error == ERROR_SUCCESS ? filled : 0);
    }
    close(fd);
    return read;
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

BOOL ProfileFiles::WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName)
{
    if (fileName == nullptr || section == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE_RESULT;
    }
    // A file that is there but cannot be read (or is far too large to be ours) is refused
    // rather than replaced by the one key.
    FileRead read = ReadWholeFile(fileName);
    if (read.Error != ERROR_SUCCESS && read.Error != ERROR_FILE_NOT_FOUND) {
        SetLastError(read.Error);
        return FALSE_RESULT;
    }
    ProfileText text(std::move(read.Bytes));
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

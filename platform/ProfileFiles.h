#pragma once

// Profile files on disk: each call reads the file afresh and each write replaces it whole, by
// way of a temporary file in the same folder that is flushed and renamed over the old one, so
// a crash or a full disk never leaves a truncated file behind.

#include "platform/Backend.h"
#include "platform/ProfileText.h"
#include "platform/RegularFile.h"

#include <cstddef>
#include <functional>
#include <string>

namespace win {

class ProfileFiles : public IProfileService
{
public:
    DWORD
    GetString(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName) override;
    BOOL WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) override;
    BOOL WriteStrings(LPCSTR section, const ProfileValues& values, LPCSTR fileName) override;

    // A profile file larger than this is no settings file: it is read as empty and never
    // written over.
    static constexpr std::size_t MaxFileBytes = 16 * 1024 * 1024;

    // The whole file in one read; on failure the bytes are empty and Error says why.
    [[nodiscard]] static FileRead ReadWholeFile(const std::string& fileName);
    // Replaces the file atomically; a file marked read-only (no write permission bit for
    // anyone) is refused as the system refuses it, even for an administrator. Returns the
    // system error code, ERROR_SUCCESS when the new text is in place.
    [[nodiscard]] static DWORD ReplaceWholeFile(const std::string& fileName, const std::string& bytes);

private:
    // Reads the file, lets edit change its text (false: an argument would break the layout) and
    // replaces the file once.
    BOOL Edit(LPCSTR section, LPCSTR fileName, const std::function<bool(ProfileText&)>& edit);
};

} // namespace win

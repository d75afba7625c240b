#pragma once

// Profile files on disk: each call reads the file afresh and each write replaces it whole, by
// way of a temporary file in the same folder that is flushed and renamed over the old one, so
// a crash or a full disk never leaves a truncated file behind.

#include "platform/Backend.h"

#include <optional>
#include <string>

namespace win {

class ProfileFiles : public IProfileService
{
public:
    DWORD
    GetString(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR result, DWORD size, LPCSTR fileName) override;
    BOOL WriteString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) override;

    // The whole file, or nothing when it is missing or unreadable (a folder, no permission).
    [[nodiscard]] static std::optional<std::string> ReadWholeFile(const std::string& fileName);
    // Replaces the file atomically; a file marked read-only (no write permission bit for
    // anyone) is refused as the system refuses it, even for an administrator. Returns the
    // system error code, ERROR_SUCCESS when the new text is in place.
    [[nodiscard]] static DWORD ReplaceWholeFile(const std::string& fileName, const std::string& bytes);
};

} // namespace win

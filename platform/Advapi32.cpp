// The advapi32 registry calls: key handles and the size rules every backend shares, over its
// registry service. Used from the user-interface thread only.

#include "platform/Backend.h"

#include <cstring>
#include <map>

namespace win {

namespace {

struct OpenKey
{
    HKEY Root = 0;
    std::string Path;
};

std::map<HKEY, OpenKey>& OpenKeys()
{
    static std::map<HKEY, OpenKey> keys;
    return keys;
}

bool IsRoot(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_PERFORMANCE_DATA || key == HKEY_DYN_DATA;
}

const OpenKey* Find(HKEY key)
{
    static OpenKey root;
    if (IsRoot(key)) {
        root = {key, {}};
        return &root;
    }
    const auto found = OpenKeys().find(key);
    return found == OpenKeys().end() ? nullptr : &found->second;
}

IRegistryService* Registry()
{
    return InstalledBackend().Registry.get();
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, DWORD /*access*/, HKEY* result)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    const OpenKey* parent = Find(key);
    if (parent == nullptr)
        return ERROR_INVALID_HANDLE;
    OpenKey opened{parent->Root, parent->Path};
    if (subKey != nullptr && *subKey != '\0') {
        if (!opened.Path.empty())
            opened.Path += '\\';
        opened.Path += subKey;
    }
    if (Registry() == nullptr || opened.Root == HKEY_PERFORMANCE_DATA ||
        !Registry()->KeyExists(opened.Root, opened.Path))
        return ERROR_FILE_NOT_FOUND;
    static HKEY next = 0x1000;
    *result = next++;
    OpenKeys()[*result] = std::move(opened);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data, DWORD* size)
{
    const OpenKey* open = Find(key);
    if (open == nullptr)
        return ERROR_INVALID_HANDLE;
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (Registry() == nullptr)
        return ERROR_FILE_NOT_FOUND;
    DWORD valueType = 0;
    thread_local std::vector<BYTE> value;
    const DWORD code =
        Registry()->Value(open->Root, open->Path, valueName == nullptr ? "" : valueName, valueType, value);
    if (code != ERROR_SUCCESS)
        return static_cast<LONG>(code);
    if (type != nullptr)
        *type = valueType;
    const auto needed = static_cast<DWORD>(value.size());
    if (data == nullptr) {
        if (size != nullptr)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        // The performance data is measured by growing the buffer: no size is given for it.
        if (open->Root != HKEY_PERFORMANCE_DATA)
            *size = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY key,
                      LPSTR /*className*/,
                      DWORD* classSize,
                      DWORD* /*reserved*/,
                      DWORD* subKeys,
                      DWORD* maxSubKeyLength,
                      DWORD* maxClassLength,
                      DWORD* values,
                      DWORD* maxValueNameLength,
                      DWORD* maxValueLength,
                      DWORD* securityDescriptor,
                      void* /*lastWriteTime*/)
{
    const OpenKey* open = Find(key);
    if (open == nullptr)
        return ERROR_INVALID_HANDLE;
    const std::vector<std::string> names =
        Registry() != nullptr ? Registry()->SubKeys(open->Root, open->Path) : std::vector<std::string>{};
    if (subKeys != nullptr)
        *subKeys = static_cast<DWORD>(names.size());
    if (maxSubKeyLength != nullptr) {
        std::size_t longest = 0;
        for (const auto& name : names)
            longest = std::max(longest, name.size());
        *maxSubKeyLength = static_cast<DWORD>(longest);
    }
    for (DWORD* zero : {classSize, maxClassLength, values, maxValueNameLength, maxValueLength, securityDescriptor})
        if (zero != nullptr)
            *zero = 0;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key,
                   DWORD index,
                   LPSTR name,
                   DWORD* nameSize,
                   DWORD* /*reserved*/,
                   LPSTR /*className*/,
                   DWORD* /*classSize*/,
                   void* /*lastWriteTime*/)
{
    const OpenKey* open = Find(key);
    if (open == nullptr)
        return ERROR_INVALID_HANDLE;
    if (name == nullptr || nameSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    const std::vector<std::string> names =
        Registry() != nullptr ? Registry()->SubKeys(open->Root, open->Path) : std::vector<std::string>{};
    if (index >= names.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string& found = names[index];
    if (found.size() + 1 > *nameSize)
        return ERROR_MORE_DATA;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameSize = static_cast<DWORD>(found.size());
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (IsRoot(key))
        return ERROR_SUCCESS;
    return OpenKeys().erase(key) == 1 ? ERROR_SUCCESS : static_cast<LONG>(ERROR_INVALID_HANDLE);
}

} // namespace win

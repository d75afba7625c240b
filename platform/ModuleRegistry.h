#pragma once

// The named system libraries a backend offers for run-time loading (LoadLibraryA and
// GetProcAddress). A module is a table of exported entry points; loading counts references
// so that FreeLibrary matches LoadLibraryA as on the real system.

#include "platform/Win32.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace win {

class ModuleRegistry final
{
public:
    using Exports = std::map<std::string, FARPROC>;

    // Offers a module under its file name ("RASAPI32.DLL"); a second registration under the
    // same name replaces the exports.
    void Register(const std::string& fileName, Exports exports);
    // Withdraws a module, as on a system where the library is not installed.
    void Unregister(const std::string& fileName);

    [[nodiscard]] HMODULE Load(LPCSTR fileName);
    [[nodiscard]] FARPROC ProcAddress(HMODULE module, LPCSTR procName) const;
    [[nodiscard]] bool Free(HMODULE module);
    // References taken and not yet freed, for tests that check the pairing.
    [[nodiscard]] int LoadCount(const std::string& fileName) const;

private:
    struct Module
    {
        std::string Name;
        Exports Entries;
        int References = 0;
        bool Withdrawn = false;
    };
    [[nodiscard]] static std::string NormalName(const std::string& fileName);
    [[nodiscard]] Module* Find(HMODULE module) const;

    // Modules are never destroyed while the registry lives, so handles stay valid.
    std::vector<std::unique_ptr<Module>> Modules;
};

} // namespace win

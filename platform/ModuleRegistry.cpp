#include "platform/ModuleRegistry.h"

#include <algorithm>
#include <cctype>

namespace win {

std::string ModuleRegistry::NormalName(const std::string& fileName)
{
    // Only the file name counts: "C:\\Windows\\System32\\rasapi32" and "RASAPI32.DLL" are one module.
    const auto slash = fileName.find_last_of("\\/");
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (name.find('.') == std::string::npos)
        name += ".DLL";
    return name;
}

void ModuleRegistry::Register(const std::string& fileName, Exports exports)
{
    const std::string name = NormalName(fileName);
    for (auto& module : Modules) {
        if (module->Name == name) {
            module->Entries = std::move(exports);
            module->Withdrawn = false;
            return;
        }
    }
    auto module = std::make_unique<Module>();
    module->Name = name;
    module->Entries = std::move(exports);
    Modules.push_back(std::move(module));
}

void ModuleRegistry::Unregister(const std::string& fileName)
{
    const std::string name = NormalName(fileName);
    for (auto& module : Modules)
        if (module->Name == name)
            module->Withdrawn = true;
}

HMODULE ModuleRegistry::Load(LPCSTR fileName)
{
    if (fileName != nullptr) {
        const std::string name = NormalName(fileName);
        for (auto& module : Modules) {
            if (module->Name == name && !module->Withdrawn) {
                ++module->References;
                return reinterpret_cast<HMODULE>(module.get());
            }
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

ModuleRegistry::Module* ModuleRegistry::Find(HMODULE module) const
{
    for (const auto& candidate : Modules)
        if (reinterpret_cast<HMODULE>(candidate.get()) == module)
            return candidate.get();
    return nullptr;
}

FARPROC ModuleRegistry::ProcAddress(HMODULE module, LPCSTR procName) const
{
    const Module* found = Find(module);
    if (found == nullptr || found->References == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (procName != nullptr) {
        const auto entry = found->Entries.find(procName);
        if (entry != found->Entries.end())
            return entry->second;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

bool ModuleRegistry::Free(HMODULE module)
{
    Module* found = Find(module);
    if (found == nullptr || found->References == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    --found->References;
    return true;
}

int ModuleRegistry::LoadCount(const std::string& fileName) const
{
    const std::string name = NormalName(fileName);
    for (const auto& module : Modules)
        if (module->Name == name)
            return module->References;
    return 0;
}

} // namespace win

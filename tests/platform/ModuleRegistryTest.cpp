#include "platform/Backend.h"
#include "platform/sim/SimBackend.h"

#include <gtest/gtest.h>

namespace win {
namespace {

std::intptr_t Answer()
{
    return 42;
}

TEST(ModuleRegistryTest, LoadsRegisteredModulesByNameAndCountsReferences)
{
    sim::InstallSimBackend();
    InstalledBackend().Modules.Register("RASAPI32.DLL", {{"RasHangUpA", reinterpret_cast<FARPROC>(&Answer)}});

    HMODULE module = LoadLibraryA("rasapi32");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\System32\\RasApi32.dll"), module);
    EXPECT_EQ(InstalledBackend().Modules.LoadCount("RASAPI32.DLL"), 2);

    FARPROC proc = GetProcAddress(module, "RasHangUpA");
    ASSERT_NE(proc, nullptr);
    EXPECT_EQ(reinterpret_cast<std::intptr_t (*)()>(proc)(), 42);
    EXPECT_EQ(GetProcAddress(module, "RasDialA"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    EXPECT_NE(FreeLibrary(module), 0);
    EXPECT_NE(FreeLibrary(module), 0);
    EXPECT_EQ(FreeLibrary(module), 0);
    EXPECT_EQ(GetProcAddress(module, "RasHangUpA"), nullptr);
}

TEST(ModuleRegistryTest, AbsentLibraryIsNotFound)
{
    const auto state = sim::InstallSimBackend();
    EXPECT_EQ(LoadLibraryA("NOSUCH.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    HMODULE offered = LoadLibraryA("RASAPI32.DLL");
    EXPECT_NE(offered, nullptr);
    EXPECT_NE(FreeLibrary(offered), 0);
    sim::SetRasLibraryPresent(*state, false);
    EXPECT_EQ(LoadLibraryA("rasapi32.dll"), nullptr);
}

TEST(ModuleRegistryTest, VersionRecordMustCarryItsSize)
{
    auto sim = sim::InstallSimBackend();
    sim->PlatformId = VER_PLATFORM_WIN32_WINDOWS;
    OSVERSIONINFOA info{};
    EXPECT_EQ(GetVersionExA(&info), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_NE(GetVersionExA(&info), 0);
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
}

} // namespace
} // namespace win

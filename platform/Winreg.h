#pragma once

// advapi32: the registry calls PuloPro reads connection statistics with, and the layout of the
// system's performance data. Key handles are 32-bit values here, the predefined roots included.

#include "platform/Win32.h"

#include <cstdint>

namespace win {

using HKEY = DWORD;
using LARGE_INTEGER = std::int64_t;

constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004;
constexpr HKEY HKEY_DYN_DATA = 0x80000006;

constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;

// Opens a key below an open key or a root; ERROR_FILE_NOT_FOUND when there is none.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD access, HKEY* result);
// A value's type and data. With data null only the size is told. ERROR_MORE_DATA when *size
// is too small (with *size the room needed, except for the performance data, whose size the
// caller finds by growing its buffer); ERROR_FILE_NOT_FOUND when there is no such value.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// The number of subkeys and the longest subkey name (other counts are given as 0).
LONG RegQueryInfoKeyA(HKEY key,
                      LPSTR className,
                      DWORD* classSize,
                      DWORD* reserved,
                      DWORD* subKeys,
                      DWORD* maxSubKeyLength,
                      DWORD* maxClassLength,
                      DWORD* values,
                      DWORD* maxValueNameLength,
                      DWORD* maxValueLength,
                      DWORD* securityDescriptor,
                      void* lastWriteTime);
// The name of subkey number index; ERROR_NO_MORE_ITEMS past the last, ERROR_MORE_DATA when
// the name does not fit *nameSize (counted with its NUL).
LONG RegEnumKeyExA(HKEY key,
                   DWORD index,
                   LPSTR name,
                   DWORD* nameSize,
                   DWORD* reserved,
                   LPSTR className,
                   DWORD* classSize,
                   void* lastWriteTime);
LONG RegCloseKey(HKEY key);

// The performance data's records (winperf layout).
constexpr LONG PERF_NO_INSTANCES = -1;
constexpr DWORD PERF_COUNTER_RAWCOUNT = 0x00010000;
// The same raw count held in 64 bits (PERF_SIZE_LARGE): CounterSize is 8.
constexpr DWORD PERF_COUNTER_LARGE_RAWCOUNT = 0x00010100;
constexpr DWORD RasTotalObjectIndex = 906;
constexpr DWORD BytesTransmittedIndex = 872;
constexpr DWORD BytesReceivedIndex = 874;

struct PERF_DATA_BLOCK
{
    WCHAR Signature[4];
    DWORD LittleEndian;
    DWORD Version;
    DWORD Revision;
    DWORD TotalByteLength;
    DWORD HeaderLength;
    DWORD NumObjectTypes;
    LONG DefaultObject;
    SYSTEMTIME SystemTime;
    LARGE_INTEGER PerfTime;
    LARGE_INTEGER PerfFreq;
    LARGE_INTEGER PerfTime100nSec;
    DWORD SystemNameLength;
    DWORD SystemNameOffset;
};
static_assert(sizeof(PERF_DATA_BLOCK) == 88);

struct PERF_OBJECT_TYPE
{
    DWORD TotalByteLength;
    DWORD DefinitionLength;
    DWORD HeaderLength;
    DWORD ObjectNameTitleIndex;
    DWORD ObjectNameTitle;
    DWORD ObjectHelpTitleIndex;
    DWORD ObjectHelpTitle;
    DWORD DetailLevel;
    DWORD NumCounters;
    LONG DefaultCounter;
    LONG NumInstances;
    DWORD CodePage;
    LARGE_INTEGER PerfTime;
    LARGE_INTEGER PerfFreq;
};
static_assert(sizeof(PERF_OBJECT_TYPE) == 64);

struct PERF_COUNTER_DEFINITION
{
    DWORD ByteLength;
    DWORD CounterNameTitleIndex;
    DWORD CounterNameTitle;
    DWORD CounterHelpTitleIndex;
    DWORD CounterHelpTitle;
    LONG DefaultScale;
    DWORD DetailLevel;
    DWORD CounterType;
    DWORD CounterSize;
    DWORD CounterOffset;
};
static_assert(sizeof(PERF_COUNTER_DEFINITION) == 40);

struct PERF_INSTANCE_DEFINITION
{
    DWORD ByteLength;
    DWORD ParentObjectTitleIndex;
    DWORD ParentObjectInstance;
    LONG UniqueID;
    DWORD NameOffset;
    DWORD NameLength;
};
static_assert(sizeof(PERF_INSTANCE_DEFINITION) == 24);

struct PERF_COUNTER_BLOCK
{
    DWORD ByteLength;
};

} // namespace win

#include "platform/PerfData.h"

#include <cstring>

namespace win {

std::vector<BYTE>
RasTotalPerformanceData(std::uint64_t bytesTransmitted, std::uint64_t bytesReceived, const SYSTEMTIME& now)
{
    constexpr DWORD counters = 2;
    // The 64-bit values start on an eight-byte boundary of the counter block, as the system
    // aligns them.
    constexpr DWORD firstValue = sizeof(std::uint64_t);
    constexpr DWORD blockBytes = firstValue + counters * sizeof(std::uint64_t);
    constexpr DWORD definitionBytes = sizeof(PERF_OBJECT_TYPE) + counters * sizeof(PERF_COUNTER_DEFINITION);
    constexpr DWORD objectBytes = definitionBytes + blockBytes;
    constexpr DWORD totalBytes = sizeof(PERF_DATA_BLOCK) + objectBytes;

    PERF_DATA_BLOCK data{};
    const char16_t signature[] = u"PERF";
    for (int i = 0; i < 4; ++i)
        data.Signature[i] = signature[i];
    data.LittleEndian = 1;
    data.Version = 1;
    data.Revision = 1;
    data.TotalByteLength = totalBytes;
    data.HeaderLength = sizeof(PERF_DATA_BLOCK);
    data.NumObjectTypes = 1;
    data.DefaultObject = static_cast<LONG>(RasTotalObjectIndex);
    data.SystemTime = now;

    PERF_OBJECT_TYPE object{};
    object.TotalByteLength = objectBytes;
    object.DefinitionLength = definitionBytes;
    object.HeaderLength = sizeof(PERF_OBJECT_TYPE);
    object.ObjectNameTitleIndex = RasTotalObjectIndex;
    object.ObjectHelpTitleIndex = RasTotalObjectIndex + 1;
    object.NumCounters = counters;
    object.NumInstances = PERF_NO_INSTANCES;

    PERF_COUNTER_DEFINITION definitions[counters]{};
    const DWORD indexes[counters] = {BytesTransmittedIndex, BytesReceivedIndex};
    for (DWORD i = 0; i < counters; ++i) {
        definitions[i].ByteLength = sizeof(PERF_COUNTER_DEFINITION);
        definitions[i].CounterNameTitleIndex = indexes[i];
        definitions[i].CounterHelpTitleIndex = indexes[i] + 1;
        definitions[i].CounterType = PERF_COUNTER_LARGE_RAWCOUNT;
        definitions[i].CounterSize = sizeof(std::uint64_t);
        definitions[i].CounterOffset = firstValue + i * sizeof(std::uint64_t);
    }
    PERF_COUNTER_BLOCK counterBlock{};
    counterBlock.ByteLength = blockBytes;
    const std::uint64_t values[counters] = {bytesTransmitted, bytesReceived};

    std::vector<BYTE> bytes(totalBytes);
    BYTE* at = bytes.data();
    std::memcpy(at, &data, sizeof data);
    at += sizeof data;
    std::memcpy(at, &object, sizeof object);
    at += sizeof object;
    std::memcpy(at, definitions, sizeof definitions);
    at += sizeof definitions;
    std::memcpy(at, &counterBlock, sizeof counterBlock);
    at += firstValue;
    std::memcpy(at, values, sizeof values);
    return bytes;
}

} // namespace win

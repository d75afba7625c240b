#include "sources/PerfDataReader.h"

#include "platform/Winreg.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace pulo {

namespace {

constexpr std::size_t MinimumBlock = 100;
constexpr std::size_t MostDefinitions = 50;

// A record copied out of the block, or nothing when it would reach past its end.
template <typename Record> std::optional<Record> At(const win::BYTE* data, std::size_t size, std::size_t offset)
{
    if (offset > size || size - offset < sizeof(Record))
        return std::nullopt;
    Record record;
    std::memcpy(&record, data + offset, sizeof record);
    return record;
}

void Raise(std::optional<std::int64_t>& figure, std::int64_t value)
{
    figure = figure ? std::max(*figure, value) : value;
}

// Looks through one counter block for the two byte counters.
void ReadCounterBlock(const win::BYTE* data,
                      std::size_t size,
                      std::size_t block,
                      const std::vector<win::PERF_COUNTER_DEFINITION>& definitions,
                      TPerfByteCounts& counts)
{
    for (const auto& definition : definitions) {
        const bool transmitted = definition.CounterNameTitleIndex == win::BytesTransmittedIndex;
        const bool received = definition.CounterNameTitleIndex == win::BytesReceivedIndex;
        if (!transmitted && !received)
            continue;
        const std::size_t at = block + definition.CounterOffset;
        std::optional<std::int64_t> value;
        if (definition.CounterSize == sizeof(std::uint64_t)) {
            if (const auto large = At<std::uint64_t>(data, size, at))
                value = static_cast<std::int64_t>(
                    std::min<std::uint64_t>(*large, std::numeric_limits<std::int64_t>::max()));
        } else if (const auto small = At<std::int32_t>(data, size, at)) {
            value = *small;
        }
        if (value)
            Raise(transmitted ? counts.Transmitted : counts.Received, *value);
    }
}

} // namespace

bool ReadRasByteCounts(const win::BYTE* data,
                       std::size_t size,
                       TPerfByteCounts& counts,
                       const std::function<void()>& pause)
{
    const auto header = At<win::PERF_DATA_BLOCK>(data, size, 0);
    if (size < MinimumBlock || !header || header->NumObjectTypes == 0)
        return false;
    std::vector<win::PERF_COUNTER_DEFINITION> definitions;
    std::size_t object = header->HeaderLength;
    for (win::DWORD type = 0; type < header->NumObjectTypes; ++type) {
        if (pause)
            pause();
        const auto objectType = At<win::PERF_OBJECT_TYPE>(data, size, object);
        if (!objectType)
            break; // the block ends before the objects it announced
        const std::size_t next = object + objectType->TotalByteLength;
        if (objectType->NumCounters > 0) {
            if (objectType->NumCounters > MostDefinitions)
                return false;
            definitions.clear();
            std::size_t at = object + objectType->HeaderLength;
            for (win::DWORD i = 0; i < objectType->NumCounters; ++i) {
                const auto definition = At<win::PERF_COUNTER_DEFINITION>(data, size, at);
                if (!definition)
                    break;
                definitions.push_back(*definition);
                at += definition->ByteLength;
                if (pause)
                    pause();
            }
            const std::size_t firstInstance = object + objectType->DefinitionLength;
            if (objectType->NumInstances == win::PERF_NO_INSTANCES) {
                ReadCounterBlock(data, size, firstInstance, definitions, counts);
            } else {
                std::size_t instance = firstInstance;
                for (win::LONG i = 0; i < objectType->NumInstances; ++i) {
                    const auto definition = At<win::PERF_INSTANCE_DEFINITION>(data, size, instance);
                    if (!definition || definition->ByteLength == 0)
                        break;
                    const std::size_t block = instance + definition->ByteLength;
                    const auto counterBlock = At<win::PERF_COUNTER_BLOCK>(data, size, block);
                    if (!counterBlock || counterBlock->ByteLength == 0)
                        break;
                    ReadCounterBlock(data, size, block, definitions, counts);
                    instance = block + counterBlock->ByteLength;
                }
            }
        }
        if (objectType->TotalByteLength == 0 || next > size)
            break; // a length that does not lead on
        object = next;
    }
    return true;
}

} // namespace pulo

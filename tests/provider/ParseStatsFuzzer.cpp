// libFuzzer target: any body handed to the answer parse must leave a sound list behind (keys and
// values of equal count, every output caption present) without touching memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "provider/OutputKeys.h"
#include "provider/StatsStates.h"
#include "provider/StatsSession.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CStatsSession session;
    session.valueList = new host::StatsValueList;
    const kit::String body(std::string_view(reinterpret_cast<const char*>(data), size));
    if (session.ParseStats(body) != provider::StateStatsGathered) std::abort();
    const host::StatsValueList& list = *session.valueList;
    if (list.keys.GetSize() != list.values.GetSize()) std::abort();
    int captions = 0;
    for (std::size_t i = 0; i < provider::kOutputKeyCount; ++i) captions += provider::kOutputKeys[i].caption ? 1 : 0;
    if (list.keys.GetSize() < captions) std::abort();
    return 0;
}

// libFuzzer target: any body handed to the answer parse must leave a sound list behind (keys and
// values of equal count; every output caption present with its text when the body was read as
// statistics, nothing at all when it was not recognised) without touching memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "provider/OutputKeys.h"
#include "provider/StatsStates.h"
#include "provider/StatsSession.h"

namespace {

// The caption rows are the list's own texts: whatever the body held, each is there, in full.
bool HoldsPair(const host::StatsValueList& list, const char* key, const char* value) {
    for (int i = list.keys.GetSize() - 1; i >= 0; --i)
        if (list.keys[i] == key && list.values[i] == value) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CStatsSession session;
    session.ResetValueList();
    const kit::String body(std::string_view(reinterpret_cast<const char*>(data), size));
    const int state = session.ParseStats(body);
    const host::StatsValueList& list = *session.ValueList();
    if (list.keys.GetSize() != list.values.GetSize()) std::abort();
    if (state == provider::StateNotRecognised && list.keys.GetSize() == 0) return 0;
    if (state != provider::StateStatsGathered) std::abort();
    for (std::size_t i = 0; i < provider::kOutputKeyCount; ++i) {
        const provider::OutputKey& row = provider::kOutputKeys[i];
        if (!row.caption) continue;
        const bool longEnough = static_cast<int>(std::strlen(row.caption)) > row.minLength;
        if (!HoldsPair(list, row.key, longEnough ? row.caption : provider::kNoValue)) std::abort();
    }
    return 0;
}

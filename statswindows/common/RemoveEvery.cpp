#include "statswindows/common/RemoveEvery.h"

#include <cstring>

namespace stats {

kit::String RemoveEvery(const kit::String& text, std::string_view what, LeadByteTest isLeadByte) {
    const char* chars = text.c_str();
    const std::size_t length = static_cast<std::size_t>(text.GetLength());
    if (what.empty()) return text;
    kit::String out;
    std::size_t kept = 0;  // start of the bytes not yet copied
    std::size_t at = 0;
    while (at < length) {
        if (length - at >= what.size() && std::memcmp(chars + at, what.data(), what.size()) == 0) {
            out.Append(chars + kept, static_cast<int>(at - kept));
            at += what.size();
            kept = at;
            continue;
        }
        const bool pair = isLeadByte && isLeadByte(static_cast<unsigned char>(chars[at])) && at + 1 < length;
        at += pair ? 2 : 1;
    }
    out.Append(chars + kept, static_cast<int>(length - kept));
    return out;
}

}  // namespace stats

// The provider's statistics key vocabulary: the output keys that a parsed answer ends with, in
// the order the host receives them, each taken from a raw key of the flattening or a caption.
#pragma once
#include <cstddef>

namespace provider {

// The default of every pair the provider stores: "no value".
inline constexpr char kNoValue[] = "нет";

struct OutputKey {
    const char* key;
    const char* rawKey;   // the flattened key whose first value is copied; null for a caption row
    const char* caption;  // the fixed text of a caption row; null for a raw-key row
    int minLength;
};

extern const OutputKey kOutputKeys[];
extern const std::size_t kOutputKeyCount;

}  // namespace provider

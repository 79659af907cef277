// Interlocked 32-bit counters for the reference counts of shared string blocks. On Windows these
// are the Interlocked* calls; the portable build (sanitizers, fuzzer) uses the compiler's atomics.
#pragma once
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kit {

inline std::int32_t AtomicIncrement(volatile std::int32_t* value) {
#ifdef _WIN32
    static_assert(sizeof(LONG) == sizeof(std::int32_t));
    return InterlockedIncrement(reinterpret_cast<volatile LONG*>(value));
#else
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
#endif
}

inline std::int32_t AtomicDecrement(volatile std::int32_t* value) {
#ifdef _WIN32
    return InterlockedDecrement(reinterpret_cast<volatile LONG*>(value));
#else
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
#endif
}

inline std::int32_t AtomicLoad(const volatile std::int32_t* value) {
#ifdef _WIN32
    return *value;  // aligned 32-bit reads are atomic on x86
#else
    return __atomic_load_n(value, __ATOMIC_SEQ_CST);
#endif
}

}  // namespace kit

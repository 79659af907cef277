// Owners for what the HTTP client's objects hold between two statements: heap texts (every text of
// the client is a C runtime heap block, released with free) and WinInet handles. They keep the
// clean-up of each failure path in the type instead of in hand-written catch blocks.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/Unique.h"

namespace Tarvo {

struct HeapFree {
    void operator()(void* block) const noexcept { std::free(block); }
};
using HeapText = std::unique_ptr<char, HeapFree>;

namespace detail {
inline void CloseInternetHandle(HINTERNET handle) { ::InternetCloseHandle(handle); }
}  // namespace detail

using UniqueInternetHandle = kit::Unique<kit::NullTraits<HINTERNET, detail::CloseInternetHandle>>;

// A new heap text of exactly `length` bytes of `text` plus the NUL; 102 when the heap fails.
template <class TTool>
char* DuplicateText(const char* text, size_t length) {
    size_t size = TTool::CheckedAdd(length, 1);
    char* copy = static_cast<char*>(std::malloc(size));
    if (!copy) TTool::RaiseClientError(HTTPCLIENT_ERR_OUT_OF_MEMORY);
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

template <class TTool>
char* DuplicateText(const char* text) {
    return DuplicateText<TTool>(text, std::strlen(text));
}

// The next value of an owned text: the current block kept when the new text is the same pointer
// or the same bytes, null for null, else a new copy. Nothing changes until Commit, and a copy that
// was never committed is freed, so a failure between two of them leaves every text as it was.
template <class TTool>
class PendingText {
public:
    PendingText(HeapText& target, const char* value) : m_target(target) {
        m_keep = value && target && (value == target.get() || std::strcmp(value, target.get()) == 0);
        if (value && !m_keep) m_fresh.reset(DuplicateText<TTool>(value));
    }
    void Commit() {
        if (!m_keep) m_target = std::move(m_fresh);
    }

private:
    HeapText& m_target;
    HeapText m_fresh;
    bool m_keep;
};

}  // namespace Tarvo

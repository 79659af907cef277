// The boundary string and this module's two string managers: blocks from the heap, and blocks
// carved from slabs for strings made in bulk.
#include "String.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace kit {

namespace {

// Blocks from the C runtime heap; the nil block lives inside the manager and starts with two
// references so that balanced AddRef/Release never bring it to zero.
class HeapStringManager final : public IStringManager {
public:
    HeapStringManager() {
        m_nil.header.manager = this;
        m_nil.header.length = 0;
        m_nil.header.capacity = 0;
        m_nil.header.refs = 2;
        m_nil.terminator[0] = 0;
    }

    StringData* Allocate(int chars, int charSize) override {
        if (chars < 0 || charSize <= 0) return nullptr;
        const std::size_t bytes = BlockBytes(chars, charSize);
        if (bytes == 0) return nullptr;
        auto* data = static_cast<StringData*>(std::malloc(bytes));
        if (!data) return nullptr;
        data->manager = this;
        data->length = 0;
        data->capacity = chars;
        data->refs = 1;
        std::memset(data->chars(), 0, static_cast<std::size_t>(charSize));
        return data;
    }

    // GCC cannot see that the nil block never reaches free() once Release is inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
    void Free(StringData* data) override {
        if (data && data != &m_nil.header) std::free(data);
    }
#pragma GCC diagnostic pop

    StringData* Reallocate(StringData* data, int chars, int charSize) override {
        if (!data || data == &m_nil.header || chars < 0 || charSize <= 0) return nullptr;
        const std::size_t bytes = BlockBytes(chars, charSize);
        if (bytes == 0) return nullptr;
        auto* grown = static_cast<StringData*>(std::realloc(data, bytes));
        if (!grown) return nullptr;
        grown->capacity = chars;
        return grown;
    }

    StringData* GetNilString() override {
        m_nil.header.AddRef();
        return &m_nil.header;
    }

    IStringManager* Clone() override { return this; }

private:
    static std::size_t BlockBytes(int chars, int charSize) {
        const std::size_t limit = std::numeric_limits<std::int32_t>::max() - sizeof(StringData);
        const std::size_t units = static_cast<std::size_t>(chars) + 1;
        if (units > limit / static_cast<std::size_t>(charSize)) return 0;
        return sizeof(StringData) + units * static_cast<std::size_t>(charSize);
    }

    struct NilBlock {
        StringData header;
        char terminator[4];
    } m_nil;
};

}  // namespace

// A slab: its count of live strings, then the strings' blocks.
struct SlabChunk {
    volatile std::int32_t live;
};

namespace {

std::int32_t AtomicAdd(volatile std::int32_t* value, std::int32_t amount) {
#ifdef _WIN32
    return InterlockedExchangeAdd(reinterpret_cast<volatile LONG*>(value), amount) + amount;
#else
    return __atomic_add_fetch(value, amount, __ATOMIC_SEQ_CST);
#endif
}

// Slabs are aligned to their size, so that a block finds its slab from its own address and needs
// nothing in front of its header. 64 KiB is the allocation granularity of VirtualAlloc.
constexpr std::size_t kSlabBytes = 64 * 1024;
constexpr std::size_t kSlabHeader = 16;  // keeps the first block aligned as malloc would
constexpr int kMostCarved = 1024;        // a longer text gets a block of its own
// Held by the carver on its current slab, so that strings dying meanwhile never bring the count
// to zero; on retiring it the carver trades the hold for the number of blocks it carved.
constexpr std::int32_t kCarverHold = 1 << 30;
static_assert(kSlabHeader >= sizeof(SlabChunk) && kSlabHeader % alignof(StringData) == 0);

void* AllocateSlab() {
#ifdef _WIN32
    return VirtualAlloc(nullptr, kSlabBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
#else
    return std::aligned_alloc(kSlabBytes, kSlabBytes);
#endif
}

void FreeSlab(SlabChunk* slab) {
#ifdef _WIN32
    VirtualFree(slab, 0, MEM_RELEASE);
#else
    std::free(slab);
#endif
}

SlabChunk* SlabOf(StringData* data) {
    return reinterpret_cast<SlabChunk*>(reinterpret_cast<std::uintptr_t>(data) & ~(std::uintptr_t{kSlabBytes} - 1));
}

// The manager named by carved blocks: one for all slabs, so that slab strings share blocks among
// themselves as the strings of one manager do. Only StringSlab carves; what this manager hands
// out through the interface (a block for a slab string that is emptied, written again or grown)
// is an ordinary block of this module's heap manager.
class SlabStringManager final : public IStringManager {
public:
    StringData* Allocate(int chars, int charSize) override {
        return DefaultStringManager()->Allocate(chars, charSize);
    }

    void Free(StringData* data) override {
        if (!data) return;
        SlabChunk* slab = SlabOf(data);
        if (AtomicDecrement(&slab->live) == 0) FreeSlab(slab);
    }

    // A carved block cannot grow where it is: its text moves to a block of the heap manager.
    StringData* Reallocate(StringData* data, int chars, int charSize) override {
        if (!data || chars < 0 || charSize <= 0) return nullptr;
        StringData* fresh = DefaultStringManager()->Allocate(chars, charSize);
        if (!fresh) return nullptr;
        const int keep = data->length < chars ? data->length : chars;
        std::memcpy(fresh->chars(), data->chars(), static_cast<std::size_t>(keep) * static_cast<std::size_t>(charSize));
        fresh->chars()[keep] = 0;
        fresh->length = keep;
        fresh->refs = data->refs;
        Free(data);
        return fresh;
    }

    StringData* GetNilString() override { return DefaultStringManager()->GetNilString(); }

    IStringManager* Clone() override { return this; }
};

SlabStringManager* SlabManager() {
    static SlabStringManager manager;
    return &manager;
}

}  // namespace

IStringManager* DefaultStringManager() {
    static HeapStringManager manager;
    return &manager;
}

StringSlab::~StringSlab() { Retire(); }

void StringSlab::Retire() {
    if (m_slab && AtomicAdd(&m_slab->live, m_carved - kCarverHold) == 0) FreeSlab(m_slab);
    m_slab = nullptr;
}

void StringSlab::DestroyStrings(String* strings, int count) {
    IStringManager* const slabs = SlabManager();
    SlabChunk* run = nullptr;
    std::int32_t pending = 0;
    for (int i = 0; i <= count; ++i) {
        StringData* data = i < count ? strings[i].GetData() : nullptr;
        const bool carved = data && data->manager == slabs && AtomicLoad(&data->refs) == 1;
        SlabChunk* slab = carved ? SlabOf(data) : nullptr;
        if (run && slab != run) {
            if (AtomicAdd(&run->live, -pending) == 0) FreeSlab(run);
            run = nullptr;
            pending = 0;
        }
        if (carved) {
            run = slab;
            ++pending;  // this string's one reference: the block needs nothing more
        } else if (data) {
            strings[i].~String();
        }
    }
}

StringData* StringSlab::Carve(int length) {
    if (length > kMostCarved) {
        StringData* own = DefaultStringManager()->Allocate(length, 1);
        if (!own) throw std::bad_alloc();
        return own;
    }
    const std::size_t align = alignof(StringData);
    const std::size_t bytes = (sizeof(StringData) + static_cast<std::size_t>(length) + 1 + align - 1) / align * align;
    if (!m_slab || static_cast<std::size_t>(m_end - m_next) < bytes) {
        char* fresh = static_cast<char*>(AllocateSlab());
        if (!fresh) throw std::bad_alloc();
        Retire();
        m_slab = reinterpret_cast<SlabChunk*>(fresh);
        m_slab->live = kCarverHold;
        m_next = fresh + kSlabHeader;
        m_end = fresh + kSlabBytes;
        m_carved = 0;
    }
    auto* data = reinterpret_cast<StringData*>(m_next);
    m_next += bytes;
    ++m_carved;
    data->manager = SlabManager();
    data->length = 0;
    data->capacity = length;
    data->refs = 1;
    return data;
}

void StringData::Release() {
    // The last reference to a block of our own managers: no one else can reach the count, so the
    // interlocked decrement is skipped. Blocks of other managers always get it.
    if ((manager == DefaultStringManager() || manager == SlabManager()) && AtomicLoad(&refs) == 1) {
        manager->Free(this);
        return;
    }
    if (AtomicDecrement(&refs) <= 0) manager->Free(this);
}

String::String() { Attach(DefaultStringManager()->GetNilString()); }

String::String(IStringManager* manager) { Attach(manager->GetNilString()); }

String::String(const char* text) : String(text, text ? static_cast<int>(std::strlen(text)) : 0) {}

// A text of our own goes straight into a block of the exact length: the nil block is not touched.
String::String(const char* text, int length) {
    if (!text || length <= 0) {
        Attach(DefaultStringManager()->GetNilString());
        return;
    }
    StringData* data = DefaultStringManager()->Allocate(length, 1);
    if (!data) throw std::bad_alloc();
    std::memcpy(data->chars(), text, static_cast<std::size_t>(length));
    data->length = length;
    data->chars()[length] = 0;
    Attach(data);
}

String::String(std::string_view text)
    : String(text.data(), text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2)
                              ? throw std::bad_alloc()
                              : static_cast<int>(text.size())) {}

String::String(std::string_view text, StringSlab& slab) {
    if (text.empty()) {
        Attach(DefaultStringManager()->GetNilString());
        return;
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2)) throw std::bad_alloc();
    const int length = static_cast<int>(text.size());
    StringData* data = slab.Carve(length);
    std::memcpy(data->chars(), text.data(), text.size());
    data->length = length;
    data->chars()[length] = 0;
    Attach(data);
}

// As assignment to our nil string would do it: a block of our own manager (whose clone is itself)
// is shared unless locked; anything else takes the general road.
String::String(const String& other) {
    StringData* source = other.GetData();
    if (source->manager == DefaultStringManager() && !source->IsLocked()) {
        source->AddRef();
        Attach(source);
        return;
    }
    Attach(DefaultStringManager()->GetNilString());
    *this = other;
}

String::String(String&& other) noexcept : m_chars(other.m_chars) {
    other.Attach(DefaultStringManager()->GetNilString());
}

String::~String() { GetData()->Release(); }

String& String::operator=(const String& other) {
    StringData* source = other.GetData();
    StringData* old = GetData();
    if (source == old) return *this;
    if (old->IsLocked() || source->manager != old->manager) {
        Assign(other.m_chars, source->length);
        return *this;
    }
    IStringManager* clone = source->manager->Clone();
    StringData* fresh = nullptr;
    if (clone == source->manager && !source->IsLocked()) {
        source->AddRef();
        fresh = source;
    } else {
        fresh = clone ? clone->Allocate(source->length, 1) : nullptr;
        if (!fresh) throw std::bad_alloc();
        std::memcpy(fresh->chars(), source->chars(), static_cast<std::size_t>(source->length));
        fresh->length = source->length;
        fresh->chars()[source->length] = 0;
    }
    old->Release();
    Attach(fresh);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        GetData()->Release();
        m_chars = other.m_chars;
        other.Attach(DefaultStringManager()->GetNilString());
    }
    return *this;
}

String& String::operator=(const char* text) {
    Assign(text, text ? static_cast<int>(std::strlen(text)) : 0);
    return *this;
}

String& String::operator+=(const String& other) {
    Append(other.m_chars, other.GetLength());
    return *this;
}

String& String::operator+=(const char* text) {
    if (text) Append(text, static_cast<int>(std::strlen(text)));
    return *this;
}

String& String::operator+=(char c) {
    Append(&c, 1);
    return *this;
}

String operator+(const String& a, const String& b) {
    String joined(a.m_chars, a.GetLength());
    joined += b;
    return joined;
}

String operator+(const String& a, const char* b) {
    String joined(a.m_chars, a.GetLength());
    joined += b;
    return joined;
}

String operator+(const char* a, const String& b) {
    String joined(a);
    joined += b;
    return joined;
}

char* String::PrepareWrite(int length) {
    StringData* old = GetData();
    if (!old->IsShared() && old->capacity >= length) return m_chars;
    if (!old->IsShared() && old->length > 0) {
        StringData* grown = old->manager->Reallocate(old, length, 1);
        if (!grown) throw std::bad_alloc();
        Attach(grown);
        return m_chars;
    }
    // Shared (the nil block included): a fresh block of the same manager, keeping the text.
    StringData* fresh = old->manager->Allocate(length, 1);
    if (!fresh) throw std::bad_alloc();
    const int keep = old->length < length ? old->length : length;
    std::memcpy(fresh->chars(), old->chars(), static_cast<std::size_t>(keep));
    fresh->length = keep;
    fresh->chars()[keep] = 0;
    old->Release();
    Attach(fresh);
    return m_chars;
}

void String::SetLengthUnchecked(int length) {
    GetData()->length = length;
    m_chars[length] = 0;
}

void String::Assign(const char* text, int length) {
    if (!text || length <= 0) {
        Empty();
        return;
    }
    const StringData* old = GetData();
    if (text >= m_chars && text < m_chars + old->length) {
        // The source lies inside our own block: copy it out first.
        String copy(std::string_view(text, static_cast<std::size_t>(length)));
        Assign(copy.c_str(), copy.GetLength());
        return;
    }
    char* buffer = PrepareWrite(length);
    std::memcpy(buffer, text, static_cast<std::size_t>(length));
    SetLengthUnchecked(length);
}

void String::Append(const char* text, int length) {
    if (!text || length <= 0) return;
    const int current = GetLength();
    if (length > std::numeric_limits<int>::max() / 2 - current) throw std::bad_alloc();
    const int needed = current + length;
    if (text >= m_chars && text < m_chars + current) {
        String copy(std::string_view(text, static_cast<std::size_t>(length)));
        Append(copy.c_str(), copy.GetLength());
        return;
    }
    int capacity = GetData()->capacity;
    if (GetData()->IsShared() || capacity < needed) {
        capacity = needed + needed / 2;  // geometric growth keeps repeated appends linear
        if (capacity < 16) capacity = 16;
        char* buffer = PrepareWrite(capacity);
        std::memcpy(buffer + current, text, static_cast<std::size_t>(length));
    } else {
        std::memcpy(m_chars + current, text, static_cast<std::size_t>(length));
    }
    SetLengthUnchecked(needed);
}

void String::Empty() {
    StringData* old = GetData();
    if (old->length == 0) return;
    if (old->IsLocked()) {
        SetLengthUnchecked(0);
        return;
    }
    StringData* nil = old->manager->GetNilString();
    old->Release();
    Attach(nil);
}

char* String::LockBuffer(int minCapacity) {
    const int length = GetLength();
    char* buffer = PrepareWrite(minCapacity > length ? minCapacity : length);
    StringData* data = GetData();
    if (data->refs == 1) data->refs = -1;  // unshared now; a locked block is never shared
    return buffer;
}

void String::UnlockBuffer(int newLength) {
    StringData* data = GetData();
    if (data->IsLocked()) data->refs = 1;
    const int capacity = data->capacity;
    if (capacity == 0) return;  // nothing can have been written
    if (newLength < 0) newLength = static_cast<int>(strnlen(m_chars, static_cast<std::size_t>(capacity)));
    if (newLength > capacity) newLength = capacity;
    SetLengthUnchecked(newLength);
}

int String::Find(std::string_view what, int start) const {
    if (start < 0) start = 0;
    const std::size_t at = view().find(what, static_cast<std::size_t>(start));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace kit

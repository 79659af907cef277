// The boundary string: a reference-counted narrow (cp1251) string whose object is one pointer to
// its characters, with a 16-byte header in front of them (manager, length, capacity, references).
// Hosts built with the platform's class library pass and receive exactly this layout, so every
// text that crosses the host boundary is a kit::String, and its rules for copying, sharing and
// releasing follow what such a host expects:
//   - a block is freed by the manager named in its own header, never by anyone else;
//   - assignment shares a block only within one manager and never a locked block;
//   - blocks of a foreign manager (the host's) are always copied into a block of our own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Atomics.h"

namespace kit {

class IStringManager;

// The header in front of the characters. refs < 0 marks a locked block (never shared).
struct StringData {
    IStringManager* manager;
    std::int32_t length;
    std::int32_t capacity;
    volatile std::int32_t refs;

    char* chars() { return reinterpret_cast<char*>(this + 1); }
    const char* chars() const { return reinterpret_cast<const char*>(this + 1); }
    bool IsLocked() const { return AtomicLoad(&refs) < 0; }
    bool IsShared() const { return AtomicLoad(&refs) > 1; }
    void AddRef() { AtomicIncrement(&refs); }
    void Release();  // interlocked decrement; frees through `manager` when no longer positive
    static StringData* FromChars(const char* chars) {
        return reinterpret_cast<StringData*>(const_cast<char*>(chars)) - 1;
    }
};

// The manager interface as such a host calls it, slot by slot: allocate, free, reallocate, nil
// string, clone. No virtual destructor: a destructor would shift every slot.
class IStringManager {
public:
    virtual StringData* Allocate(int chars, int charSize) = 0;
    virtual void Free(StringData* data) = 0;
    virtual StringData* Reallocate(StringData* data, int chars, int charSize) = 0;
    virtual StringData* GetNilString() = 0;
    virtual IStringManager* Clone() = 0;

protected:
    ~IStringManager() = default;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(StringData) == 16, "string header is four 32-bit fields");
static_assert(offsetof(StringData, manager) == 0 && offsetof(StringData, length) == 4 &&
              offsetof(StringData, capacity) == 8 && offsetof(StringData, refs) == 12);
#elif defined(_WIN64)
// The 64-bit twin build: what a 64-bit host of the same class library sees (a pointer and three
// 32-bit fields, padded to the pointer's alignment).
static_assert(sizeof(StringData) == 24, "string header is a pointer and three 32-bit fields");
static_assert(offsetof(StringData, manager) == 0 && offsetof(StringData, length) == 8 &&
              offsetof(StringData, capacity) == 12 && offsetof(StringData, refs) == 16);
#endif

// The manager of this module: blocks from the C runtime heap and one nil block that is never freed.
IStringManager* DefaultStringManager();

class String;
struct SlabChunk;

// Many strings made one after another and dropped together (a list filled in one go) carved from
// large slabs: one allocation per slab instead of one per string. Each string is still a block of
// its own with its own header and reference count, freed through the manager its header names (a
// second manager of this module); a slab goes back to the system once its last string is gone
// and this object carves from it no longer. One thread carves; strings may die anywhere.
class StringSlab {
public:
    StringSlab() = default;
    StringSlab(const StringSlab&) = delete;
    StringSlab& operator=(const StringSlab&) = delete;
    ~StringSlab();

    // Destroys `count` strings in place as their destructors would. The last references to slab
    // blocks are given back slab by slab, one interlocked step for each run of blocks that share
    // a slab, instead of one for every string.
    static void DestroyStrings(String* strings, int count);

private:
    friend class String;
    StringData* Carve(int length);  // a block for `length` characters with refs 1
    void Retire();                  // gives up the slab carved from so far

    SlabChunk* m_slab = nullptr;
    char* m_next = nullptr;
    char* m_end = nullptr;
    std::int32_t m_carved = 0;
};

class String {
public:
    String();                                 // the nil string of this module's manager
    explicit String(IStringManager* manager);  // the nil string of `manager`
    String(const char* text);                 // NOLINT: texts convert implicitly, as at the boundary
    String(const char* text, int length);
    explicit String(std::string_view text);
    String(std::string_view text, StringSlab& slab);  // a copy of the text in a block from `slab`
    String(const String& other);  // follows the assignment rules: a foreign block is copied
    String(String&& other) noexcept;
    ~String();

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);
    String& operator+=(const String& other);
    String& operator+=(const char* text);
    String& operator+=(char c);
    friend String operator+(const String& a, const String& b);
    friend String operator+(const String& a, const char* b);
    friend String operator+(const char* a, const String& b);

    void Assign(const char* text, int length);  // copies into a block of our own
    void Append(const char* text, int length);
    void Empty();

    const char* c_str() const { return m_chars; }
    operator const char*() const { return m_chars; }  // NOLINT
    int GetLength() const { return GetData()->length; }
    bool IsEmpty() const { return GetLength() == 0; }
    std::string_view view() const { return {m_chars, static_cast<std::size_t>(GetLength())}; }
    std::string str() const { return std::string(view()); }
    StringData* GetData() const { return StringData::FromChars(m_chars); }
    IStringManager* GetManager() const { return GetData()->manager; }

    // A writable buffer of at least `minCapacity` characters; the block is locked until
    // UnlockBuffer, so it cannot be shared while someone writes through the pointer.
    char* LockBuffer(int minCapacity = 0);
    void UnlockBuffer(int newLength = -1);

    int Find(std::string_view what, int start = 0) const;

    friend bool operator==(const String& a, const String& b) { return a.view() == b.view(); }
    friend bool operator==(const String& a, const char* b) { return a.view() == std::string_view(b); }

private:
    void Attach(StringData* data) { m_chars = data->chars(); }
    char* PrepareWrite(int length);  // an unshared, unlocked-for-us block of capacity >= length
    void SetLengthUnchecked(int length);

    char* m_chars;
};

static_assert(sizeof(String) == sizeof(void*), "a boundary string object is one pointer");

}  // namespace kit

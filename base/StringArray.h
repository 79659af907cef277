// A growable array of boundary strings with the layout that a host built with the platform's
// class library reads: a vtable pointer, then data pointer, size, capacity and grow-by.
// The host only ever reads the layout (data[i] for i < size); it never calls the virtuals.
#pragma once
#include <cstdint>

#include "String.h"

namespace kit {

class StringArray {
public:
    StringArray() = default;
    StringArray(const StringArray&) = delete;
    StringArray& operator=(const StringArray&) = delete;
    virtual ~StringArray();

    int GetSize() const { return m_size; }
    const String& operator[](int index) const { return m_data[index]; }
    String& operator[](int index) { return m_data[index]; }
    const String* begin() const { return m_data; }
    const String* end() const { return m_data + m_size; }

    int Add(const String& value);  // returns the new element's index
    // A new element holding a copy of `length` characters, in a block of its own made to measure:
    // no string is made and dropped on the way. Returns its index.
    int AddText(const char* text, int length);
    int AddText(const char* text, int length, StringSlab& slab);  // the block carved from `slab`
    void RemoveAll();

private:
    void Grow(std::int32_t needed);

    String* m_data = nullptr;
    std::int32_t m_size = 0;
    std::int32_t m_capacity = 0;
    std::int32_t m_growBy = 0;  // 0: grow geometrically

    friend struct StringArrayLayout;
};

// Field offsets, checked at compile time where the layout crosses the boundary.
struct StringArrayLayout {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
    static constexpr std::size_t data = offsetof(StringArray, m_data);
    static constexpr std::size_t size = offsetof(StringArray, m_size);
    static constexpr std::size_t capacity = offsetof(StringArray, m_capacity);
    static constexpr std::size_t growBy = offsetof(StringArray, m_growBy);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(StringArray) == 20, "vtable pointer + data, size, capacity, grow-by");
static_assert(StringArrayLayout::data == 4 && StringArrayLayout::size == 8 &&
              StringArrayLayout::capacity == 12 && StringArrayLayout::growBy == 16);
#elif defined(_WIN64)
static_assert(sizeof(StringArray) == 32, "vtable pointer + data pointer, size, capacity, grow-by, padding");
static_assert(StringArrayLayout::data == 8 && StringArrayLayout::size == 16 &&
              StringArrayLayout::capacity == 20 && StringArrayLayout::growBy == 24);
#else
static_assert(StringArrayLayout::data == sizeof(void*) && StringArrayLayout::size > StringArrayLayout::data &&
              StringArrayLayout::capacity == StringArrayLayout::size + 4 &&
              StringArrayLayout::growBy == StringArrayLayout::capacity + 4);
#endif

}  // namespace kit

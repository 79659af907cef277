// Growable array of boundary strings; elements live in one raw block, constructed in place.
#include "StringArray.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace kit {

StringArray::~StringArray() {
    RemoveAll();
    std::free(m_data);
}

void StringArray::Grow(std::int32_t needed) {
    if (needed <= m_capacity) return;
    std::int32_t step = m_growBy;
    if (step <= 0) step = m_size < 4 ? 4 : m_size;  // doubling keeps a long run of adds linear
    std::int64_t capacity = static_cast<std::int64_t>(m_capacity) + step;
    if (capacity < needed) capacity = needed;
    if (capacity > std::numeric_limits<std::int32_t>::max() / static_cast<std::int64_t>(sizeof(String)))
        throw std::bad_alloc();
    // A String is one pointer with no self-references: its bytes can move without it, so the
    // elements are carried over by realloc, with no reference taken or dropped.
    void* grown = std::realloc(static_cast<void*>(m_data), static_cast<std::size_t>(capacity) * sizeof(String));
    if (!grown) throw std::bad_alloc();
    m_data = static_cast<String*>(grown);
    m_capacity = static_cast<std::int32_t>(capacity);
}

int StringArray::Add(const String& value) {
    if (m_size == std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
    // The copy is made before growing (`value` may be one of our own elements) in raw storage, so
    // that its bytes can then be moved into place without a second reference.
    alignas(String) unsigned char copy[sizeof(String)];
    new (copy) String(value);
    try {
        Grow(m_size + 1);
    } catch (...) {
        std::launder(reinterpret_cast<String*>(copy))->~String();
        throw;
    }
    std::memcpy(static_cast<void*>(&m_data[m_size]), copy, sizeof(String));
    return m_size++;
}

int StringArray::AddText(const char* text, int length) {
    if (m_size == std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
    if (m_size == m_capacity) Grow(m_size + 1);  // moves the string objects only, never characters
    new (&m_data[m_size]) String(text, length);
    return m_size++;
}

int StringArray::AddText(const char* text, int length, StringSlab& slab) {
    if (m_size == std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
    if (m_size == m_capacity) Grow(m_size + 1);
    new (&m_data[m_size]) String(std::string_view(text, length > 0 ? static_cast<std::size_t>(length) : 0), slab);
    return m_size++;
}

void StringArray::RemoveAll() {
    StringSlab::DestroyStrings(m_data, m_size);
    m_size = 0;
}

}  // namespace kit

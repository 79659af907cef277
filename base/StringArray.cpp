// Growable array of boundary strings; elements live in one raw block, constructed in place.
#include "StringArray.h"

#include <cstdlib>
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
    auto* grown = static_cast<String*>(std::malloc(static_cast<std::size_t>(capacity) * sizeof(String)));
    if (!grown) throw std::bad_alloc();
    // A String is one pointer with no self-references: moving the pointers is moving the objects.
    for (std::int32_t i = 0; i < m_size; ++i) new (&grown[i]) String(std::move(m_data[i]));
    for (std::int32_t i = 0; i < m_size; ++i) m_data[i].~String();
    std::free(m_data);
    m_data = grown;
    m_capacity = static_cast<std::int32_t>(capacity);
}

int StringArray::Add(const String& value) {
    if (m_size == std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
    String copy(value);  // made before growing: `value` may be one of our own elements
    Grow(m_size + 1);
    new (&m_data[m_size]) String(std::move(copy));
    return m_size++;
}

void StringArray::RemoveAll() {
    for (std::int32_t i = 0; i < m_size; ++i) m_data[i].~String();
    m_size = 0;
}

}  // namespace kit

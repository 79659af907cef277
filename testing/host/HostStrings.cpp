#include "testing/host/HostStrings.h"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace hoststub {

HostStringManager::HostStringManager() : m_heap(::HeapCreate(0, 0, 0)) {
    m_nil.header.manager = this;
    m_nil.header.length = 0;
    m_nil.header.capacity = 0;
    m_nil.header.refs = 2;
    m_nil.terminator[0] = 0;
}

HostStringManager::~HostStringManager() { ::HeapDestroy(m_heap); }

kit::StringData* HostStringManager::Allocate(int chars, int charSize) {
    if (chars < 0 || charSize != 1 || chars > (1 << 28)) return nullptr;
    auto* data = static_cast<kit::StringData*>(
        ::HeapAlloc(m_heap, 0, sizeof(kit::StringData) + static_cast<std::size_t>(chars) + 1));
    if (!data) return nullptr;
    ::InterlockedIncrement(&m_live);
    data->manager = this;
    data->length = 0;
    data->capacity = chars;
    data->refs = 1;
    data->chars()[0] = 0;
    return data;
}

void HostStringManager::Free(kit::StringData* data) {
    if (!data || data == &m_nil.header) return;
    ::InterlockedDecrement(&m_live);
    ::HeapFree(m_heap, 0, data);
}

kit::StringData* HostStringManager::Reallocate(kit::StringData* data, int chars, int charSize) {
    if (!data || data == &m_nil.header || chars < 0 || charSize != 1) return nullptr;
    auto* grown = static_cast<kit::StringData*>(
        ::HeapReAlloc(m_heap, 0, data, sizeof(kit::StringData) + static_cast<std::size_t>(chars) + 1));
    if (grown) grown->capacity = chars;
    return grown;
}

kit::StringData* HostStringManager::GetNilString() {
    ::InterlockedIncrement(reinterpret_cast<volatile LONG*>(&m_nil.header.refs));
    return &m_nil.header;
}

HostStringManager& TheHostStringManager() {
    static HostStringManager manager;
    return manager;
}

namespace {

void ReleaseBlock(kit::StringData* data) {
    if (::InterlockedDecrement(reinterpret_cast<volatile LONG*>(&data->refs)) <= 0) data->manager->Free(data);
}

}  // namespace

HostString::HostString(std::string_view text) {
    HostStringManager& manager = TheHostStringManager();
    kit::StringData* data = text.empty() ? manager.GetNilString() : manager.Allocate(static_cast<int>(text.size()), 1);
    if (!data) throw std::bad_alloc();
    std::memcpy(data->chars(), text.data(), text.size());
    data->length = static_cast<std::int32_t>(text.size());
    data->chars()[text.size()] = 0;
    m_chars = data->chars();
}

HostString::~HostString() { ReleaseBlock(header()); }

std::string HostString::text() const { return ReadBoundaryString(&m_chars); }

std::string ReadBoundaryString(const void* stringObject) {
    if (!stringObject) return {};
    const char* chars = *static_cast<const char* const*>(stringObject);
    if (!chars) return {};
    const auto* data = reinterpret_cast<const kit::StringData*>(chars) - 1;
    return std::string(chars, static_cast<std::size_t>(data->length));
}

void FillOutString(void* stringObject, std::string_view text) {
    auto** slot = static_cast<char**>(stringObject);
    kit::StringData* old = reinterpret_cast<kit::StringData*>(*slot) - 1;
    if (old->length == 0 && text.empty()) return;
    kit::IStringManager* manager = old->manager;
    kit::StringData* fresh = manager->Allocate(static_cast<int>(text.size()), 1);
    if (!fresh) throw std::bad_alloc();
    std::memcpy(fresh->chars(), text.data(), text.size());
    fresh->length = static_cast<std::int32_t>(text.size());
    fresh->chars()[text.size()] = 0;
    *slot = fresh->chars();
    ReleaseBlock(old);
}

std::string ToUtf8(std::string_view cp1251) {
    if (cp1251.empty()) return {};
    const int wide = ::MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), nullptr, 0);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(wide));
    ::MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), buffer.data(), wide);
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace hoststub

#include "testing/host/HostStrings.h"

#include <cstring>
#include <new>
#include <vector>

namespace hoststub {

namespace {

ManagerObject* ManagerOf(const HostBlock* block) { return static_cast<ManagerObject*>(block->manager); }

}  // namespace

const ManagerTable HostStringManager::kTable = {
    &HostStringManager::AllocateSlot,   &HostStringManager::FreeSlot, &HostStringManager::ReallocateSlot,
    &HostStringManager::NilStringSlot, &HostStringManager::CloneSlot,
};

HostStringManager::HostStringManager() : m_object{&kTable}, m_heap(::HeapCreate(0, 0, 0)) {
    m_nil.header.manager = &m_object;
    m_nil.header.length = 0;
    m_nil.header.capacity = 0;
    m_nil.header.refs = 2;
    m_nil.terminator[0] = 0;
}

HostStringManager::~HostStringManager() { ::HeapDestroy(m_heap); }

HostStringManager& HostStringManager::Of(ManagerObject* self) {
    return *reinterpret_cast<HostStringManager*>(reinterpret_cast<char*>(self) - offsetof(HostStringManager, m_object));
}

HostBlock* HostStringManager::Allocate(int chars) { return AllocateSlot(&m_object, chars, 1); }

HostBlock* __thiscall HostStringManager::AllocateSlot(ManagerObject* self, int chars, int charSize) {
    HostStringManager& manager = Of(self);
    if (chars < 0 || charSize != 1 || chars > (1 << 28)) return nullptr;
    auto* block = static_cast<HostBlock*>(
        ::HeapAlloc(manager.m_heap, 0, sizeof(HostBlock) + static_cast<std::size_t>(chars) + 1));
    if (!block) return nullptr;
    ::InterlockedIncrement(&manager.m_live);
    block->manager = self;
    block->length = 0;
    block->capacity = chars;
    block->refs = 1;
    block->chars()[0] = 0;
    return block;
}

void __thiscall HostStringManager::FreeSlot(ManagerObject* self, HostBlock* block) {
    HostStringManager& manager = Of(self);
    if (!block || block == &manager.m_nil.header) return;
    ::InterlockedDecrement(&manager.m_live);
    ::HeapFree(manager.m_heap, 0, block);
}

HostBlock* __thiscall HostStringManager::ReallocateSlot(ManagerObject* self, HostBlock* block, int chars,
                                                        int charSize) {
    HostStringManager& manager = Of(self);
    if (!block || block == &manager.m_nil.header || chars < 0 || charSize != 1 || chars > (1 << 28)) return nullptr;
    auto* grown = static_cast<HostBlock*>(
        ::HeapReAlloc(manager.m_heap, 0, block, sizeof(HostBlock) + static_cast<std::size_t>(chars) + 1));
    if (grown) grown->capacity = chars;
    return grown;
}

HostBlock* __thiscall HostStringManager::NilStringSlot(ManagerObject* self) {
    HostStringManager& manager = Of(self);
    ::InterlockedIncrement(&manager.m_nil.header.refs);
    return &manager.m_nil.header;
}

ManagerObject* __thiscall HostStringManager::CloneSlot(ManagerObject* self) { return self; }

HostStringManager& TheHostStringManager() {
    static HostStringManager manager;
    return manager;
}

void ReleaseBlock(HostBlock* block) {
    if (::InterlockedDecrement(&block->refs) <= 0) {
        ManagerObject* manager = ManagerOf(block);
        manager->table->free(manager, block);
    }
}

HostString::HostString(std::string_view text) {
    ManagerObject* manager = static_cast<ManagerObject*>(TheHostStringManager().boundaryObject());
    HostBlock* block =
        text.empty() ? manager->table->nilString(manager) : manager->table->allocate(manager, static_cast<int>(text.size()), 1);
    if (!block) throw std::bad_alloc();
    std::memcpy(block->chars(), text.data(), text.size());
    block->length = static_cast<std::int32_t>(text.size());
    block->chars()[text.size()] = 0;
    m_chars = block->chars();
}

HostString::~HostString() { ReleaseBlock(header()); }

std::string HostString::text() const { return ReadBoundaryString(&m_chars); }

std::string ReadBoundaryString(const void* stringObject) {
    if (!stringObject) return {};
    const char* chars = *static_cast<const char* const*>(stringObject);
    if (!chars) return {};
    const auto* block = reinterpret_cast<const HostBlock*>(chars) - 1;
    return std::string(chars, static_cast<std::size_t>(block->length));
}

void FillOutString(void* stringObject, std::string_view text) {
    auto** slot = static_cast<char**>(stringObject);
    HostBlock* old = reinterpret_cast<HostBlock*>(*slot) - 1;
    if (old->length == 0 && text.empty()) return;
    ManagerObject* manager = ManagerOf(old);
    HostBlock* fresh = manager->table->allocate(manager, static_cast<int>(text.size()), 1);
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

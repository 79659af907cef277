// The host's side of the boundary string, written without our class library's string types: the
// host has a string manager of its own (a private heap, counted blocks) laid out as the platform's
// class library lays out such an object (a pointer to a table of five __thiscall functions in the
// boundary's slot order: allocate, free, reallocate, nil string, clone), builds its string objects
// by hand, and reads and fills plug-in strings only through the header layout and the slots of
// the manager that a block names. Our kit::IStringManager and this table are two implementations
// of one boundary; a slot or calling convention that moved on one side only breaks the tests that
// pass strings through the stand-in host.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kit {
class String;  // only the pointer type that the host records carry
}

namespace hoststub {

// The header in front of a boundary string's characters, as the host reads it.
struct HostBlock {
    void* manager;  // the manager object that frees this block (see ManagerTable)
    std::int32_t length;
    std::int32_t capacity;
    volatile LONG refs;  // below 0: locked

    char* chars() { return reinterpret_cast<char*>(this + 1); }
    const char* chars() const { return reinterpret_cast<const char*>(this + 1); }
};
#ifndef _WIN64
static_assert(sizeof(HostBlock) == 16 && offsetof(HostBlock, length) == 4 && offsetof(HostBlock, capacity) == 8 &&
              offsetof(HostBlock, refs) == 12);
#endif

// A string manager as the boundary sees one: an object whose first field points to this table.
struct ManagerObject;
struct ManagerTable {
    HostBlock*(__thiscall* allocate)(ManagerObject* self, int chars, int charSize);
    void(__thiscall* free)(ManagerObject* self, HostBlock* block);
    HostBlock*(__thiscall* reallocate)(ManagerObject* self, HostBlock* block, int chars, int charSize);
    HostBlock*(__thiscall* nilString)(ManagerObject* self);
    ManagerObject*(__thiscall* clone)(ManagerObject* self);
};
struct ManagerObject {
    const ManagerTable* table;
};

// The host's own manager. Its table pointer comes first, where the boundary looks for it.
class HostStringManager {
public:
    HostStringManager();
    ~HostStringManager();
    HostStringManager(const HostStringManager&) = delete;
    HostStringManager& operator=(const HostStringManager&) = delete;

    HostBlock* Allocate(int chars);
    long LiveBlocks() const { return m_live; }
    void* boundaryObject() { return &m_object; }  // what a block's manager field holds

private:
    static HostStringManager& Of(ManagerObject* self);
    static HostBlock* __thiscall AllocateSlot(ManagerObject* self, int chars, int charSize);
    static void __thiscall FreeSlot(ManagerObject* self, HostBlock* block);
    static HostBlock* __thiscall ReallocateSlot(ManagerObject* self, HostBlock* block, int chars, int charSize);
    static HostBlock* __thiscall NilStringSlot(ManagerObject* self);
    static ManagerObject* __thiscall CloneSlot(ManagerObject* self);
    static const ManagerTable kTable;

    ManagerObject m_object;  // first: the object's address is the manager's address
    HANDLE m_heap;
    volatile long m_live = 0;
    struct {
        HostBlock header;
        char terminator[4];
    } m_nil;
};

HostStringManager& TheHostStringManager();

// A string object owned by the host: one pointer to characters in a block of the host's manager.
// Its address is what the host puts into records and messages.
class HostString {
public:
    explicit HostString(std::string_view text = {});
    HostString(const HostString&) = delete;
    HostString& operator=(const HostString&) = delete;
    ~HostString();

    kit::String* object() { return reinterpret_cast<kit::String*>(&m_chars); }
    HostBlock* header() const { return reinterpret_cast<HostBlock*>(m_chars) - 1; }
    std::string text() const;

private:
    char* m_chars;
};

// Reads a plug-in's string object through its header (length, then characters).
std::string ReadBoundaryString(const void* stringObject);

// Fills an out string the way the platform's class library would assign to it: a new block from
// the manager named in the object's current (nil) block, through that manager's table, the text
// copied in, the old block released through its own manager.
void FillOutString(void* stringObject, std::string_view text);

// Releases one reference to a block; the last one frees it through the block's own manager.
void ReleaseBlock(HostBlock* block);

// cp1251 to UTF-8, for printing on a Linux terminal.
std::string ToUtf8(std::string_view cp1251);

}  // namespace hoststub

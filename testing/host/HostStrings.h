// The host's side of the boundary string, written independently of our class library: the host
// has a string manager of its own (a private heap, counted blocks), builds its string objects by
// hand, and reads and fills plug-in strings only through the header layout and the manager's
// virtual slots. Every test that passes strings through the stand-in host therefore crosses a
// real foreign-manager boundary.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/String.h"  // for the IStringManager slot layout and the header record only

namespace hoststub {

class HostStringManager final : public kit::IStringManager {
public:
    HostStringManager();
    ~HostStringManager();
    HostStringManager(const HostStringManager&) = delete;
    HostStringManager& operator=(const HostStringManager&) = delete;

    kit::StringData* Allocate(int chars, int charSize) override;
    void Free(kit::StringData* data) override;
    kit::StringData* Reallocate(kit::StringData* data, int chars, int charSize) override;
    kit::StringData* GetNilString() override;
    kit::IStringManager* Clone() override { return this; }

    long LiveBlocks() const { return m_live; }

private:
    HANDLE m_heap;
    volatile long m_live = 0;
    struct {
        kit::StringData header;
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
    kit::StringData* header() const { return reinterpret_cast<kit::StringData*>(m_chars) - 1; }
    std::string text() const;

private:
    char* m_chars;
};

// Reads a plug-in's string object through its header (length, then characters).
std::string ReadBoundaryString(const void* stringObject);

// Fills an out string the way the platform's class library would assign to it: a new block from
// the manager named in the object's current (nil) block, the text copied in, the old block
// released through its own manager.
void FillOutString(void* stringObject, std::string_view text);

// cp1251 to UTF-8, for printing on a Linux terminal.
std::string ToUtf8(std::string_view cp1251);

}  // namespace hoststub

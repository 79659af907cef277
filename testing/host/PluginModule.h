// Loading a plug-in the way the host does: LoadLibrary, exports resolved by name (or ordinal),
// menus walked with the cursor protocol, and the module's export table read back for checks.
#pragma once
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/Unique.h"

namespace hoststub {

struct ExportEntry {
    std::string name;  // empty for an export by ordinal only
    unsigned ordinal;
};

// A Unix path as a path of Wine's Z: drive; Windows paths pass unchanged.
std::string WindowsPath(std::string path);

class PluginModule {
public:
    explicit PluginModule(const std::string& path);  // Windows or Unix path

    HMODULE handle() const { return m_module.get(); }
    void Unload() { m_module.reset(); }

    FARPROC Find(const char* name) const { return ::GetProcAddress(m_module.get(), name); }
    FARPROC FindOrdinal(unsigned ordinal) const {
        return ::GetProcAddress(m_module.get(), MAKEINTRESOURCEA(ordinal));
    }
    template <class Fn>
    Fn Resolve(const char* name) const {
        FARPROC proc = Find(name);
        if (!proc) throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    }

    std::vector<ExportEntry> Exports() const;
    std::string ExportModuleName() const;  // the export table's own name for the module

private:
    kit::UniqueModule m_module;
};

// The menu cursor protocol: cursor 0, then the value written back, until 0 comes back.
template <class Item, class MenuFn>
std::vector<Item> WalkMenu(MenuFn menu, unsigned limit = 64) {
    std::vector<Item> items;
    int cursor = 0;
    for (unsigned i = 0; i < limit; ++i) {
        Item item{};
        menu(&item, &cursor);
        if (cursor == 0) break;
        items.push_back(item);
    }
    return items;
}

}  // namespace hoststub

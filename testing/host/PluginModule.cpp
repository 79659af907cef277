#include "testing/host/PluginModule.h"

namespace hoststub {

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return path;
}

PluginModule::PluginModule(const std::string& path) : m_module(::LoadLibraryA(WindowsPath(path).c_str())) {
    if (!m_module) throw std::runtime_error("cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")");
}

namespace {

const IMAGE_EXPORT_DIRECTORY* ExportDirectory(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return nullptr;
    return reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
}

}  // namespace

std::vector<ExportEntry> PluginModule::Exports() const {
    std::vector<ExportEntry> entries;
    const IMAGE_EXPORT_DIRECTORY* dir = ExportDirectory(m_module.get());
    if (!dir) return entries;
    const auto* base = reinterpret_cast<const BYTE*>(m_module.get());
    const auto* names = reinterpret_cast<const DWORD*>(base + dir->AddressOfNames);
    const auto* ordinals = reinterpret_cast<const WORD*>(base + dir->AddressOfNameOrdinals);
    std::vector<bool> named(dir->NumberOfFunctions, false);
    for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
        entries.push_back({reinterpret_cast<const char*>(base + names[i]), dir->Base + ordinals[i]});
        if (ordinals[i] < named.size()) named[ordinals[i]] = true;
    }
    const auto* functions = reinterpret_cast<const DWORD*>(base + dir->AddressOfFunctions);
    for (DWORD i = 0; i < dir->NumberOfFunctions; ++i)
        if (!named[i] && functions[i]) entries.push_back({"", dir->Base + i});
    return entries;
}

std::string PluginModule::ExportModuleName() const {
    const IMAGE_EXPORT_DIRECTORY* dir = ExportDirectory(m_module.get());
    if (!dir) return {};
    return reinterpret_cast<const char*>(reinterpret_cast<const BYTE*>(m_module.get()) + dir->Name);
}

}  // namespace hoststub

// The engine's file helpers: version resources, profile reads, the embedded files, the removal
// of a folder tree and the application's message box.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "update/UpdateEngine.h"
#include "update/portable/VersionText.h"

HMODULE UpdateOwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&UpdateOwnModule), &module);
    return module;
}

kit::String GetFileVersionText(const char* path) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return kit::String();
    std::vector<char> block;
    try {
        block.resize(size);
    } catch (...) {
        return kit::String();
    }
    if (!::GetFileVersionInfoA(path, 0, size, block.data())) return kit::String();
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO)) {
        return kit::String();
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return FileVersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

kit::String ReadIniString(const char* file, const char* section, const char* key, const char* defaultText) {
    char text[UpdateList::kTextCapacity];
    DWORD length = ::GetPrivateProfileStringA(section, key, defaultText, text, sizeof text, file);
    return kit::String(text, static_cast<int>(length));
}

int ReadIniInt(const char* file, const char* section, const char* key, int defaultValue) {
    return static_cast<int>(::GetPrivateProfileIntA(section, key, defaultValue, file));
}

UpdateResult ExtractFileResource(const char* target, int id, HMODULE module) {
    if (!module) module = UpdateOwnModule();
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), kFileResourceType);
    if (!found) return UpdaterNotWritten;
    HGLOBAL loaded = ::LoadResource(module, found);  // module memory: nothing to free
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(module, found);
    if (!bytes) return UpdaterNotWritten;
    kit::UniqueFile file(
        ::CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return UpdaterNotWritten;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file.get(), bytes, size, &written, nullptr);
    return ok && written == size ? UpdaterWritten : UpdaterNotWritten;
}

bool DeleteFolderTree(const char* folder) {
    std::string base(folder);
    while (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
    WIN32_FIND_DATAA found;
    kit::UniqueFind listing(::FindFirstFileA((base + "\\*").c_str(), &found));
    if (!listing) return false;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        std::string path = base + "\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A linked folder is removed as a link: what it points to is not ours to delete.
            bool removed = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                               ? ::RemoveDirectoryA(path.c_str()) != FALSE
                               : DeleteFolderTree(path.c_str());
            if (!removed) return false;
        } else {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                ::SetFileAttributesA(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            }
            if (!::DeleteFileA(path.c_str())) return false;
        }
    } while (::FindNextFileA(listing.get(), &found));
    if (::GetLastError() != ERROR_NO_MORE_FILES) return false;
    listing.reset();  // a folder cannot be removed while it is being listed
    return ::RemoveDirectoryA(base.c_str()) != FALSE;
}

int ShowMessage(const char* text, UINT style) { return ::MessageBoxA(::GetActiveWindow(), text, "pendrake", style); }

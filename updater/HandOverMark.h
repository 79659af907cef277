// The mark of a hand-over: a named event that exists for exactly as long as an updater runs for
// one "_update" folder, so that the update plug-in leaves that folder alone meanwhile. A name
// rather than a process: no other program can pass for the updater, and every plug-in that uses
// the folder finds the mark, a plug-in loaded after the host's restart among them.
//
// The plug-in makes the event before it starts the updater and keeps it until the updater has
// taken it too (or has ended), so the folder is marked from the start on. The updater takes the
// event as soon as it knows its list, signals that it holds it and keeps it to its end; one that
// was started by hand takes it the same way. The system removes a named event with its last
// handle: the mark goes with the updater, whatever way it ends.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/Unique.h"

namespace handover {

// How long the plug-in waits for a started updater to take the mark before it lets its own go.
constexpr DWORD kMarkTakenWaitMs = 10000;

// The one spelling of `folder` that every path to it shares: backslashes, no doubled or trailing
// separator, the full long path in lower case.
inline std::string CanonicalFolder(const std::string& folder) {
    std::string path;
    for (char c : folder) {
        if (c == '/') c = '\\';
        // The doubled separator of a network path's start stays.
        if (c == '\\' && path.size() > 1 && path.back() == '\\') continue;
        path += c;
    }
    char full[MAX_PATH * 2] = "";
    DWORD length = ::GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length > 0 && length < sizeof full) path.assign(full, length);
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    char longPath[MAX_PATH * 2] = "";
    length = ::GetLongPathNameA(path.c_str(), longPath, sizeof longPath);
    if (length > 0 && length < sizeof longPath) path.assign(longPath, length);
    if (!path.empty()) ::CharLowerBuffA(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

// "Local\pendrake.handover.<64-bit FNV-1a of the canonical folder, hex>": a path may be longer
// than an object's name and holds backslashes, which a name may not.
inline std::string MarkName(const std::string& updateFolder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : CanonicalFolder(updateFolder)) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[64] = "";
    std::snprintf(name, sizeof name, "Local\\pendrake.handover.%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// True while an updater runs for `updateFolder`, or a plug-in is starting one.
inline bool IsMarked(const std::string& updateFolder) {
    const kit::UniqueHandle mark(::OpenEventA(SYNCHRONIZE, FALSE, MarkName(updateFolder).c_str()));
    // An updater that runs elevated may have made the event with rights that do not let us open it.
    return mark || ::GetLastError() == ERROR_ACCESS_DENIED;
}

// The plug-in's hold, made before the updater starts; unsignaled until an updater has taken it.
inline kit::UniqueHandle MakeMark(const std::string& updateFolder) {
    return kit::UniqueHandle(::CreateEventA(nullptr, TRUE, FALSE, MarkName(updateFolder).c_str()));
}

// The updater's hold for its lifetime: the event the plug-in made (or a new one), signalled.
inline kit::UniqueHandle TakeMark(const std::string& updateFolder) {
    kit::UniqueHandle mark(::CreateEventA(nullptr, TRUE, FALSE, MarkName(updateFolder).c_str()));
    if (mark) ::SetEvent(mark.get());
    return mark;
}

}  // namespace handover

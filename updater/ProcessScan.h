// The wait for the host program: which running processes have a main module whose full path
// contains a given text. The updater's own process never counts, so a text that also occurs in
// the updater's own path (it runs from the temporary folder) cannot make it wait for itself.
#pragma once
#include <windows.h>

#include <string>

namespace updater {

// Lower case in the ANSI code page (cp1251 letters included), as the paths are compared.
std::string LowerCase(std::string text);

// True when `process` is not `skip` and the lower-cased path of its main module contains `text`
// (lower case already). A process that cannot be opened or read does not match.
bool MatchProcessPath(DWORD process, const std::string& text, DWORD skip);

// True when a running process other than this one matches `text`; a text shorter than three
// characters matches nothing.
bool FindProcessByPath(const std::string& text);

}  // namespace updater

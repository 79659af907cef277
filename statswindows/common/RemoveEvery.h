// Removing every occurrence of a text from a value, character by character in a multibyte code
// page: a match may start only where a character starts, never on the trail byte of a double-byte
// character, and the search goes on after each match. Portable: the code page's lead bytes come
// from the caller (the Windows side asks the process's ANSI code page).
#pragma once
#include <string_view>

#include "base/String.h"

namespace stats {

using LeadByteTest = bool (*)(unsigned char byte);

// `text` without any occurrence of `what`; the bytes around each one stay. An empty `what`
// removes nothing; a lead byte at the very end counts as a character of its own.
kit::String RemoveEvery(const kit::String& text, std::string_view what, LeadByteTest isLeadByte);

}  // namespace stats

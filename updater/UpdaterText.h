// The updater's text rules that need nothing of Windows: the markers around the update list's
// path on the command line, and which names of the downloaded tree may be joined below the
// program folder. cp1251 is a single-byte code page, so a byte search is the multibyte-aware one.
#pragma once
#include <string>
#include <string_view>

namespace updater {

enum class Keep { After, Before };

// The text after (Keep::After) or before (Keep::Before) the first `marker`, case-sensitive;
// empty when the marker is absent.
std::string CutAtMarker(std::string_view text, std::string_view marker, Keep keep);

// The update list named on the command line: for every argument after the program name, the text
// between "<file>" and "</file>"; only a result longer than 5 characters counts, and the last one
// that counts wins. Empty when none does.
std::string IniPathFromArguments(int argc, const char* const* argv);

// `path` without its last part: the text before the last '\' or '/'; empty when it has neither.
std::string ParentFolder(std::string_view path);

// A name from a folder listing that stays inside the folder it is joined to and names a file of it:
// not "." or "..", nothing but dots, no separator and no drive or stream colon, and nothing that
// the update list's names may not be either (a device name, a control character).
bool IsSafeEntryName(std::string_view name);

}  // namespace updater

// Command-line markers and entry names of the updater (see UpdaterText.h).
#include "updater/UpdaterText.h"

#include <string>

#include "update/portable/UpdateListRules.h"

namespace updater {

std::string CutAtMarker(std::string_view text, std::string_view marker, Keep keep) {
    const std::size_t at = text.find(marker);
    if (at == std::string_view::npos) return {};
    if (keep == Keep::After) return std::string(text.substr(at + marker.size()));
    return std::string(text.substr(0, at));
}

std::string IniPathFromArguments(int argc, const char* const* argv) {
    std::string iniPath;
    for (int i = 1; i < argc; ++i) {
        if (!argv[i]) continue;
        std::string candidate = CutAtMarker(CutAtMarker(argv[i], "<file>", Keep::After), "</file>", Keep::Before);
        if (candidate.size() > 5) iniPath = std::move(candidate);
    }
    return iniPath;
}

std::string ParentFolder(std::string_view path) {
    const std::size_t at = path.find_last_of("\\/");
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at));
}

bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || name.find_first_not_of('.') == std::string_view::npos) return false;
    if (name.find_first_of(std::string_view("\\/:\0", 4)) != std::string_view::npos) return false;
    // The tree was downloaded by the names of the update list: whatever the list may not name
    // (a device, a control character) is refused here too.
    return IsSafeListPath("", std::string(name).c_str());
}

}  // namespace updater

// The update list's rules without Win32 (see UpdateListRules.h).
#include "update/portable/UpdateListRules.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "update/portable/FormatText.h"
#include "update/portable/VersionText.h"

std::uint32_t ParseColorText(const char* text) {
    std::size_t length = std::strlen(text);
    unsigned channel[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        char piece[3] = {0, 0, 0};
        std::size_t start = 1 + 2 * static_cast<std::size_t>(i);
        for (std::size_t k = 0; k < 2 && start + k < length; ++k) piece[k] = text[start + k];
        channel[i] = static_cast<unsigned>(std::strtol(piece, nullptr, 16)) & 0xFF;
    }
    return channel[0] | (channel[1] << 8) | (channel[2] << 16);
}

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A component that the system would read as the parent folder: two or more dots, with or
// without blanks among them ("..", "...", ".. ").
bool IsParentLike(std::string_view component) {
    int dots = 0;
    for (char c : component) {
        if (c == '.') {
            ++dots;
        } else if (c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Lower(text[i]) != lower[i]) return false;
    }
    return true;
}

// A component that the system opens as a device in any folder: CON, PRN, AUX, NUL, COM1 to COM9
// or LPT1 to LPT9, in any letter case, also with an extension ("nul.txt", "com1.tar.gz"), trailing
// dots ("nul.") and blanks before the extension or at the end ("nul .txt", "con  "): the system
// reads the name up to its first dot and drops the blanks that end that part.
bool IsDeviceName(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (std::string_view device : {"con", "prn", "aux", "nul"}) {
        if (EqualsNoCase(base, device)) return true;
    }
    if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
    const std::string_view prefix = base.substr(0, 3);
    return EqualsNoCase(prefix, "com") || EqualsNoCase(prefix, "lpt");
}

bool IsSafePart(std::string_view part) {
    if (!part.empty() && IsSeparator(part.front())) return false;  // absolute, or a network path
    for (char c : part) {
        if (static_cast<unsigned char>(c) < 0x20) return false;  // control characters: no file name holds them
    }
    if (part.find(':') != std::string_view::npos) return false;   // drive letter, stream name
    std::size_t start = 0;
    while (start <= part.size()) {
        std::size_t end = start;
        while (end < part.size() && !IsSeparator(part[end])) ++end;
        const std::string_view component = part.substr(start, end - start);
        if (IsParentLike(component) || IsDeviceName(component)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool IsSafeListPath(const char* localpath, const char* name) {
    // The two are joined without a separator: check each and the joint.
    std::string joined = std::string(localpath) + name;
    return IsSafePart(localpath) && IsSafePart(name) && IsSafePart(joined);
}

kit::String FileSectionName(int index) { return FormatText(UpdateList::kFileSectionFormat, index); }

FileSectionVerdict ReadFileSection(IUpdateListReader& reader, int index, const InstalledVersionFn& installed,
                                   UpdateFileEntry& entry) {
    using namespace UpdateList;
    kit::String section = FileSectionName(index);
    entry = UpdateFileEntry();
    entry.name = reader.ReadText(section, kName);
    if (entry.name.IsEmpty()) return FileSectionVerdict::NoName;
    entry.localpath = reader.ReadText(section, kLocalPath);
    entry.version = reader.ReadText(section, kVersion);
    entry.action = reader.ReadNumber(section, kAction, 0);
    if (!IsSafeListPath(entry.localpath, entry.name)) return FileSectionVerdict::Unsafe;
    if (entry.action == 0) {
        kit::String current = installed(entry.localpath, entry.name);
        if (!current.IsEmpty() && CompareVersions(entry.version, current) != 1) return FileSectionVerdict::NotNewer;
    }
    entry.url = reader.ReadText(section, kLink) + entry.name;
    entry.info = reader.ReadText(section, kInfo);
    entry.filesize = reader.ReadNumber(section, kFileSize, 0);
    entry.restart = reader.ReadNumber(section, kRestart, 0) != 0;
    entry.runexe = reader.ReadNumber(section, kRunExe, 0) != 0;
    entry.terminate = reader.ReadNumber(section, kTerminate, 0) != 0;
    entry.selected = 1;
    return FileSectionVerdict::Kept;
}

int CountNewFiles(const UpdateFileList& files) {
    int count = 0;
    for (const UpdateFileEntry& entry : files) {
        if (entry.action == 0) ++count;
    }
    return count;
}

double GetNewFilesSize(const UpdateFileList& files) {
    double size = 0.0;
    for (const UpdateFileEntry& entry : files) {
        if (entry.action == 0) size += entry.filesize;
    }
    return size;
}

kit::String GetExecPath(const UpdateFileList& files, const kit::String& tempFolder) {
    for (const UpdateFileEntry& entry : files) {
        if (entry.action == 0 && entry.runexe) {
            return tempFolder + UpdateList::kUpdateFolder + UpdateList::kFilesFolder + entry.localpath + entry.name;
        }
    }
    return kit::String();
}

kit::String UpdateListFile(const kit::String& tempFolder) {
    return tempFolder + "/" + UpdateList::kUpdateFolder + UpdateList::kLocalFile;
}

kit::String UpdaterArgument(const kit::String& tempFolder) {
    kit::String list = tempFolder + UpdateList::kUpdateFolder + UpdateList::kLocalFile;
    return "\"" + FormatText("<file>%s</file>", list.c_str()) + "\"";
}

std::vector<int> FileSectionIndices(const std::vector<std::string>& sectionNames, int countfiles) {
    std::vector<int> indices;
    for (const std::string& section : sectionNames) {
        if (section.size() < 5 || section.size() > 14) continue;
        bool prefix = true;
        for (int k = 0; k < 4; ++k) prefix = prefix && (section[k] | 0x20) == "file"[k];
        if (!prefix || section[4] == '0') continue;
        long long index = 0;
        bool digits = true;
        for (std::size_t k = 4; k < section.size(); ++k) {
            if (section[k] < '0' || section[k] > '9') {
                digits = false;
                break;
            }
            index = index * 10 + (section[k] - '0');
        }
        if (digits && index >= 1 && index <= countfiles) indices.push_back(static_cast<int>(index));
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

bool ChunkReadsAsNotFound(const char* bytes, std::size_t count) {
    std::string_view text(bytes, count);
    text = text.substr(0, text.find('\0'));
    return text.find("404") != std::string_view::npos;
}

// The update list's rules that need no Win32: colour texts, which paths from the server may
// become local files, how one file section becomes an UpdateFileEntry (or is dropped), the sums
// over the list, the program that the updater runs instead of copying, and the updater's command
// line. The engine feeds them from the profile functions; tests feed them from tables.
#pragma once
#include <cstdint>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "base/String.h"
#include "update/UpdateMessages.h"

// A colour text "#RRGGBB": characters 2-3, 4-5 and 6-7 are each read as a hexadecimal number
// (strtol; what cannot be read is 0; a shorter text gives shorter or empty pieces) and their low
// 8 bits give red, green and blue. The result is a COLORREF (red in the low byte).
std::uint32_t ParseColorText(const char* text);

// Whether a section's localpath and name may be joined below the download folder and the program
// folder: neither may be absolute (a leading separator), hold a colon (drive letters, streams) or a
// control character (a byte below 0x20), or have a component of two or more dots (with blanks: the
// system drops trailing dots and blanks), nor a component that names a device (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, also with an extension or trailing dots and blanks, in any case): its bytes
// would go to the device.
bool IsSafeListPath(const char* localpath, const char* name);

// Where a file section's values come from (the saved list file, in the engine).
class IUpdateListReader {
public:
    virtual kit::String ReadText(const char* section, const char* key) = 0;  // "" when missing
    virtual int ReadNumber(const char* section, const char* key, int defaultValue) = 0;

protected:
    ~IUpdateListReader() = default;
};

// The installed version of a file (relative to the program folder: localpath + name), or empty.
using InstalledVersionFn = std::function<kit::String(const kit::String& localpath, const kit::String& name)>;

enum class FileSectionVerdict {
    Kept,      // `entry` holds the section
    NoName,    // no name: skipped silently
    Unsafe,    // the name or localpath would leave the folders: refused (the caller logs it)
    NotNewer,  // older, equal or an invalid version against an installed file: dropped silently
};

// Reads section "file<index>" in the list's order of keys: name, localpath, version, action; then,
// for a kept section, link, info, filesize, restart, runexe, terminate. An action-0 section is
// compared with the installed file's version; a section with any other action is not.
FileSectionVerdict ReadFileSection(IUpdateListReader& reader, int index, const InstalledVersionFn& installed,
                                   UpdateFileEntry& entry);

kit::String FileSectionName(int index);  // "file<index>"

// The numbers from 1 to countfiles, in order, whose section "file<n>" is among `sectionNames`
// (matched as the profile functions match, without regard to case). Reading only these gives what
// reading every section from 1 to countfiles gives (a missing section has no name), without
// spending minutes on a list that claims two billion files.
std::vector<int> FileSectionIndices(const std::vector<std::string>& sectionNames, int countfiles);

// The chunk test of a download without an HTTP status: the chunk's bytes up to the first zero
// byte among them (never beyond `count`) hold the text "404".
bool ChunkReadsAsNotFound(const char* bytes, std::size_t count);

int CountNewFiles(const UpdateFileList& files);      // entries with action 0
double GetNewFilesSize(const UpdateFileList& files); // their filesize, summed

// The first entry with action 0 and runexe set gives tempFolder + "_update/_files/" + localpath +
// name; none gives the empty text.
kit::String GetExecPath(const UpdateFileList& files, const kit::String& tempFolder);

// The list file that the updater reads: tempFolder + "/" + "_update/" + "_updlist.ini".
kit::String UpdateListFile(const kit::String& tempFolder);

// The updater's one argument, quoted so that a blank in the folder does not split it: the list file
// between "<file>" and "</file>":
//   "<file><temp>_update/_updlist.ini</file>"
// The program, <temp>_update/updater.exe, is handed to the shell apart from it.
kit::String UpdaterArgument(const kit::String& tempFolder);

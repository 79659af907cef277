// What every part of the update plug-in shares: the result codes, the window messages that the
// engine and the download worker send to the update window, the named parameter that crosses with
// them, the record that carries the update's folders into the quick check and the window, one
// parsed file section of the update list, and the update list's section and key names.
//
// Every WM_UPD_ message is sent with SendMessageA, so it is synchronous: a pointer in wParam or
// lParam names an object of the sender that lives during the call, and the window copies what it
// keeps. Pointers travel whole in WPARAM/LPARAM (use the helpers below, never a 32-bit cast).
//
// The header builds without Win32 as well, for the portable core and its native tests.
#pragma once
#include <cstdint>
#include <vector>

#include "base/String.h"

#ifdef _WIN32
#include <windows.h>
#endif

// The int result of the engine's and the worker's operations.
enum UpdateResult : int {
    UpdateDone = 0,
    UpdateNoConnection = 1,     // no session, or the system reports no connection
    UpdateUrlNotOpened = 2,     // the update list URL or a file URL could not be opened
    UpdateFolderNotEmptied = 3, // the download folder still holds files of an earlier update
    UpdateNotDownloaded = 4,    // the list or a file was not downloaded; nothing downloaded
    UpdateNotRequired = 6,      // also the window's initial value
    UpdateCancelled = 8,
    UpdaterWritten = 10,
    UpdaterNotWritten = 11,
    UpdaterNotStarted = 12,
};

// Window messages of the update plug-in (WM_USER + n).
//   wParam / lParam                                                          sent by
constexpr unsigned int WM_UPD_FILE_RANGE = 0x401;   // 0 / expected size of the file (0: unknown)       engine, worker
constexpr unsigned int WM_UPD_FILE_POS = 0x402;     // bytes written so far / 0                         engine, worker
constexpr unsigned int WM_UPD_FILES_RANGE = 0x403;  // 0 / number of files to download                  worker
constexpr unsigned int WM_UPD_FILES_POS = 0x404;    // number of files done / 0                         worker
constexpr unsigned int WM_UPD_STATUS = 0x405;       // const kit::String* status text / 0               engine, worker
constexpr unsigned int WM_UPD_SET_COLOR = 0x406;    // const kit::String* colour text / 0 back, 3 text  nobody
constexpr unsigned int WM_UPD_ALL_LOADED = 0x407;   // 0 / 0                                            worker
constexpr unsigned int WM_UPD_WORKER_DONE = 0x408;  // UpdateResult (0: forced stop, exception) / 0     worker
constexpr unsigned int WM_UPD_LOG = 0x409;          // const kit::String* log line / 0                  engine, worker
constexpr unsigned int WM_UPD_SET_PARAM = 0x40A;    // const UpdateParam* / 0                           engine
constexpr unsigned int WM_UPD_GET_PARAM = 0x40B;    // const kit::String* name / kit::String* result    engine, worker
// WM_UPD_GET_PARAM: the result is empty on entry and holds the parameter's `text` afterwards (empty
// for an unknown name).

// A named value from the engine to the window (WM_UPD_SET_PARAM), kept in the window's store; a
// sender fills only the field that the parameter uses.
struct UpdateParam {
    kit::String name;   // matched exactly (case counts)
    int number = 0;     // set to 0 by the senders, read by nothing
    kit::String text;   // text values
    int number2 = 0;    // colours as COLORREF (0x00BBGGRR)
    double real = 0.0;  // no parameter uses it
};

// Parameter names.
constexpr char kParamUrl[] = "URL";             // text: base URL of the update folder
constexpr char kParamPath[] = "PATH";           // text: program folder
constexpr char kParamTempPath[] = "TEMPPATH";   // text: temporary folder, ending with a backslash
constexpr char kParamBgColor[] = "BGCOLOR";     // number2
constexpr char kParamTextColor[] = "TEXTCOLOR"; // number2
constexpr char kParamSubColor[] = "SUBCOLOR";   // number2, stored only
constexpr char kParamSubColor2[] = "SUBCOLOR2"; // number2, stored only
constexpr char kParamTitle[] = "TITLE";         // text: the window caption's name
constexpr char kParamWebText[] = "WEBTEXT";     // text: the page of the HTML pane

// What the run procedure hands the quick check and the update window: the request's pointers and
// the temporary folder (ending with a backslash). Lives only during the call; keep copies.
struct UpdateStartInfo {
    const char* baseUrl;
    const char* programFolder;
    const char* tempFolder;
    const char* versionFile;
};

// One parsed file section of the update list. A value: copying copies every field.
struct UpdateFileEntry {
    kit::String name;
    kit::String info;
    kit::String localpath;  // empty, or a relative folder ending with a separator
    kit::String url;        // link followed by name, relative to the base URL
    kit::String version;
    std::uint8_t runexe = 0;
    std::uint8_t restart = 0;
    std::uint8_t selected = 0;  // 1 for every parsed entry; the download takes only selected ones
    int action = 0;             // 0: an ordinary file; any other value: kept, never downloaded
    int filesize = 0;           // bytes, from the list
    std::uint8_t terminate = 0;
};

// The engine's file list and the worker's copies of it, in the order of the file sections.
using UpdateFileList = std::vector<UpdateFileEntry>;

// The update list ("updlist.txt" on the server, saved as "_updlist.ini"): profile (INI) syntax,
// names matched without regard to case; its first line is the newest program version.
namespace UpdateList {
constexpr char kServerFile[] = "updlist.txt";
constexpr char kUpdateFolder[] = "_update/";  // below the temporary folder
constexpr char kFilesFolder[] = "_files/";    // inside kUpdateFolder: the downloaded tree
constexpr char kLocalFile[] = "_updlist.ini"; // inside kUpdateFolder
constexpr char kUpdaterFile[] = "updater.exe";
constexpr int kTextCapacity = 255;  // every text is read into 255 characters (254 kept)

constexpr char kGeneral[] = "general";
constexpr char kCountFiles[] = "countfiles";
constexpr char kBgColor[] = "bgcolor";
constexpr char kSubColor[] = "subcolor";
constexpr char kSubColor2[] = "subcolor2";
constexpr char kTextColor[] = "textcolor";
constexpr char kTitle[] = "title";
constexpr char kWebText[] = "webtext";
constexpr char kName[] = "name";                // [general]: for the updater; file sections: the file
constexpr char kKillProcess[] = "killprocess";
constexpr char kTempPath[] = "temppath";
constexpr char kExecAfter[] = "execafter";
constexpr char kPath[] = "path";  // written before the hand-over: the program folder
constexpr char kExec[] = "exec";  // written before the hand-over: the program to run, or ""

constexpr char kFileSectionFormat[] = "file%i";  // numbered from 1
constexpr char kLocalPath[] = "localpath";
constexpr char kVersion[] = "version";
constexpr char kAction[] = "action";
constexpr char kFileSize[] = "filesize";
constexpr char kLink[] = "link";
constexpr char kInfo[] = "info";
constexpr char kRestart[] = "restart";
constexpr char kRunExe[] = "runexe";
constexpr char kTerminate[] = "terminate";
}  // namespace UpdateList

#ifdef _WIN32
static_assert(WM_UPD_FILE_RANGE == WM_USER + 1 && WM_UPD_GET_PARAM == WM_USER + 11);

// Pointers into and out of message parameters, whole on 32 and 64 bits.
template <class T>
inline WPARAM UpdPointerParam(T* pointer) {
    return reinterpret_cast<WPARAM>(pointer);
}
template <class T>
inline LPARAM UpdPointerLParam(T* pointer) {
    return reinterpret_cast<LPARAM>(pointer);
}
template <class T>
inline T* UpdParamPointer(WPARAM value) {
    return reinterpret_cast<T*>(value);
}
template <class T>
inline T* UpdLParamPointer(LPARAM value) {
    return reinterpret_cast<T*>(value);
}
#endif

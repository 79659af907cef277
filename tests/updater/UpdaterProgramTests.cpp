// The real updater.exe, started the way the update plug-in starts it and watched from outside:
// its resources, a comctl32.dll planted beside it, the wait for the host program with the message
// box and the hand-over mark it holds meanwhile, a list rewritten during that wait, the copy with a
// locked file, the follow-up command, the log, and the roads of "exec" and of the failures, side by
// side.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TestPaths.h"
#include "tests/updater/UpdaterRig.h"
#include "tests/updater/UpdaterTexts.h"
#include "updater/HandOverMark.h"

using namespace updatertest;

namespace {

constexpr DWORD kRunTimeoutMs = 30000;
constexpr DWORD kSettleMs = 20000;
constexpr char kHostNameInList[] = "\xD2\xE0\xF0\xED\xE0 \xD1\xF2\xE0\xF2\xE8\xF1\xF2\xE8\xEA\xE0";  // as in the list
constexpr char kListTitle[] = "\xD2\xE0\xF0\xED\xE0";

std::string Upper(std::string text) {
    ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring Wide(const std::string& cp1251) {
    std::wstring wide(cp1251.size(), L'\0');
    const int length = ::MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), wide.data(),
                                             static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length));
    return wide;
}

// Reads the dialog template's fields in order.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : m_at(data), m_start(data) {}
    WORD Word() { WORD v; std::memcpy(&v, m_at, 2); m_at += 2; return v; }
    DWORD Dword() { DWORD v; std::memcpy(&v, m_at, 4); m_at += 4; return v; }
    short Short() { return static_cast<short>(Word()); }
    // A name or ordinal: 0xFFFF and a number, or a zero-ended UTF-16 text.
    std::wstring NameOrOrdinal(WORD* ordinal = nullptr) {
        WORD first = Word();
        if (first == 0xFFFF) {
            const WORD number = Word();
            if (ordinal) *ordinal = number;
            return {};
        }
        std::wstring text;
        for (; first; first = Word()) text += static_cast<wchar_t>(first);
        return text;
    }
    void AlignDword() {
        while ((m_at - m_start) % 4) ++m_at;
    }

private:
    const BYTE* m_at;
    const BYTE* m_start;
};

}  // namespace

TEST_CASE("updater.exe carries dialog 102 and icon 128 as the window needs them") {
    kit::UniqueModule exe(::LoadLibraryExA(UpdaterExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    REQUIRE(exe);
    HRSRC found = ::FindResourceExA(exe.get(), MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(102),
                                    MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    REQUIRE(found);
    TemplateReader t(static_cast<const BYTE*>(::LockResource(::LoadResource(exe.get(), found))));
    CHECK(t.Word() == 1);       // DLGTEMPLATEEX
    CHECK(t.Word() == 0xFFFF);
    t.Dword();                  // help id
    CHECK(t.Dword() == WS_EX_APPWINDOW);
    CHECK(t.Dword() == (WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS));
    CHECK(t.Word() == 3);
    CHECK(t.Short() == 0);
    CHECK(t.Short() == 0);
    CHECK(t.Short() == 193);
    CHECK(t.Short() == 41);
    CHECK(t.NameOrOrdinal().empty());  // no menu
    CHECK(t.NameOrOrdinal().empty());  // the dialog class
    CHECK(t.NameOrOrdinal() == Wide(kCaption));
    CHECK(t.Word() == 8);
    CHECK(t.Word() == 0);  // weight
    CHECK(t.Word() == 0x0100);  // italic 0, character set 1
    CHECK(t.NameOrOrdinal() == L"MS Shell Dlg");

    struct Item {
        DWORD exStyle, style;
        short x, y, cx, cy;
        DWORD id;
        const wchar_t* className;
        WORD classAtom;  // the same class as a system atom
        std::wstring text;
    };
    const Item items[] = {
        {0, WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH, 7, 7, 179, 14, 1000, L"msctls_progress32", 0, L""},
        {WS_EX_STATICEDGE, WS_CHILD | WS_VISIBLE | WS_GROUP, 1, 26, 190, 1, 0xFFFF, L"static", 0x82, L""},
        {0, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_CENTERIMAGE, 7, 30, 179, 8, 1001, L"static", 0x82, Wide(kLabelText)},
    };
    for (const Item& item : items) {
        CAPTURE(item.id);
        t.AlignDword();
        t.Dword();  // help id
        CHECK(t.Dword() == item.exStyle);
        CHECK(t.Dword() == item.style);
        CHECK(t.Short() == item.x);
        CHECK(t.Short() == item.y);
        CHECK(t.Short() == item.cx);
        CHECK(t.Short() == item.cy);
        CHECK((t.Dword() & 0xFFFF) == item.id);
        WORD atom = 0;
        std::wstring className = t.NameOrOrdinal(&atom);
        for (wchar_t& c : className) c = static_cast<wchar_t>(::towlower(c));
        CHECK((className == item.className || (item.classAtom && atom == item.classAtom)));
        CHECK(t.NameOrOrdinal() == item.text);
        CHECK(t.Word() == 0);  // no creation data
    }

    HRSRC group = ::FindResourceA(exe.get(), MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14));
    REQUIRE(group);
    const auto* directory = static_cast<const WORD*>(::LockResource(::LoadResource(exe.get(), group)));
    CHECK(directory[1] == 1);   // icons
    CHECK(directory[2] >= 2);   // in several sizes
}

#ifndef _WIN64
// The 32-bit build ships the updater; its twin is a test build only.
TEST_CASE("updater.exe is a PE32 Windows program") {
    const std::string bytes = testsupport::ReadFile(UpdaterExe());
    REQUIRE(bytes.size() > 0x200);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    CHECK(nt->FileHeader.Machine == IMAGE_FILE_MACHINE_I386);
    CHECK(nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    CHECK(nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI);
}
#endif

namespace {

constexpr char kPlantedUpdater[] = "planted-updater.exe";

// Wine takes its own comctl32 in place of a file of that name found beside a program, unless it is
// told to prefer the file, as the Windows loader does. Told so, for a program of this name only,
// in the prefix's registry while the scope lasts (and removed first, left over from a run that
// ended early).
class PreferFileBesideProgram {
public:
    PreferFileBesideProgram() {
        Remove();
        UniqueKey key;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr) != ERROR_SUCCESS)
            return;
        static const char kOrder[] = "native,builtin";
        m_set = ::RegSetValueExA(key.get(), "comctl32", 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder),
                                 sizeof kOrder) == ERROR_SUCCESS;
    }
    ~PreferFileBesideProgram() { Remove(); }
    PreferFileBesideProgram(const PreferFileBesideProgram&) = delete;
    PreferFileBesideProgram& operator=(const PreferFileBesideProgram&) = delete;
    bool set() const { return m_set; }

private:
    static std::string Program() { return std::string("Software\\Wine\\AppDefaults\\") + kPlantedUpdater; }
    static std::string Key() { return Program() + "\\DllOverrides"; }
    static void Remove() { ::RegDeleteTreeA(HKEY_CURRENT_USER, Program().c_str()); }
    bool m_set = false;
};

// The full path of every module loaded in a process, or nothing when it cannot be read.
std::vector<std::string> ModulesOf(DWORD processId) {
    std::vector<std::string> paths;
    kit::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!process || !::EnumProcessModules(process.get(), modules, sizeof modules, &bytes)) return paths;
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
        char path[MAX_PATH] = "";
        const DWORD length = ::GetModuleFileNameExA(process.get(), modules[i], path, MAX_PATH);
        if (length) paths.emplace_back(path, length);
    }
    return paths;
}

}  // namespace

TEST_CASE("a comctl32.dll put beside updater.exe is never loaded: the updater takes the system's") {
    Sandbox box("planted");
    const std::string program = box.update + "\\" + kPlantedUpdater;  // updater.exe under a name of its own
    REQUIRE(::CopyFileA(UpdaterExe().c_str(), program.c_str(), FALSE));
    const std::string planted = box.update + "\\comctl32.dll";
    REQUIRE(::CopyFileA(testsupport::BuildFile("tests/updater/planted/comctl32.dll").c_str(), planted.c_str(), FALSE));
    const std::string trace = planted + ".loaded";

    const PreferFileBesideProgram preferFile;
    REQUIRE(preferFile.set());
    // Without an update list it shows its dialog for a few seconds and ends.
    UpdaterRun run("\"" + program + "\"", box.cwd);
    const DWORD start = ::GetTickCount();
    while (!run.Dialog() && !run.Exited() && ::GetFileAttributesA(trace.c_str()) == INVALID_FILE_ATTRIBUTES &&
           ::GetTickCount() - start < kRunTimeoutMs)
        ::Sleep(20);

    CHECK(::GetFileAttributesA(trace.c_str()) == INVALID_FILE_ATTRIBUTES);
    REQUIRE(run.Dialog());  // its imports are bound, and its dialog has the progress bar it needs
    std::vector<std::string> comctl;
    for (const std::string& module : ModulesOf(run.processId()))
        if (Lower(module.substr(module.find_last_of("\\/") + 1)) == "comctl32.dll") comctl.push_back(Lower(module));
    REQUIRE(comctl.size() == 1);
    CHECK(comctl[0].find(Lower(box.update)) == std::string::npos);
}

TEST_CASE("the updater waits for the host program, keeps the list it was handed, copies the tree with a locked file for the restart, and runs execafter") {
    Sandbox box("road");
    box.InstallUpdater();
    box.MakeLogFolder();
    std::string bigFile(70000, '\0');
    for (std::size_t i = 0; i < bigFile.size(); ++i) bigFile[i] = static_cast<char>(i * 7 % 251);
    WriteBytes(box.files + "\\readme.txt", "new readme\r\n");
    WriteBytes(box.files + "\\tarna.exe", bigFile);
    WriteBytes(box.files + "\\locked.dll", "new locked library");
    WriteBytes(box.files + "\\plugins\\pendrake.dll", "new plug-in");
    WriteBytes(box.files + "\\plugins\\new\\deep.txt", "a new folder two levels down");
    MakeFolders(box.files + "\\empty");
    WriteBytes(box.program + "\\readme.txt", "old readme, longer than the new one\r\n");
    WriteBytes(box.program + "\\tarna.exe", "old program");
    WriteBytes(box.program + "\\locked.dll", "old locked library");
    WriteBytes(box.program + "\\plugins\\pendrake.dll", "old plug-in");
    WriteBytes(box.program + "\\settings.ini", "[kept]\r\n");
    REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.program + "\\host.exe").c_str(), FALSE));
    MakeFolders(box.root + "\\tools");
    REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.root + "\\tools\\recorder.exe").c_str(), FALSE));
    REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.root + "\\tools\\never.exe").c_str(), FALSE));
    // The text to wait for is in the folder name, so it occurs in the updater's own path too, and
    // in upper case, so it matches only because both sides are lowered.
    auto list = [&](const std::string& exec, const std::string& record) {
        box.WriteList({{"name", kHostNameInList},
                       {"killprocess", Upper(box.tag)},
                       {"title", kListTitle},
                       {"path", box.program},
                       {"exec", exec},
                       {"execafter", box.root + "\\tools\\recorder.exe record " + box.root + "\\" + record}});
    };
    list("", "after.txt Then RUN");
    const PendingRenamesGuard pending(box.root);
    const Tree before = Snapshot(box.root);

    FakeHost host(box.program + "\\host.exe");
    kit::UniqueFile lock(::CreateFileA((box.program + "\\locked.dll").c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    REQUIRE(lock);
    UpdaterRun run(box.HandOverCommandLine(), box.cwd);

    // Polls the dialog meanwhile, so that its status before the box is seen. The reads may go
    // unanswered while the updater scans the processes; once the box is up, its thread waits in
    // the box's loop and answers, so one more read sees the status the box was shown with.
    auto waitForBox = [&](HWND notThis) {
        const DWORD start = ::GetTickCount();
        for (;;) {
            run.Poll();
            HWND box = WaitForDialogOf(run.processId(), 0xFFFF, 0, notThis);
            if (box) {
                run.Poll(5000);
                return box;
            }
            if (run.Exited() || ::GetTickCount() - start > kRunTimeoutMs) return HWND{};
            ::Sleep(20);
        }
    };
    HWND first = waitForBox(nullptr);
    REQUIRE(first);
    CHECK(WindowText(::GetDlgItem(first, 0xFFFF)) == std::string(kBoxBefore) + kHostNameInList + kBoxAfter);
    CHECK(WindowText(first) == std::string(kTitlePrefix) + kListTitle);
    CHECK(run.statuses == std::vector<std::string>{kPreparing});
    ::PostMessageA(first, WM_COMMAND, IDOK, 0);  // the host still runs: the box comes again
    HWND second = waitForBox(first);
    REQUIRE(second);
    Tree meanwhile = Snapshot(box.root);
    meanwhile.erase("program\\locked.dll");  // unreadable while the test holds it
    Tree unchanged = before;
    unchanged.erase("program\\locked.dll");
    CHECK(Differences(unchanged, meanwhile) == "");  // nothing copied while the host runs

    // The list rewritten while the updater waits, as a second run of the plug-in once did: the
    // updater, which holds the mark of the list's folder meanwhile, still does what it was handed.
    CHECK(handover::IsMarked(box.update));
    list(box.root + "\\tools\\never.exe", "other.txt");
    const std::string rewritten = testsupport::ReadFile(box.update + "\\_updlist.ini");

    host.Stop();
    ::PostMessageA(second, WM_COMMAND, IDOK, 0);
    REQUIRE(WaitAll({&run}, kRunTimeoutMs));
    lock.reset();
    CHECK(run.exitCode() == 0);
    REQUIRE_FALSE(run.statuses.empty());
    CHECK(run.statuses.back() == kDone);
    CHECK(run.titles.back() == std::string(kTitlePrefix) + kListTitle);

    // Everything as it was, but the program folder's new files, the follow-up's record and the log.
    Tree expected = before;
    for (const auto& [path, content] : Snapshot(box.files))
        if (path != "locked.dll") expected["program\\" + path] = content;
    CHECK(expected.at("program\\readme.txt") == "new readme\r\n");
    CHECK(expected.at("program\\tarna.exe") == bigFile);
    CHECK(expected.at("program\\locked.dll") == "old locked library");  // replaced at the restart
    expected["program\\locked.dll.new"] = "new locked library";         // by this copy
    expected["after.txt"] = Lower(box.root + "\\tools\\recorder.exe record " + box.root + "\\after.txt then run");
    expected["temp\\_update\\_updlist.ini"] = rewritten;
    const Tree after = Snapshot(box.root);
    const std::string logPath = box.LogFile().substr(box.root.size() + 1);
    REQUIRE(after.count(logPath));
    expected[logPath] = after.at(logPath);
    CHECK(Differences(expected, after) == "");
    CHECK(LogTexts(box.LogFile()) ==
          std::vector<std::string>{ReplacedAtRestart(box.program + "\\locked.dll"), kCopyDone, kDone});

    // Source, then the destination marked "!" for a replacement of the existing file.
    CHECK(pending.Mine() == std::vector<std::string>{"\\??\\" + box.program + "\\locked.dll.new",
                                                      "!\\??\\" + box.program + "\\locked.dll"});
    CHECK_FALSE(handover::IsMarked(box.update));  // gone with the updater
}

namespace {

// One run of the table: a sandbox with a small update (a.txt replaces an old one, sub\b.txt is
// new), the list keys of the row, and what must be seen.
struct Road {
    const char* name;
    std::function<std::vector<std::pair<std::string, std::string>>(const Sandbox&)> list;
    std::vector<std::string> lastStatuses;  // the final status (and for some rows the one before)
    bool copies;                            // the small update reaches the program folder
    std::function<std::vector<std::string>(const Sandbox&)> log;  // texts; empty: no log file
    std::function<void(const Sandbox&, Tree&)> alsoExpected = nullptr;  // further changes
    bool logFolder = true;
    std::function<std::string(const Sandbox&)> commandLine = nullptr;  // the plug-in's by default
    std::string title = kTitlePrefix;
    std::string tempFolder = "temp";
    std::function<void(const Sandbox&)> prepare = nullptr;  // more files before the run
};

std::string Recorder(const Sandbox& box) { return box.root + "\\tools\\recorder.exe"; }

// "exec" as the update plug-in writes it: the temporary folder, "_update/_files/", the name.
std::string DownloadedProgram(const Sandbox& box) { return box.temp + "\\_update/_files/SeTup.exe"; }

// The plug-in starts the updater by its program path apart from the argument, so that a blank in
// the temporary folder's path makes no other program of it.
std::string QuotedHandOver(const Sandbox& box) {
    return "\"" + box.update + "\\updater.exe\" \"<file>" + box.ListPath() + "</file>\"";
}

}  // namespace

TEST_CASE("the updater's roads and failures, run side by side") {
    const std::string longFolder(300, 'x');
    const std::vector<Road> roads = {
        {"nolist", [](const Sandbox&) { return std::vector<std::pair<std::string, std::string>>{}; },
         {kPreparing, kClosing}, false, [](const Sandbox&) { return std::vector<std::string>{}; }, nullptr, true,
         // No argument qualifies: too short, no end marker, no start marker.
         [](const Sandbox& box) {
             return box.temp + "\\_update/updater.exe \"<file>abc</file>\" \"<file>" + box.ListPath() + "\" \"" +
                    box.ListPath() + "</file>\"";
         }},
        // The downloaded program, its path with a blank and in mixed case, starts by that path
        // lower-cased: quoted as its whole command line, in the updater's current directory, shown
        // normally. The program that stands at the path's first blank never runs.
        {"exec",
         [](const Sandbox& box) {
             return std::vector<std::pair<std::string, std::string>>{
                 {"path", box.program}, {"title", "ab"}, {"killprocess", ":\\"}, {"exec", DownloadedProgram(box)}};
         },
         {kDone}, false, [](const Sandbox&) { return std::vector<std::string>{kDone}; },
         [](const Sandbox& box, Tree& tree) {
             tree["my temp\\_update\\_files\\setup.exe.ran"] =
                 "\"" + Lower(DownloadedProgram(box)) + "\"\r\n" + box.cwd + "\r\nshow " + std::to_string(SW_SHOWNORMAL) + "\r\n";
         },
         true, QuotedHandOver, kTitlePrefix, "my temp",
         [](const Sandbox& box) {
             REQUIRE(box.root.find(' ') == std::string::npos);  // the first blank is the temporary folder's
             REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.files + "\\setup.exe").c_str(), FALSE));
             REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.root + "\\my.exe").c_str(), FALSE));
         }},
        {"execfails",
         [](const Sandbox& box) {
             return std::vector<std::pair<std::string, std::string>>{
                 {"path", box.program}, {"exec", box.root + "\\Missing\\Setup.exe"},
                 {"execafter", Recorder(box) + " record " + box.root + "\\after.txt"}};
         },
         {kDoneWithError}, false,
         [](const Sandbox& box) {
             return std::vector<std::string>{kStartError + Lower(box.root + "\\Missing\\Setup.exe"), kDone};
         },
         [](const Sandbox& box, Tree& tree) { tree["after.txt"] = Lower(Recorder(box) + " record " + box.root + "\\after.txt"); }},
        {"exec5",
         [](const Sandbox& box) {
             return std::vector<std::pair<std::string, std::string>>{
                 {"path", box.program}, {"exec", "abcde"}, {"title", "Ab1"}};
         },
         {kDone}, true, [](const Sandbox&) { return std::vector<std::string>{kCopyDone, kDone}; }, nullptr, true,
         nullptr, std::string(kTitlePrefix) + "Ab1"},
        {"nopath", [](const Sandbox&) { return std::vector<std::pair<std::string, std::string>>{{"exec", ""}}; },
         {kDoneWithError}, false, [](const Sandbox&) { return std::vector<std::string>{kNoProgramFolder, kDone}; }},
        {"nosource",
         [](const Sandbox& box) {
             return std::vector<std::pair<std::string, std::string>>{{"path", box.program},
                                                                     {"temppath", box.outside}};
         },
         {kDoneWithError}, false,
         [](const Sandbox& box) {
             return std::vector<std::string>{
                 std::string(kCopyError) + box.outside + "\\_update\\_files" + kInto + box.program, kCopyDone, kDone};
         }},
        {"nologs", [](const Sandbox& box) { return std::vector<std::pair<std::string, std::string>>{{"path", box.program}}; },
         {kDone}, true, [](const Sandbox&) { return std::vector<std::string>{}; }, nullptr, false},
        {"longpath",
         [&longFolder](const Sandbox& box) {
             return std::vector<std::pair<std::string, std::string>>{{"path", box.program + "\\" + longFolder}};
         },
         {kDoneWithError}, false,
         [](const Sandbox&) { return std::vector<std::string>{std::string(kTooLong) + "path", kDone}; }},
    };

    std::vector<std::unique_ptr<Sandbox>> boxes;
    std::vector<Tree> before;
    std::vector<std::unique_ptr<UpdaterRun>> runs;
    for (const Road& road : roads) {
        auto box = std::make_unique<Sandbox>(std::string("road") + road.name, road.tempFolder);
        box->InstallUpdater();
        if (road.logFolder) box->MakeLogFolder();
        WriteBytes(box->files + "\\a.txt", "new a");
        WriteBytes(box->files + "\\sub\\b.txt", "new b");
        WriteBytes(box->program + "\\a.txt", "old a, the longer one");
        MakeFolders(box->root + "\\tools");
        REQUIRE(::CopyFileA(FakeHostExe().c_str(), Recorder(*box).c_str(), FALSE));
        if (road.prepare) road.prepare(*box);
        box->WriteList(road.list(*box));
        before.push_back(Snapshot(box->root));
        boxes.push_back(std::move(box));
    }
    for (std::size_t i = 0; i < roads.size(); ++i) {
        const Sandbox& box = *boxes[i];
        runs.push_back(std::make_unique<UpdaterRun>(
            roads[i].commandLine ? roads[i].commandLine(box) : box.HandOverCommandLine(), box.cwd));
    }

    // Neither Esc, nor Enter, nor a close request ends the updater before its work.
    const DWORD start = ::GetTickCount();
    while (!runs[0]->Dialog() && ::GetTickCount() - start < kRunTimeoutMs) ::Sleep(20);
    HWND first = runs[0]->Dialog();
    REQUIRE(first);
    ::PostMessageA(first, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageA(first, WM_COMMAND, IDOK, 0);
    ::PostMessageA(first, WM_CLOSE, 0, 0);

    std::vector<UpdaterRun*> watched;
    for (auto& run : runs) watched.push_back(run.get());
    REQUIRE(WaitAll(watched, kRunTimeoutMs));

    for (std::size_t i = 0; i < roads.size(); ++i) {
        const Road& road = roads[i];
        const Sandbox& box = *boxes[i];
        UpdaterRun& run = *runs[i];
        CAPTURE(std::string(road.name));
        CHECK(run.exitCode() == 0);
        REQUIRE(run.statuses.size() >= road.lastStatuses.size());
        CHECK(std::vector<std::string>(run.statuses.end() - static_cast<std::ptrdiff_t>(road.lastStatuses.size()),
                                       run.statuses.end()) == road.lastStatuses);
        CHECK(run.statuses.front() == kPreparing);
        REQUIRE_FALSE(run.titles.empty());
        CHECK(run.titles.back() == road.title);

        Tree expected = before[i];
        if (road.copies) {
            expected["program\\a.txt"] = "new a";
            expected["program\\sub\\"] = "";
            expected["program\\sub\\b.txt"] = "new b";
        }
        if (road.alsoExpected) road.alsoExpected(box, expected);
        const std::vector<std::string> log = road.log(box);
        const std::string logPath = box.LogFile().substr(box.root.size() + 1);
        // A program that the updater started may still be writing when the updater has ended.
        Tree after;
        for (const DWORD settling = ::GetTickCount();; ::Sleep(50)) {
            after = Snapshot(box.root);
            if (!log.empty() && after.count(logPath)) expected[logPath] = after.at(logPath);
            if (Differences(expected, after).empty() || ::GetTickCount() - settling > kSettleMs) break;
        }
        CHECK(Differences(expected, after) == "");
        CHECK(LogTexts(box.LogFile()) == log);
    }
}

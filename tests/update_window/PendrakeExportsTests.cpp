// pendrake.dll as a host loads and calls it: the export table and ordinals, the resources it
// carries, the menu entry written into the host's strings, and the run procedures on the stand-in
// host's user-interface thread with their message boxes (answered from this thread by button id),
// the update window, the busy window, a hand-over whose updater still runs, and a whole update
// through the real updater.
#include <doctest/doctest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UpdateHostCalls.h"
#include "tests/support/TestPaths.h"
#include "tests/update_window/UpdateServer.h"
#include "tests/update_window/WorkerRig.h"
#include "update/UpdateEngine.h"
#include "update/UpdateWindowIds.h"
#include "updater/HandOverMark.h"

using namespace updatetest;
using hoststub::DialogDriver;

namespace {

std::string PluginPath() { return testsupport::BuildFile("update/pendrake.dll"); }

std::string ResourceBytes(HMODULE module, int id, const char* type) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    return std::string(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found));
}

// A version text of exactly the 7 bytes that the quick check reads (a shorter first line would
// bring its line break along and be no version).
std::string SevenBytes(std::string version) {
    while (version.size() < 7) version += '0';
    return version;
}

// The version of a file of the prefix, and one that is newer.
struct Versions {
    std::string file = "C:\\windows\\system32\\kernel32.dll";
    std::string installed = GetFileVersionText(file.c_str()).str();
    std::string newer = SevenBytes(std::to_string(std::atoi(installed.c_str()) + 1) + ".0");
};

HWND FindDialog(DWORD thread, const std::string& title, DWORD timeoutMs) {
    return DialogDriver::WaitForDialog(thread, title, timeoutMs);
}

// The stand-in host with pendrake.dll loaded on its user-interface thread, a local update folder
// and a program folder; the plug-in's temporary folder is a folder of this test.
struct HostRig {
    std::string savedTmp = Variable("TMP"), savedTemp = Variable("TEMP");
    hoststub::StandInHost host;
    UpdateServer server;
    TempFolder temp{"exports-temp"};
    TempFolder program{"exports-program"};
    Versions versions;
    std::unique_ptr<hoststub::PluginModule> plugin;
    hoststub::UpdateRequestTexts request;

    HostRig() {
        ::SetEnvironmentVariableA("TMP", temp.path().c_str());
        ::SetEnvironmentVariableA("TEMP", temp.path().c_str());
        host.RunOnUiThread([&] { plugin = std::make_unique<hoststub::PluginModule>(PluginPath()); });
        request = {server.FolderUrl("upd"), program.path(), versions.file};
        List(versions.newer);
    }
    ~HostRig() {
        host.RunOnUiThread([&] { plugin.reset(); });  // the host unloads on its own thread
        rig_release();
        ::SetEnvironmentVariableA("TMP", savedTmp.c_str());
        ::SetEnvironmentVariableA("TEMP", savedTemp.c_str());
    }
    void rig_release() { server.ReleaseStalls(); }
    static std::string Variable(const char* name) {
        char value[MAX_PATH] = {};
        ::GetEnvironmentVariableA(name, value, MAX_PATH);
        return value;
    }
    static std::string ListText(const std::string& version, const std::string& extra = "") {
        return version + "\r\n[general]\r\ncountfiles=1\r\ntitle=Тест\r\n" + extra +
               "[file1]\r\nname=new.bin\r\nversion=1.0.0.3\r\nlink=files/\r\nfilesize=5000\r\n";
    }
    void List(const std::string& version, const std::string& extra = "") {
        server.Set("/upd/updlist.txt", Route{200, ListText(version, extra)});
    }
    template <class Fn>
    Fn* Export(const char* name) const {
        return reinterpret_cast<Fn*>(reinterpret_cast<void*>(plugin->Find(name)));
    }
    void RunUpdate() { hoststub::CallRunProcedure(host, Export<host::exports::GetPluginRunProcUpdate>("GetPluginRunProcUpdate"), request); }
    void RunUpdateCheck() {
        hoststub::CallRunProcedure(host, Export<host::exports::GetPluginRunProcUpdateCheck>("GetPluginRunProcUpdateCheck"),
                                   request);
    }
    int ListRequests() const {
        int count = 0;
        for (const std::string& path : server.Requests()) count += path == "/upd/updlist.txt";
        return count;
    }
};

}  // namespace

TEST_CASE("the export table: ordinals 1 to 5, the decorated alias, no plug-in information") {
    hoststub::PluginModule plugin(PluginPath());
    std::vector<std::pair<unsigned, std::string>> exports;
    for (const hoststub::ExportEntry& entry : plugin.Exports()) exports.emplace_back(entry.ordinal, entry.name);
    CHECK(exports == std::vector<std::pair<unsigned, std::string>>{{1, "?PluginHandlerEx@@YAXIIJPAK@Z"},
                                                                   {2, "GetPluginMenu"},
                                                                   {3, "GetPluginRunProc"},
                                                                   {4, "GetPluginRunProcUpdate"},
                                                                   {5, "GetPluginRunProcUpdateCheck"}});
    CHECK(plugin.ExportModuleName() == "pendrake.dll");
    CHECK((plugin.FindOrdinal(1) == plugin.FindOrdinal(3)));
    CHECK((plugin.FindOrdinal(2) == plugin.Find("GetPluginMenu")));
    CHECK((plugin.Find("GetPluginInfo") == nullptr));
}

TEST_CASE("the module: PE32, importing system DLLs and the HTML engine only") {
    hoststub::PluginModule plugin(PluginPath());
    auto* base = reinterpret_cast<const BYTE*>(plugin.handle());
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
#ifndef _WIN64  // the deliverable itself is the 32-bit file
    CHECK(nt->FileHeader.Machine == IMAGE_FILE_MACHINE_I386);
    CHECK(nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC);
#endif
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> imports;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); entry->Name;
         ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : name) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        imports.push_back(name);
    }
    CHECK(std::find(imports.begin(), imports.end(), "htmlayout.dll") != imports.end());
    for (const std::string& name : imports) {
        CAPTURE(name);
        const bool known = name == "htmlayout.dll" || name == "kernel32.dll" || name == "user32.dll" ||
                           name == "gdi32.dll" || name == "wininet.dll" || name == "version.dll" ||
                           name == "comctl32.dll" || name == "msvcrt.dll" || name == "advapi32.dll" ||
                           name == "shell32.dll";  // the updater's start through the shell
        CHECK(known);
    }
}

TEST_CASE("the resources: the updater byte for byte, the GIF, template 4015 in language 1033, the page") {
    hoststub::PluginModule plugin(PluginPath());
    HMODULE module = plugin.handle();
    const std::string updater = ResourceBytes(module, kUpdaterResourceId, kFileResourceType);
    CHECK(!updater.empty());
    CHECK(updater == testsupport::ReadFile(testsupport::BuildFile("updater/updater.exe")));
    const std::string gif = ResourceBytes(module, kGifResourceId, kFileResourceType);
    REQUIRE(gif.size() > 13);
    CHECK(gif.substr(0, 10) == std::string("GIF89a\x10\x00\x10\x00", 10));
    CHECK(gif.back() == ';');
    CHECK(::FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_UPDATE),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) != nullptr);
    HRSRC page = ::FindResourceA(module, "DEFAULT", MAKEINTRESOURCEA(23));
    REQUIRE(page);
    CHECK(::SizeofResource(module, page) == 950);
}

// The controls of a DLGTEMPLATEEX: id, style, extended style and rectangle, in template order.
struct TemplateItem {
    int id;
    DWORD style, exStyle;
    short x, y, cx, cy;
    bool operator==(const TemplateItem&) const = default;
};

const WORD* SkipText(const WORD* p) {  // a name or an ordinal (0xFFFF, number)
    if (*p == 0xFFFF) return p + 2;
    while (*p) ++p;
    return p + 1;
}

TEST_CASE("template 4015: style, size, caption, font and the controls as laid out") {
    hoststub::PluginModule plugin(PluginPath());
    HMODULE module = plugin.handle();
    HRSRC found = ::FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_UPDATE),
                                    MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    REQUIRE(found);
    auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    auto word = [&](size_t at) { return *reinterpret_cast<const WORD*>(bytes + at); };
    auto dword = [&](size_t at) { return *reinterpret_cast<const DWORD*>(bytes + at); };
    REQUIRE(word(0) == 1);
    REQUIRE(word(2) == 0xFFFF);
    CHECK(dword(8) == 0);           // extended style
    CHECK(dword(12) == 0x80C002C8);  // WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | DS_SETFOREGROUND | DS_FIXEDSYS
    const int count = word(16);
    CHECK(static_cast<short>(word(22)) == 300);
    CHECK(static_cast<short>(word(24)) == 197);
    const WORD* p = reinterpret_cast<const WORD*>(bytes + 26);
    p = SkipText(SkipText(p));  // menu, class
    CHECK(std::wstring(reinterpret_cast<const wchar_t*>(p)) == L"Update...");
    p = SkipText(p);
    CHECK(p[0] == 8);  // points
    CHECK(std::wstring(reinterpret_cast<const wchar_t*>(p + 3)) == L"MS Shell Dlg");
    p = SkipText(p + 3);
    std::vector<TemplateItem> items;
    for (int i = 0; i < count; ++i) {
        auto at = reinterpret_cast<const BYTE*>(p);
        at = reinterpret_cast<const BYTE*>((reinterpret_cast<std::uintptr_t>(at) + 3) & ~std::uintptr_t{3});
        const DWORD exStyle = *reinterpret_cast<const DWORD*>(at + 4), style = *reinterpret_cast<const DWORD*>(at + 8);
        const short* rect = reinterpret_cast<const short*>(at + 12);
        const int id = *reinterpret_cast<const int*>(at + 20);
        items.push_back(TemplateItem{id, style, exStyle, rect[0], rect[1], rect[2], rect[3]});
        p = SkipText(SkipText(reinterpret_cast<const WORD*>(at + 24)));  // class, text
        p += 1 + *p / 2;                                                  // creation data
    }
    CHECK(items == std::vector<TemplateItem>{{4001, 0x40800001, 0, 4, 180, 178, 10},
                                             {4002, 0x50010000, 0, 245, 178, 50, 14},
                                             {4003, 0x50010000, 0, 189, 178, 50, 14},
                                             {4004, 0x40010000, 0, 0, 0, 50, 14},
                                             {4007, 0x50020001, 0, 4, 175, 179, 21},
                                             {-1, 0x5002000C, 0x20000, 0, 173, 300, 1}});
}

TEST_CASE("the menu: one entry written into the host's own strings") {
    hoststub::PluginModule plugin(PluginPath());
    auto* menu = reinterpret_cast<host::exports::GetPluginMenu*>(reinterpret_cast<void*>(plugin.Find("GetPluginMenu")));
    REQUIRE((menu != nullptr));
    const long blocks = hoststub::TheHostStringManager().LiveBlocks();
    const std::vector<hoststub::PluginMenuRow> rows = hoststub::WalkPluginMenu(menu);
    REQUIRE(rows.size() == 1);
    CHECK(rows[0].commandId == 35336);
    CHECK(rows[0].flags == 8);
    CHECK(rows[0].reserved == 0);
    CHECK(rows[0].caption == "Проверить обновление программы");
    CHECK(rows[0].hint == rows[0].caption);
    CHECK(rows[0].caption.size() == 30);
    CHECK(hoststub::TheHostStringManager().LiveBlocks() == blocks);  // every block went back to the host

    // Past the entry: the cursor goes to 0 and the item stays as it was.
    host::PluginMenuItem item;
    std::memset(&item, 0xAB, sizeof item);
    const host::PluginMenuItem before = item;
    int cursor = 1;
    menu(0, &item, &cursor);
    CHECK(cursor == 0);
    CHECK(std::memcmp(&item, &before, sizeof item) == 0);
}

TEST_CASE("run procedures: up to date with and without the box, a newer version declined and accepted") {
    HostRig rig;
    REQUIRE(!rig.versions.installed.empty());
    const DWORD ui = rig.host.uiThreadId();

    SUBCASE("up to date") {
        rig.List(SevenBytes("1.0"));
        {
            DialogDriver box(ui, "Обновление", IDOK);
            rig.RunUpdate();
            CHECK(box.Answered());
            CHECK(box.MessageText() == "Вы используете актуальную версию");
        }
        rig.RunUpdateCheck();  // returns without a box
        CHECK(FindDialog(ui, "Обновление", 0) == nullptr);
        CHECK(rig.ListRequests() == 2);
    }
    SUBCASE("newer: Cancel leaves no window, OK opens one, the next run replaces it") {
        {
            DialogDriver box(ui, "Обновление", IDCANCEL);
            rig.RunUpdateCheck();
            CHECK(box.Answered());
            CHECK(box.MessageText() == "Обнаружен пакет обновления программы.\nЖелаете выполнить обновление сейчас?");
        }
        CHECK(FindDialog(ui, "Обновление Тест", 0) == nullptr);
        CHECK(rig.ListRequests() == 1);
        {
            DialogDriver box(ui, "Обновление", IDOK);
            rig.RunUpdate();
            CHECK(box.Answered());
        }
        HWND first = FindDialog(ui, "Обновление Тест", 2000);
        REQUIRE(first);
        CHECK(DialogDriver::ItemText(first, IDC_UPDATE_STATUS) == "обнаружено 1 новых файлов (5 KB)");
        CHECK(rig.ListRequests() == 4);  // the quick check, then the window's check (a test open, the fetch)
        {
            DialogDriver box(ui, "Обновление", IDOK);
            auto* runProc = rig.Export<host::exports::GetPluginRunProc>("?PluginHandlerEx@@YAXIIJPAK@Z");
            CHECK(hoststub::CallRunProc(rig.host, runProc, rig.request) == 0);
            CHECK(box.Answered());
        }
        CHECK_FALSE(::IsWindow(first));
        CHECK(FindDialog(ui, "Обновление Тест", 2000) != nullptr);
    }
}

TEST_CASE("a run procedure while the window downloads returns at once, without a check") {
    HostRig rig;
    rig.server.Set("/upd/files/new.bin", Route{200, std::string(5000, 'x'), Route::Stall, 1000});
    const DWORD ui = rig.host.uiThreadId();
    {
        DialogDriver box(ui, "Обновление", IDOK);
        rig.RunUpdate();
        CHECK(box.Answered());
    }
    HWND window = FindDialog(ui, "Обновление Тест", 2000);
    REQUIRE(window);
    DialogDriver::Click(window, IDC_UPDATE_BUTTON);
    REQUIRE(rig.server.WaitForStall(10000));
    const int checks = rig.ListRequests();
    rig.RunUpdate();
    rig.RunUpdateCheck();
    CHECK(rig.ListRequests() == checks);
    CHECK(FindDialog(ui, "Обновление", 0) == nullptr);
    CHECK(::IsWindow(window));
    // Cancel twice (both presses in one go on the window's thread, so that the worker's end after
    // the first cannot come between them): the window is no longer busy, and the next run
    // replaces it.
    rig.host.RunOnUiThread([&] {
        DialogDriver::Click(window, IDC_UPDATE_BUTTON);
        DialogDriver::Click(window, IDC_UPDATE_BUTTON);
    });
    CHECK(DialogDriver::ItemText(window, IDC_UPDATE_STATUS) == "обновление не выполнено");
    rig.server.ReleaseStalls();
    {
        DialogDriver box(ui, "Обновление", IDOK);
        rig.RunUpdate();
        CHECK(box.Answered());
    }
    CHECK_FALSE(::IsWindow(window));
}

TEST_CASE("while an updater holds the hand-over of the temporary folder, no run procedure checks or asks") {
    HostRig rig;
    const DWORD ui = rig.host.uiThreadId();
    auto* runProc = rig.Export<host::exports::GetPluginRunProc>("GetPluginRunProc");
    auto* handlerEx = rig.Export<host::exports::GetPluginRunProc>("?PluginHandlerEx@@YAXIIJPAK@Z");
    const std::pair<std::string, std::function<void()>> runs[] = {
        {"GetPluginRunProcUpdate", [&] { rig.RunUpdate(); }},
        {"GetPluginRunProcUpdateCheck", [&] { rig.RunUpdateCheck(); }},
        {"GetPluginRunProc", [&] { CHECK(hoststub::CallRunProc(rig.host, runProc, rig.request) == 0); }},
        {"PluginHandlerEx", [&] { CHECK(hoststub::CallRunProc(rig.host, handlerEx, rig.request) == 0); }},
    };
    {
        // As the updater holds it for its lifetime; the list is newer, so a check would ask.
        const kit::UniqueHandle mark = handover::TakeMark(rig.temp.path() + "_update");
        REQUIRE(mark);
        for (const auto& [name, run] : runs) {
            CAPTURE(name);
            DialogDriver question(ui, "Обновление", IDCANCEL, 1000);  // a question would come at once
            run();
            CHECK_FALSE(question.Answered());
        }
        CHECK(rig.ListRequests() == 0);
    }
    // Once it has ended, the check runs and asks as before.
    DialogDriver box(ui, "Обновление", IDCANCEL);
    rig.RunUpdateCheck();
    CHECK(box.Answered());
    CHECK(rig.ListRequests() == 1);
}

// The window's code must not go while its window may run it: the first update window pins the
// module, so a host that lets the plug-in go keeps it loaded, and the window goes on.
TEST_CASE("the host unloads the plug-in during a download: the plug-in stays loaded and its window goes on") {
    HostRig rig;
    rig.server.Set("/upd/files/new.bin", Route{200, std::string(5000, 'x'), Route::Stall, 1000});
    const DWORD ui = rig.host.uiThreadId();
    {
        DialogDriver box(ui, "Обновление", IDOK);
        rig.RunUpdate();
        CHECK(box.Answered());
    }
    HWND window = FindDialog(ui, "Обновление Тест", 2000);
    REQUIRE(window);
    DialogDriver::Click(window, IDC_UPDATE_BUTTON);
    REQUIRE(rig.server.WaitForStall(10000));
    const HMODULE module = ::GetModuleHandleA("pendrake.dll");
    REQUIRE(module);
    const ULONGLONG start = ::GetTickCount64();
    rig.host.RunOnUiThread([&] { rig.plugin.reset(); });
    CHECK(::GetTickCount64() - start < 3000);  // no wait for the worker inside the unload
    CHECK(::GetModuleHandleA("pendrake.dll") == module);
    CHECK(::IsWindowVisible(window));
    // The user still has the window: Cancel twice ends the download there, on the window's thread.
    rig.host.RunOnUiThread([&] {
        DialogDriver::Click(window, IDC_UPDATE_BUTTON);
        DialogDriver::Click(window, IDC_UPDATE_BUTTON);
    });
    CHECK(DialogDriver::ItemText(window, IDC_UPDATE_STATUS) == "обновление не выполнено");
    rig.server.ReleaseStalls();
    // Even once the worker that was left has read its last answer and gone, the code stays.
    CHECK(rig.server.WaitIdle());
    CHECK(::GetModuleHandleA("pendrake.dll") == module);
    CHECK(::IsWindow(window));
}

TEST_CASE("a whole update as a user does it: the files reach the program folder through the updater") {
    struct Case {
        const char* name;
        DWORD delay;  // before every answer, and the silence inside every body
    };
    for (const Case& c : {Case{"a quick server", 0}, Case{"a slow server", 2000}}) {
        CAPTURE(c.name);
        HostRig rig;
        const std::string body = std::string(3000, 'a') + std::string(2000, 'b');
        rig.server.Set("/upd/files/new.bin", Route{200, body, Route::Pause, 2500, c.delay, c.delay});
        rig.List(rig.versions.newer, "name=Nothing\r\nkillprocess=no-such-program-h17\r\n");
        if (c.delay) {
            Route list{200, "", Route::Pause, 4, c.delay, c.delay};
            list.body = rig.ListText(rig.versions.newer, "name=Nothing\r\nkillprocess=no-such-program-h17\r\n");
            rig.server.Set("/upd/updlist.txt", list);
        }
        const DWORD ui = rig.host.uiThreadId();
        {
            DialogDriver box(ui, "Обновление", IDOK, 60000);
            rig.RunUpdate();
            CHECK(box.Answered());
        }
        HWND window = FindDialog(ui, "Обновление Тест", 30000);
        REQUIRE(window);
        CHECK(DialogDriver::ItemText(window, IDC_UPDATE_STATUS).find("обнаружено 1 новых файлов") == 0);
        DialogDriver handOver(ui, "pendrake", IDOK, 60000);
        DialogDriver::Click(window, IDC_UPDATE_BUTTON);
        CHECK(handOver.Answered());
        CHECK(ReadWholeFile(rig.temp.path() + "_update/_files/new.bin") == body);
        CHECK(ReadWholeFile(rig.temp.path() + "_update/updater.exe") ==
              testsupport::ReadFile(testsupport::BuildFile("updater/updater.exe")));
        // The updater copies the tree into the program folder once it runs.
        const std::string installed = rig.program.path() + "new.bin";
        for (int i = 0; i < 300 && ReadWholeFile(installed) != body; ++i) ::Sleep(100);
        CHECK(ReadWholeFile(installed) == body);
        CHECK_FALSE(::IsWindowVisible(window));
        // The updater closes 3 s after its work; until then the next run procedures do nothing.
        for (int i = 0; i < 300 && handover::IsMarked(rig.temp.path() + "_update"); ++i) ::Sleep(100);
        CHECK_FALSE(handover::IsMarked(rig.temp.path() + "_update"));
    }
}

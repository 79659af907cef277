// An update from end to end, as a user goes through it: a host program (the fake host, started
// from the program folder) runs pendrake.dll against a local update service; the test answers
// the plug-in's question, presses Update, confirms the hand-over, and the real updater that the
// plug-in wrote out waits for the host, asks for it to be closed, then installs the downloaded
// files (one of them locked, so it waits for the restart), runs "execafter" and logs. And the
// host's run procedures while that updater waits, against an update site outside Wine whose
// next version arrives cut: the hand-over stays as it was, and once the updater has ended a check
// runs again.
#include <doctest/doctest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/TestPaths.h"
#include "tests/update_window/OutsideUpdateSite.h"
#include "tests/update_window/UpdateServer.h"
#include "tests/updater/UpdaterRig.h"
#include "tests/updater/UpdaterTexts.h"
#include "updater/HandOverMark.h"

using namespace updatertest;

namespace {

constexpr DWORD kStepTimeoutMs = 20000;
constexpr char kQuestion[] =
    "\xCE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED \xEF\xE0\xEA\xE5\xF2 \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF "
    "\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB.\n\xC6\xE5\xEB\xE0\xE5\xF2\xE5 \xE2\xFB\xEF\xEE\xEB\xED\xE8\xF2\xFC "
    "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5 \xF1\xE5\xE9\xF7\xE0\xF1?";
constexpr char kFilesLoaded[] =
    "\xD4\xE0\xE9\xEB\xFB \xE7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xFB.\n\xD1\xE5\xE9\xF7\xE0\xF1 \xE1\xF3\xE4\xE5\xF2 "
    "\xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xE0 \xF4\xE8\xED\xE0\xEB\xFC\xED\xE0\xFF \xF1\xF2\xE0\xE4\xE8\xFF "
    "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF.";
constexpr char kListTitle[] = "\xD2\xE5\xF1\xF2";
constexpr int kUpdateButton = 4003;  // the update window's Update/Cancel button

struct Download {
    std::string localPath;  // as the list gives it
    std::string name;
    std::string body;
};

std::string Upper(std::string text) {
    ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string Bytes(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) % 256);
    return bytes;
}

// The updater's dialog that runs from this sandbox's temporary folder (the plug-in started it).
DWORD FindUpdaterProcess(const Sandbox& box, DWORD timeoutMs) {
    const std::string program = Lower(box.update + "\\updater.exe");
    const DWORD start = ::GetTickCount();
    for (;;) {
        HWND dialog = nullptr;
        while ((dialog = ::FindWindowExA(nullptr, dialog, "#32770", nullptr)) != nullptr) {
            if (!::GetDlgItem(dialog, 1000) || !::GetDlgItem(dialog, 1001)) continue;
            DWORD process = 0;
            ::GetWindowThreadProcessId(dialog, &process);
            std::string image = Lower(ProcessImage(process));
            for (char& c : image)
                if (c == '/') c = '\\';
            if (image == program) return process;
        }
        if (::GetTickCount() - start > timeoutMs) return 0;
        ::Sleep(20);
    }
}

// The host program's folder: the fake host as host.exe, the HTML engine beside it, the plug-in in
// "plugins"; the temporary folder without "_update", which the plug-in makes. Returns the plug-in.
std::string MakeHostFolder(const Sandbox& box) {
    const std::string plugin = box.program + "\\plugins\\pendrake.dll";
    MakeFolders(box.program + "\\plugins");
    REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.program + "\\host.exe").c_str(), FALSE));
    REQUIRE(::CopyFileA(testsupport::BuildFile("testing/htmlengine/htmlayout.dll").c_str(),
                        (box.program + "\\htmlayout.dll").c_str(), FALSE));
    REQUIRE(::CopyFileA(testsupport::BuildFile("update/pendrake.dll").c_str(), plugin.c_str(), FALSE));
    RemoveTree(box.temp);
    MakeFolders(box.temp);
    return plugin;
}

// The host program with the plug-in, its first run procedure called as it starts.
std::unique_ptr<FakeHost> StartHost(const Sandbox& box, const std::string& plugin, const std::string& baseUrl) {
    return std::make_unique<FakeHost>(box.program + "\\host.exe", "pendrake",
                                      plugin + " " + box.temp + "\\ " + baseUrl + " " + box.program + "\\ " +
                                          "C:\\windows\\system32\\kernel32.dll",
                                      box.program);
}

// OK to the plug-in's question, then Update in the window that opens; returns that window.
HWND AnswerAndUpdate(DWORD host, HWND question) {
    ::PostMessageA(question, WM_COMMAND, IDOK, 0);
    HWND window = WaitForDialogOf(host, kUpdateButton, kStepTimeoutMs);
    REQUIRE(window);
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(kUpdateButton, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, kUpdateButton)));
    return window;
}

// The user's road to the hand-over: OK to the plug-in's question, Update in its window, OK to its
// last word. `title` is the list's.
void AcceptUpdate(DWORD host, const std::string& title) {
    HWND question = WaitForDialogOf(host, 0xFFFF, kStepTimeoutMs);
    REQUIRE(question);
    CHECK(WindowText(::GetDlgItem(question, 0xFFFF)) == kQuestion);
    HWND window = AnswerAndUpdate(host, question);
    CHECK(WindowText(window) == std::string(kTitlePrefix) + title);
    HWND handOver = WaitForDialogOf(host, 0xFFFF, kStepTimeoutMs);
    REQUIRE(handOver);
    CHECK(WindowText(::GetDlgItem(handOver, 0xFFFF)) == kFilesLoaded);
    ::PostMessageA(handOver, WM_COMMAND, IDOK, 0);
}

// The box of the updater that the plug-in started from this sandbox, asking to close the host.
HWND WaitForCloseBox(UpdaterRun& updater) {
    HWND ask = nullptr;
    for (const DWORD start = ::GetTickCount(); !ask && ::GetTickCount() - start < kStepTimeoutMs; ::Sleep(20)) {
        updater.Poll();
        ask = updater.FindBox();
    }
    REQUIRE(ask);
    CHECK(WindowText(::GetDlgItem(ask, 0xFFFF)) == std::string(kBoxBefore) + kHostName + kBoxAfter);
    return ask;
}

}  // namespace

TEST_CASE("an update from end to end: the plug-in's hand-over, the wait for the host, the copy, execafter, the logs") {
    Sandbox box("endtoend");
    const std::vector<Download> downloads = {
        {"", "readme.txt", "new readme\r\n"},
        {"", "tarna.dat", Bytes(20000, 1)},             // locked in the program folder: for the restart
        {"plugins/", "pendrake.dll", Bytes(9000, 2)},   // the plug-in replaces itself once the host is gone
        {"data/", "deep.bin", Bytes(70000, 3)},         // a folder that does not exist yet
    };
    updatetest::UpdateServer server;
    std::string list = "99.0000\r\n[general]\r\ncountfiles=" + std::to_string(downloads.size()) +
                       "\r\ntitle=" + kListTitle + "\r\nname=" + kHostName + "\r\nkillprocess=" + Upper(box.tag) +
                       "\r\nexecafter=" + box.root + "\\tools\\recorder.exe record " + box.root +
                       "\\after.txt Then RUN\r\n";
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        const Download& d = downloads[i];
        list += "[file" + std::to_string(i + 1) + "]\r\nname=" + d.name + "\r\nlocalpath=" + d.localPath +
                "\r\nversion=99.0.0.0\r\nlink=files/" + d.localPath + "\r\nfilesize=" + std::to_string(d.body.size()) +
                "\r\n";
        server.Set("/upd/files/" + d.localPath + d.name, updatetest::Route{200, d.body});
    }
    server.Set("/upd/updlist.txt", updatetest::Route{200, list});

    // The host program's folder with old files.
    const std::string plugin = MakeHostFolder(box);
    MakeFolders(box.root + "\\tools");
    REQUIRE(::CopyFileA(FakeHostExe().c_str(), (box.root + "\\tools\\recorder.exe").c_str(), FALSE));
    WriteBytes(box.program + "\\readme.txt", "old readme, longer than the new one\r\n");
    WriteBytes(box.program + "\\tarna.dat", "old data");
    WriteBytes(box.program + "\\settings.ini", "[kept]\r\n");

    const PendingRenamesGuard pending(box.root);
    const Tree before = Snapshot(box.root);
    const DWORD started = ::GetTickCount();
    kit::UniqueFile lock(::CreateFileA((box.program + "\\tarna.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    REQUIRE(lock);
    const std::unique_ptr<FakeHost> startedHost = StartHost(box, plugin, server.FolderUrl("upd"));
    FakeHost& host = *startedHost;
    AcceptUpdate(host.processId(), kListTitle);

    // The updater runs from the temporary folder, finds the host running, and asks to close it.
    const DWORD updaterProcess = FindUpdaterProcess(box, kStepTimeoutMs);
    REQUIRE(updaterProcess);
    UpdaterRun updater(updaterProcess);
    HWND ask = WaitForCloseBox(updater);
    CHECK(host.Running());
    for (const char* unchanged : {"program\\readme.txt", "program\\plugins\\pendrake.dll", "program\\settings.ini"})
        CHECK(testsupport::ReadFile(box.At(unchanged)) == before.at(unchanged));
    CHECK(::GetFileAttributesA((box.program + "\\data").c_str()) == INVALID_FILE_ATTRIBUTES);

    host.Stop();  // the user closes the host program, then answers the box
    ::PostMessageA(ask, WM_COMMAND, IDOK, 0);
    REQUIRE(WaitAll({&updater}, 30000));
    lock.reset();
    MESSAGE("end to end: " << (::GetTickCount() - started) << " ms from the host's start to the updater's end");
    CHECK(updater.exitCode() == 0);
    REQUIRE_FALSE(updater.statuses.empty());
    CHECK(updater.statuses.back() == kDone);
    CHECK(updater.titles.back() == std::string(kTitlePrefix) + kListTitle);

    // The program folder has every downloaded file byte for byte, but the locked one, whose new
    // bytes wait beside it (".new") for the restart; the downloads and the written-out updater
    // stay in the temporary folder.
    const Tree after = Snapshot(box.root);
    Tree expected = before;
    for (const Download& d : downloads) {
        std::string relative = d.localPath + d.name;
        for (char& c : relative)
            if (c == '/') c = '\\';
        CHECK(after.at("temp\\_update\\_files\\" + relative) == d.body);
        expected["program\\" + (relative == "tarna.dat" ? relative + ".new" : relative)] = d.body;
    }
    expected["program\\data\\"] = "";
    CHECK(after.at("temp\\_update\\updater.exe") == testsupport::ReadFile(UpdaterExe()));
    expected["after.txt"] = Lower(box.root + "\\tools\\recorder.exe record " + box.root + "\\after.txt then run");
    // What the plug-in keeps in the temporary folder and its own log are its business; the
    // updater's log is checked line by line below.
    for (const auto& [path, content] : after)
        if (path.rfind("temp\\", 0) == 0 || path.rfind("program\\logs\\", 0) == 0) expected[path] = content;
    CHECK(Differences(expected, after) == "");
    CHECK(expected.at("program\\tarna.dat") == "old data");

    // The updater inherits the host's current directory, the program folder, where the plug-in
    // has made the log folders.
    CHECK(LogTexts(UpdaterLogFile(box.program)) ==
          std::vector<std::string>{ReplacedAtRestart(box.program + "\\tarna.dat"), kCopyDone, kDone});
    CHECK(pending.Mine() == std::vector<std::string>{"\\??\\" + box.program + "\\tarna.dat.new",
                                                      "!\\??\\" + box.program + "\\tarna.dat"});
}

namespace {

constexpr std::size_t kBigSize = 200000;
constexpr std::size_t kCutAt = 57344;  // where every answer of the next version is reset

std::size_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
}

// The host calls a run procedure again and the test waits until it has returned. A question it
// asks is answered as the user of the reported fault did: OK, then Update in the window that
// opens, and the test waits until that download has put the beginning of a file in place of the
// whole one that was handed over. Returns whether a question came.
bool RunAgain(const FakeHost& host, bool quiet, const std::string& downloaded) {
    const kit::UniqueHandle ran = host.RunAgain(quiet);
    for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < kStepTimeoutMs;) {
        if (::WaitForSingleObject(ran.get(), 20) == WAIT_OBJECT_0) return false;
        HWND question = FindDialogOf(host.processId(), 0xFFFF);
        if (!question) continue;
        AnswerAndUpdate(host.processId(), question);
        auto part = [&] { return FileSize(downloaded) > 0 && FileSize(downloaded) < kBigSize; };
        for (const DWORD begun = ::GetTickCount(); !part() && ::GetTickCount() - begun < kStepTimeoutMs;) ::Sleep(20);
        return true;
    }
    FAIL("the run procedure neither returned nor asked");
    return false;
}

}  // namespace

TEST_CASE("while the updater waits for the host, the run procedures leave the hand-over alone; after it, a check runs") {
    Sandbox box("secondrun");
    updatetest::OutsideUpdateSite site;
    const std::string first = Bytes(kBigSize, 5);
    site.Set("/upd/updlist.txt",
             updatetest::Route{200, "99.0000\r\n[general]\r\ncountfiles=1\r\ntitle=" + std::string(kListTitle) +
                                        "\r\nname=" + kHostName + "\r\nkillprocess=" + Upper(box.tag) +
                                        "\r\n[file1]\r\nname=big.bin\r\nversion=99.0.0.0\r\nlink=files/\r\nfilesize=" +
                                        std::to_string(kBigSize) + "\r\n"});
    site.Set("/upd/files/big.bin", updatetest::Route{200, first});
    const std::string plugin = MakeHostFolder(box);
    std::unique_ptr<FakeHost> host = StartHost(box, plugin, site.FolderUrl("upd"));
    AcceptUpdate(host->processId(), kListTitle);
    const DWORD updaterProcess = FindUpdaterProcess(box, kStepTimeoutMs);
    REQUIRE(updaterProcess);
    UpdaterRun updater(updaterProcess);
    HWND ask = WaitForCloseBox(updater);
    CHECK(handover::IsMarked(box.update));

    // The next version is on the site, and every answer for it is cut. The host runs its quiet
    // check, then the user picks the menu's: neither asks, fetches or touches the hand-over.
    site.Set("/upd/files/big.bin", updatetest::Route{200, Bytes(kBigSize, 6), updatetest::Route::Reset, kCutAt});
    const Tree handedOver = Snapshot(box.update);
    const std::size_t requests = site.Requests().size();
    const std::string downloaded = box.files + "\\big.bin";
    CHECK_FALSE(RunAgain(*host, true, downloaded));
    CHECK_FALSE(RunAgain(*host, false, downloaded));
    CHECK(site.Requests().size() == requests);
    CHECK(Differences(handedOver, Snapshot(box.update)) == "");

    // The user closes the host and answers the updater: the handed-over file goes in whole.
    host->Stop();
    ::PostMessageA(ask, WM_COMMAND, IDOK, 0);
    REQUIRE(WaitAll({&updater}, 30000));
    CHECK(updater.exitCode() == 0);
    REQUIRE_FALSE(updater.statuses.empty());
    CHECK(updater.statuses.back() == kDone);
    CHECK(FileSize(box.program + "\\big.bin") == kBigSize);
    CHECK(testsupport::ReadFile(box.program + "\\big.bin") == first);
    CHECK(LogTexts(UpdaterLogFile(box.program)) == std::vector<std::string>{kCopyDone, kDone});
    CHECK_FALSE(handover::IsMarked(box.update));

    // The host again, once the updater has ended: its run procedure checks and asks as before.
    host = StartHost(box, plugin, site.FolderUrl("upd"));
    HWND question = WaitForDialogOf(host->processId(), 0xFFFF, kStepTimeoutMs);
    REQUIRE(question);
    CHECK(WindowText(::GetDlgItem(question, 0xFFFF)) == kQuestion);
    ::PostMessageA(question, WM_COMMAND, IDCANCEL, 0);
    CHECK(site.Requests().size() > requests);
}

TEST_CASE("an update from a temporary folder and into a program folder with Cyrillic names, of files with Cyrillic names") {
    // As on a Russian Windows: the user's temporary folder below a Cyrillic user name, the program
    // in a Cyrillic folder; the list names files and a folder in Cyrillic (the literals are cp1251).
    Sandbox box("cyrillic", "Пользователи\\Иван\\Temp", "Программы\\Тарна");
    const std::vector<Download> downloads = {
        {"", "Справка.txt", "new readme\r\n"},
        {"Данные/", "Отчёт за месяц.bin", Bytes(70000, 7)},  // a folder that does not exist yet
    };
    updatetest::UpdateServer server;
    // The host is waited for by its path, which the updater lower-cases in code page 1251.
    std::string list = "99.0000\r\n[general]\r\ncountfiles=" + std::to_string(downloads.size()) +
                       "\r\ntitle=" + kListTitle + "\r\nname=" + kHostName +
                       "\r\nkillprocess=" + Upper(box.tag + "\\Программы\\Тарна\\host.exe") + "\r\n";
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        const Download& d = downloads[i];
        list += "[file" + std::to_string(i + 1) + "]\r\nname=" + d.name + "\r\nlocalpath=" + d.localPath +
                "\r\nversion=99.0.0.0\r\nlink=files/" + d.localPath + "\r\nfilesize=" + std::to_string(d.body.size()) +
                "\r\n";
        server.Set("/upd/files/" + d.localPath + d.name, updatetest::Route{200, d.body});
    }
    server.Set("/upd/updlist.txt", updatetest::Route{200, list});

    const std::string plugin = MakeHostFolder(box);
    WriteBytes(box.program + "\\" + "Справка.txt", "old readme, longer than the new one\r\n");
    const std::unique_ptr<FakeHost> host = StartHost(box, plugin, server.FolderUrl("upd"));
    AcceptUpdate(host->processId(), kListTitle);
    const DWORD updaterProcess = FindUpdaterProcess(box, kStepTimeoutMs);
    REQUIRE(updaterProcess);
    UpdaterRun updater(updaterProcess);
    HWND ask = WaitForCloseBox(updater);
    CHECK(host->Running());
    host->Stop();
    ::PostMessageA(ask, WM_COMMAND, IDOK, 0);
    REQUIRE(WaitAll({&updater}, 30000));
    CHECK(updater.exitCode() == 0);
    REQUIRE_FALSE(updater.statuses.empty());
    CHECK(updater.statuses.back() == kDone);

    // Every file in its place, byte for byte, under its Cyrillic name.
    for (const Download& d : downloads) {
        std::string relative = d.localPath + d.name;
        for (char& c : relative)
            if (c == '/') c = '\\';
        INFO(testsupport::HexBytes(relative));
        CHECK(testsupport::ReadFile(box.files + "\\" + relative) == d.body);
        CHECK(testsupport::ReadFile(box.program + "\\" + relative) == d.body);
    }
    // Both logs in the program folder's log folder: the updater's, and the plug-in's of the download.
    CHECK(LogTexts(UpdaterLogFile(box.program)) == std::vector<std::string>{kCopyDone, kDone});
    WIN32_FIND_DATAA found{};
    kit::UniqueFind pluginLog(::FindFirstFileA((UpdaterLogFolder(box.program) + "\\upd_*.txt").c_str(), &found));
    REQUIRE(pluginLog);
    CHECK(found.nFileSizeLow > 0);
}

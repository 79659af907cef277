// The update window on the test's thread, against the test's local update service: the check at
// creation (caption, colours, found-files text), a whole update as a user does it (Update pressed,
// the files, the progress, the hand-over with the updater written byte for byte and the command
// line), Cancel once and twice, the failure texts, the parameter store, the update log, and
// objects left behind by repeated windows.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "testing/host/UpdateHostCalls.h"
#include "testing/htmlengine/HtmlEngineQuery.h"
#include "tests/support/TestPaths.h"
#include "tests/support/GuiCounts.h"
#include "tests/update_window/UpdateServer.h"
#include "tests/update_window/WorkerRig.h"
#include "update/UpdateDialog.h"
#include "update/UpdateLog.h"
#include "update/UpdateWindowIds.h"

using namespace updatetest;
using hoststub::DialogDriver;

namespace {

BOOL WINAPI Connected(LPDWORD flags, DWORD) {
    if (flags) *flags = INTERNET_CONNECTION_LAN;
    return TRUE;
}

std::vector<std::string> g_commandLines;
BOOL g_started = TRUE;
// The updater's start through the shell, recorded as program and argument.
BOOL WINAPI RecordStart(SHELLEXECUTEINFOA* start) {
    g_commandLines.push_back(std::string(start->lpFile) + " " + start->lpParameters);
    return g_started;
}

SYSTEMTIME g_now{2024, 5, 5, 17, 9, 8, 7, 0};
void WINAPI FakeNow(LPSYSTEMTIME now) { *now = g_now; }

std::string Pattern(size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 13 + seed) % 253);
    return out;
}

void Pump(DWORD milliseconds) {
    RecordingWindow pump;  // any window of this thread: its pump dispatches every message
    pump.PumpFor(milliseconds);
}

// Pumps until `done` holds or the time is up.
template <class Condition>
bool PumpUntil(Condition done, DWORD milliseconds = 15000) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    while (!done()) {
        if (::GetTickCount64() >= deadline) return false;
        MSG msg;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

// One update folder on the service, a program folder and a temporary folder, and a window.
struct WindowRig {
    UpdateServer server;
    TempFolder temp{"window-temp"};
    TempFolder program{"window-program"};
    std::string baseUrl = server.FolderUrl("upd");
    kit::UniqueModule plugin{::LoadLibraryExA(testsupport::BuildFile("update/pendrake.dll").c_str(), nullptr,
                                              LOAD_LIBRARY_AS_DATAFILE)};
    UpdateWindowCalls calls;
    std::unique_ptr<CUpdateDlg> dialog;

    explicit WindowRig(const std::string& general = "bgcolor=#FF8000\r\ntextcolor=#102030\r\ntitle=Тест\r\n") {
        calls.engine.shellExecuteEx = &RecordStart;
        calls.engine.internetGetConnectedState = &Connected;
        calls.engine.resourceModule = plugin.get();
        calls.connectedState = &Connected;
        calls.now = &FakeNow;
        g_commandLines.clear();
        g_started = TRUE;
        List("1.0.0.3\r\n[general]\r\ncountfiles=2\r\n" + general +
             "[file1]\r\nname=one.bin\r\nversion=1.0.0.3\r\nlink=files/\r\nfilesize=9000\r\n"
             "[file2]\r\nname=two.txt\r\nlocalpath=sub/\r\nversion=1.0.0.3\r\nlink=files/sub/\r\nfilesize=100\r\n");
    }
    void List(const std::string& text) { server.Set("/upd/updlist.txt", Route{200, text}); }
    void Serve(const std::string& relative, Route route) { server.Set("/upd/files/" + relative, std::move(route)); }
    CUpdateDlg& Open() {
        dialog = std::make_unique<CUpdateDlg>(calls);
        UpdateStartInfo info{baseUrl.c_str(), program.path().c_str(), temp.path().c_str(), "unused"};
        REQUIRE(dialog->Create(IDD_UPDATE, nullptr, &info));
        ::ShowWindow(dialog->handle(), SW_SHOW);
        return *dialog;
    }
    HWND Item(int id) const { return ::GetDlgItem(dialog->handle(), id); }
    std::string ItemText(int id) const { return DialogDriver::ItemText(dialog->handle(), id); }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    void Press(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    std::string Log() const { return ReadWholeFile(UpdateLogPath(program.path().c_str(), g_now).c_str()); }
};

}  // namespace

TEST_CASE("the window after its check: caption, texts, colours, controls, the pane") {
    WindowRig rig;
    CUpdateDlg& dialog = rig.Open();
    CHECK(DialogDriver::Text(dialog.handle()) == "Обновление Тест");
    CHECK(rig.ItemText(IDC_UPDATE_STATUS) == "обнаружено 2 новых файлов (9 KB)");
    CHECK(rig.ItemText(IDC_UPDATE_BUTTON) == "Обновление");
    CHECK(rig.ItemText(IDC_UPDATE_EXIT) == "Выход");
    CHECK(rig.ItemText(IDC_UPDATE_SETTINGS) == "Настройки");
    CHECK_FALSE(rig.Visible(IDC_UPDATE_SETTINGS));
    CHECK_FALSE(rig.Visible(IDC_UPDATE_PROGRESS));
    CHECK(rig.Visible(IDC_UPDATE_STATUS));
    CHECK(rig.Enabled(IDC_UPDATE_BUTTON));
    CHECK(rig.Enabled(IDC_UPDATE_EXIT));
    CHECK(dialog.BackgroundColour() == RGB(0xFF, 0x80, 0x00));
    CHECK(dialog.TextColour() == RGB(0x10, 0x20, 0x30));
    CHECK_FALSE(dialog.IsBusy());
    REQUIRE(dialog.Params());
    CHECK(dialog.Params()->GetText(kParamUrl) == rig.baseUrl.c_str());
    CHECK(dialog.Params()->GetText(kParamTempPath) == rig.temp.path().c_str());

    // The pane: above the progress bar with a gap of 30 pixels, hidden until the page check.
    HWND pane = dialog.Pane().handle();
    REQUIRE(pane);
    CHECK_FALSE(::IsWindowVisible(pane));
    RECT paneRect, progress;
    ::GetWindowRect(pane, &paneRect);
    ::GetWindowRect(rig.Item(IDC_UPDATE_PROGRESS), &progress);
    CHECK(progress.top - paneRect.bottom == 30);
    CHECK(PumpUntil([&] { return ::IsWindowVisible(pane) != FALSE; }, 6000));  // timer 1 after 3 s

    // Every control and the dialog are painted with the list's colours, from one brush.
    HDC dc = ::CreateCompatibleDC(nullptr);
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageA(dialog.handle(), WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(rig.Item(IDC_UPDATE_STATUS))));
    LOGBRUSH logBrush{};
    REQUIRE(::GetObjectA(brush, sizeof logBrush, &logBrush) == sizeof logBrush);
    CHECK(logBrush.lbColor == RGB(0xFF, 0x80, 0x00));
    CHECK(::GetTextColor(dc) == RGB(0x10, 0x20, 0x30));
    CHECK(::GetBkMode(dc) == TRANSPARENT);
    CHECK(reinterpret_cast<HBRUSH>(::SendMessageA(dialog.handle(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(dialog.handle()))) == brush);
    ::DeleteDC(dc);

    // The check's log lines, the banner's single blank without the time.
    const std::string log = rig.Log();
    CHECK(log.rfind(" \r\n[09:08:07] ******************************\r\n[09:08:07]       Pendrake 1.0.0.2\r\n", 0) == 0);
    CHECK(log.find("[09:08:07] проверка обновления\r\n") != std::string::npos);
}

TEST_CASE("a list without colours or title: black ground, button-shadow text, a bare caption") {
    WindowRig rig("");
    CUpdateDlg& dialog = rig.Open();
    CHECK(DialogDriver::Text(dialog.handle()) == "Обновление ");
    CHECK(dialog.BackgroundColour() == 0);
    CHECK(dialog.TextColour() == ::GetSysColor(COLOR_BTNSHADOW));
}

TEST_CASE("a whole update: Update pressed, the files, the progress, the hand-over") {
    WindowRig rig;
    const std::string one = Pattern(9000, 1), two = "second file\r\n";
    rig.Serve("one.bin", Route{200, one});
    rig.Serve("sub/two.txt", Route{200, two});
    CUpdateDlg& dialog = rig.Open();

    DialogDriver handOver(::GetCurrentThreadId(), "pendrake", IDOK, 20000);
    rig.Press(IDC_UPDATE_BUTTON);
    CHECK(dialog.IsBusy());
    CHECK(rig.ItemText(IDC_UPDATE_BUTTON) == "Отменить");
    CHECK_FALSE(rig.Enabled(IDC_UPDATE_EXIT));
    CHECK(rig.Visible(IDC_UPDATE_PROGRESS));
    CHECK_FALSE(rig.Visible(IDC_UPDATE_STATUS));
    REQUIRE(PumpUntil([&] { return !g_commandLines.empty(); }, 20000));
    CHECK(handOver.Answered());
    CHECK(handOver.MessageText() == "Файлы загружены.\nСейчас будет выполнена финальная стадия обновления.");

    CHECK(ReadWholeFile(rig.temp.path() + "_update/_files/one.bin") == one);
    CHECK(ReadWholeFile(rig.temp.path() + "_update/_files/sub/two.txt") == two);
    CHECK(ReadWholeFile(rig.temp.path() + "_update/updater.exe") ==
          ReadWholeFile(testsupport::BuildFile("updater/updater.exe")));
    CHECK(g_commandLines == std::vector<std::string>{rig.temp.path() + "_update/updater.exe \"<file>" + rig.temp.path() +
                                                     "_update/_updlist.ini</file>\""});
    CHECK(::SendMessageA(rig.Item(IDC_UPDATE_PROGRESS), PBM_GETPOS, 0, 0) == 2);
    CHECK(::SendMessageA(rig.Item(IDC_UPDATE_PROGRESS), PBM_GETRANGE, FALSE, 0) == 2);
    // The window closed itself: hidden, its store freed, not busy.
    CHECK_FALSE(::IsWindowVisible(dialog.handle()));
    CHECK_FALSE(dialog.IsBusy());
    CHECK(dialog.Params() == nullptr);

    const std::string log = rig.Log();
    for (const char* line : {"[09:08:07] загрузка 2 файлов (размер 9 KB)\r\n", "[09:08:07] загружен one.bin (9 KB)\r\n",
                             "[09:08:07] загружен sub/two.txt (13 B)\r\n",
                             "[09:08:07] всего загружено 2 файлов (9 KB)\r\n"}) {
        CAPTURE(line);
        CHECK(log.find(line) != std::string::npos);
    }
}

TEST_CASE("a failed hand-over: Exit enabled, and the window is no longer busy") {
    WindowRig rig;
    rig.Serve("one.bin", Route{200, "1"});
    rig.Serve("sub/two.txt", Route{200, "2"});
    g_started = FALSE;  // the updater cannot be started
    CUpdateDlg& dialog = rig.Open();
    DialogDriver handOver(::GetCurrentThreadId(), "pendrake", IDOK, 20000);
    rig.Press(IDC_UPDATE_BUTTON);
    REQUIRE(PumpUntil([&] { return !g_commandLines.empty(); }, 20000));
    CHECK(handOver.Answered());
    Pump(50);
    CHECK(::IsWindowVisible(dialog.handle()));
    CHECK(rig.Enabled(IDC_UPDATE_EXIT));
    CHECK_FALSE(rig.Enabled(IDC_UPDATE_BUTTON));
    CHECK_FALSE(dialog.IsBusy());
}

TEST_CASE("Cancel once and twice during a stalled download; a failed download") {
    SUBCASE("once: the worker ends with 8") {
        WindowRig rig;
        // The cancel closes the worker's open handles: a blocked read returns then on Windows,
        // under Wine only at its time-out, which is short here.
        rig.calls.timeouts = DownloadTimeouts{1000, 30000};
        rig.Serve("one.bin", Route{200, Pattern(20000, 2), Route::Stall, 4096});
        CUpdateDlg& dialog = rig.Open();
        rig.Press(IDC_UPDATE_BUTTON);
        REQUIRE(PumpUntil([&] { return rig.server.WaitForStall(0); }));
        rig.Press(IDC_UPDATE_BUTTON);
        CHECK(dialog.IsBusy());
        REQUIRE(PumpUntil([&] { return !dialog.IsBusy(); }));
        CHECK(rig.ItemText(IDC_UPDATE_STATUS) == "обновление не выполнено");
        CHECK(rig.Visible(IDC_UPDATE_STATUS));
        CHECK_FALSE(rig.Visible(IDC_UPDATE_PROGRESS));
        CHECK(rig.ItemText(IDC_UPDATE_BUTTON) == "Обновление");
        CHECK_FALSE(rig.Enabled(IDC_UPDATE_BUTTON));
        CHECK(rig.Enabled(IDC_UPDATE_EXIT));
        rig.server.ReleaseStalls();
    }
    SUBCASE("twice: stopped at once, reported with 0, nothing afterwards") {
        WindowRig rig;
        rig.Serve("one.bin", Route{200, Pattern(20000, 3), Route::Stall, 4096});
        CUpdateDlg& dialog = rig.Open();
        rig.Press(IDC_UPDATE_BUTTON);
        REQUIRE(PumpUntil([&] { return rig.server.WaitForStall(0); }));
        // The server stalls once it has sent the first bytes: the worker may still be saving and
        // reporting them, and a cancel seen there ends its run before the second press. Its
        // reports handled, it waits in its read.
        Pump(100);
        const ULONGLONG start = ::GetTickCount64();
        rig.Press(IDC_UPDATE_BUTTON);
        rig.Press(IDC_UPDATE_BUTTON);
        CHECK(::GetTickCount64() - start < 3000);
        CHECK_FALSE(dialog.IsBusy());
        CHECK_FALSE(dialog.Worker().HasThread());
        CHECK(rig.ItemText(IDC_UPDATE_STATUS) == "обновление не выполнено");
        const std::string log = rig.Log();
        rig.server.ReleaseStalls();
        Pump(1000);
        CHECK(rig.Log() == log);
    }
    SUBCASE("a file that cannot be downloaded") {
        WindowRig rig;
        rig.calls.timeouts = DownloadTimeouts{1000, 2500};  // every answer is cut: it fails at the stall limit
        rig.Serve("one.bin", Route{200, Pattern(9000, 4), Route::CutOff, 1000});
        CUpdateDlg& dialog = rig.Open();
        rig.Press(IDC_UPDATE_BUTTON);
        REQUIRE(PumpUntil([&] { return !dialog.IsBusy(); }));
        CHECK(rig.ItemText(IDC_UPDATE_STATUS) == "не удалось загрузить все файлы\nобновление остановлено");
        CHECK(rig.Log().find("ОШИБКА Невозможна загрузка файла one.bin") != std::string::npos);
    }
    SUBCASE("closing the window during a download") {
        WindowRig rig;
        rig.Serve("one.bin", Route{200, Pattern(20000, 5), Route::Stall, 4096});
        rig.Open();
        rig.Press(IDC_UPDATE_BUTTON);
        REQUIRE(PumpUntil([&] { return rig.server.WaitForStall(0); }));
        const ULONGLONG start = ::GetTickCount64();
        rig.dialog.reset();
        CHECK(::GetTickCount64() - start < 3000);
        rig.server.ReleaseStalls();
        Pump(500);
    }
}

TEST_CASE("lines that drop, a file that changes, a file never answered: handed over only when every file is whole") {
    struct Case {
        const char* name;
        bool handOver;
    };
    const Case cases[] = {
        {"a reset half way through each file's first answer", true},
        {"a file that changes on the server after its cut first answer", true},
        {"a file never answered, a served file after it", false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        WindowRig rig;
        const std::string one = Pattern(9000, 6), two = Pattern(3000, 7), changed = Pattern(12000, 8);
        Route first{200, one, Route::Reset, 4500};
        first.cutAnswers = 1;
        Route second{200, two, Route::Reset, 1500};
        second.cutAnswers = 1;
        std::string expectedOne = one;
        if (c.handOver && std::string(c.name).find("changes") != std::string::npos) {
            first.changedBody = changed;
            expectedOne = changed;
        }
        if (!c.handOver) {
            rig.calls.timeouts = DownloadTimeouts{400, 2500};
            first = Route{200, one};
            first.answerDelay = 60000;  // until the service stops
        }
        rig.Serve("one.bin", first);
        rig.Serve("sub/two.txt", second);
        CUpdateDlg& dialog = rig.Open();
        std::unique_ptr<DialogDriver> handOver;
        if (c.handOver) handOver = std::make_unique<DialogDriver>(::GetCurrentThreadId(), "pendrake", IDOK, 30000);
        rig.Press(IDC_UPDATE_BUTTON);
        REQUIRE(PumpUntil([&] { return !dialog.IsBusy(); }, 30000));
        CHECK(ReadWholeFile(rig.temp.path() + "_update/_files/sub/two.txt") == two);
        if (c.handOver) {
            CHECK(handOver->Answered());
            CHECK(g_commandLines.size() == 1);
            CHECK(ReadWholeFile(rig.temp.path() + "_update/_files/one.bin") == expectedOne);
            continue;
        }
        CHECK(g_commandLines.empty());
        CHECK(rig.ItemText(IDC_UPDATE_STATUS) == "обновление не выполнено");
        CHECK(rig.Visible(IDC_UPDATE_STATUS));
        CHECK_FALSE(rig.Enabled(IDC_UPDATE_BUTTON));
        CHECK(rig.Enabled(IDC_UPDATE_EXIT));
        CHECK(FindWindowA("#32770", "pendrake") == nullptr);  // no hand-over box
        CHECK(rig.Log().find("[09:08:07] ОШИБКА Файл не найден one.bin\r\n") != std::string::npos);
        CHECK(rig.Log().find("[09:08:07] всего загружено 1 файлов (3 KB)\r\n") != std::string::npos);
    }
}

TEST_CASE("the window's messages: status, colours, results, parameters") {
    WindowRig rig;
    CUpdateDlg& dialog = rig.Open();
    HWND window = dialog.handle();

    kit::String colour("#00FF00");
    ::SendMessageA(window, WM_UPD_SET_COLOR, UpdPointerParam(&colour), 1);
    CHECK(dialog.BackgroundColour() == RGB(0xFF, 0x80, 0x00));
    CHECK(dialog.TextColour() == RGB(0x10, 0x20, 0x30));
    CHECK(::IsWindowVisible(window));
    ::SendMessageA(window, WM_UPD_SET_COLOR, UpdPointerParam(&colour), 0);
    CHECK(dialog.BackgroundColour() == RGB(0, 0xFF, 0));
    ::SendMessageA(window, WM_UPD_SET_COLOR, UpdPointerParam(&colour), 3);
    CHECK(dialog.TextColour() == RGB(0, 0xFF, 0));
    CHECK(dialog.Params()->GetNumber2(kParamBgColor) == RGB(0xFF, 0x80, 0x00));  // the store keeps its value

    kit::String status("загрузка x");
    ::SendMessageA(window, WM_UPD_STATUS, UpdPointerParam(&status), 0);
    CHECK(rig.ItemText(IDC_UPDATE_STATUS) == "загрузка x");

    for (WPARAM result : {WPARAM{8}, WPARAM{1}, WPARAM{4}}) {
        ::SendMessageA(window, WM_UPD_WORKER_DONE, result, 0);
        CHECK(rig.ItemText(IDC_UPDATE_STATUS) ==
              (result == 4 ? "не удалось загрузить все файлы\nобновление остановлено" : "обновление не выполнено"));
    }

    UpdateParam param;
    param.name = "TITLE";
    param.text = "new";
    param.number = 5;
    param.number2 = 6;
    param.real = 7.5;
    ::SendMessageA(window, WM_UPD_SET_PARAM, UpdPointerParam(&param), 0);
    UpdateParam empty;
    empty.name = "TITLE";
    ::SendMessageA(window, WM_UPD_SET_PARAM, UpdPointerParam(&empty), 0);
    const CUpdateParamStore* store = dialog.Params();
    size_t titles = 0;
    for (size_t i = 0; i < store->Size(); ++i) {
        if (store->At(i).name == "TITLE") {
            ++titles;
            CHECK(store->At(i).text.IsEmpty());
            CHECK(store->At(i).number == 0);
            CHECK(store->At(i).number2 == 0);
            CHECK(store->At(i).real == 0.0);
        }
    }
    CHECK(titles == 1);
    kit::String name("title"), result("preset");
    ::SendMessageA(window, WM_UPD_GET_PARAM, UpdPointerParam(&name), UpdPointerLParam(&result));
    CHECK(result.IsEmpty());  // names are matched with case
}

TEST_CASE("the update log: the time prefix, a file per day, a folder per month, a folder that cannot be made") {
    TempFolder program{"log-program"};
    SYSTEMTIME day{2024, 5, 5, 31, 23, 59, 58, 0};
    REQUIRE(WriteUpdateLog(program.path().c_str(), "abc", day));
    REQUIRE(WriteUpdateLog(program.path().c_str(), "abcd", day));
    REQUIRE(WriteUpdateLog(program.path().c_str(), " ", day));
    SYSTEMTIME next{2024, 6, 6, 1, 0, 0, 1, 0};
    REQUIRE(WriteUpdateLog(program.path().c_str(), "июнь", next));
    CHECK(ReadWholeFile(program.path() + "logs\\2024_05\\upd_20240531.txt") == "abc\r\n[23:59:58] abcd\r\n \r\n");
    CHECK(ReadWholeFile(program.path() + "logs\\2024_06\\upd_20240601.txt") == "[00:00:01] июнь\r\n");
    REQUIRE(WriteUpdateLog(program.path().c_str(), "more", day));
    CHECK(ReadWholeFile(program.path() + "logs\\2024_05\\upd_20240531.txt") ==
          "abc\r\n[23:59:58] abcd\r\n \r\n[23:59:58] more\r\n");

    // "logs" is a file: no folder, the line is lost, nothing else happens.
    TempFolder blocked{"log-blocked"};
    std::FILE* file = std::fopen((blocked.path() + "logs").c_str(), "wb");
    REQUIRE(file);
    std::fclose(file);
    CHECK_FALSE(WriteUpdateLog(blocked.path().c_str(), "lost", day));
}

TEST_CASE("repeated windows leave no kernel handle, GDI object or window behind") {
    REQUIRE(guitest::ProveCounters() == "");
    WindowRig rig;
    // Counted once the service has answered and its threads have ended, and the window's
    // pending messages have run.
    auto counts = [&] {
        CHECK(rig.server.WaitIdle());
        Pump(100);
        return guitest::ObjectCounts();
    };
    // A window opened, recoloured, painted and closed, as a user may do it again and again.
    auto cycle = [&] {
        CUpdateDlg& dialog = rig.Open();
        kit::String colour("#123456");
        ::SendMessageA(dialog.handle(), WM_UPD_SET_COLOR, UpdPointerParam(&colour), 0);
        HDC dc = ::CreateCompatibleDC(nullptr);
        ::SendMessageA(dialog.handle(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0);
        ::DeleteDC(dc);
        dialog.Pane().CheckPage();
        rig.dialog.reset();
    };
    cycle();  // the first cycle's one-time work (the engine stand-in, WinInet, the classes, the brush)
    const std::vector<int> before = counts();
    for (int i = 0; i < 10; ++i) cycle();
    const std::vector<int> after = counts();
    MESSAGE(guitest::CountsText(before) << " before, " << guitest::CountsText(after) << " after 10 windows");
    CHECK(after == before);
    CHECK(::SendMessageA(rig.Open().Pane().handle(), ::RegisterWindowMessageA(kHtmlEngineQueryMessage),
                         kHtmlQueryOutsideReferences, 0) == 0);
}

// The update as a user sees it (make demo): the stand-in host loads pendrake.dll and runs its
// update procedure against a local update service of its own (127.0.0.1, an ephemeral port) that
// offers a newer version with a news page and two files. The question box is answered OK, the
// update window is photographed before and after the download, the hand-over box is answered,
// and the real updater installs the files into the demo's program folder.
//   updatedemo <pendrake.dll> <folder for the PNG files> <work folder>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "testing/host/DemoPictures.h"
#include "testing/host/HostStrings.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"
#include "testing/host/UpdateHostCalls.h"
#include "tests/update_window/UpdateServer.h"
#include "update/UpdateWindowIds.h"

namespace {

using hoststub::DialogDriver;

std::string Utf8(const std::string& cp1251) { return hoststub::ToUtf8(cp1251); }

// What the screen shows where the window is (a box in front of it included).
bool Screenshot(HWND window, const std::string& path) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    return hoststub::SaveScreenPicture(rect, path);
}

void Wait(DWORD milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < end) ::Sleep(50);  // the host's thread pumps by itself
}

std::string ReadFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return {};
    std::string data;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) data.append(buffer, got);
    std::fclose(file);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: updatedemo <pendrake.dll> <screenshots> <work folder>\n");
        return 2;
    }
    const std::string plugin = argv[1], shots = hoststub::WindowsPath(argv[2]) + "\\";
    const std::string work = hoststub::WindowsPath(argv[3]) + "\\";
    const std::string temp = work + "temp\\", program = work + "program\\";
    ::CreateDirectoryA(work.c_str(), nullptr);
    ::CreateDirectoryA(temp.c_str(), nullptr);
    ::CreateDirectoryA(program.c_str(), nullptr);
    ::SetEnvironmentVariableA("TMP", temp.c_str());
    ::SetEnvironmentVariableA("TEMP", temp.c_str());

    updatetest::UpdateServer server;
    const std::string folder = server.FolderUrl("upd");
    server.Set("/upd/updlist.txt",
               updatetest::Route{200, "99.0.00\r\n[general]\r\ncountfiles=2\r\nbgcolor=#D4D0C8\r\ntextcolor=#202060\r\n"
                                      "title=Тарна 9.0\r\nwebtext=" + folder + "news.html\r\nname=Демо\r\n"
                                      "killprocess=no-such-program\r\n"
                                      "[file1]\r\nname=tarna.txt\r\nversion=9.0.0.0\r\nlink=files/\r\nfilesize=120000\r\n"
                                      "[file2]\r\nname=readme.txt\r\nlocalpath=doc/\r\nversion=9.0.0.0\r\n"
                                      "link=files/doc/\r\nfilesize=60\r\n"});
    server.Set("/upd/news.html",
               updatetest::Route{200, "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                                      "charset=windows-1251\"></head><body style=\"background: #FFFFF0\">"
                                      "<h3>Что нового в версии 9.0</h3><p>Баланс и трафик за сегодня в одном окне.</p>"
                                      "<p>Обновление займёт меньше минуты.</p></body></html>"});
    server.Set("/upd/files/tarna.txt", updatetest::Route{200, std::string(120000, 'T')});
    server.Set("/upd/files/doc/readme.txt", updatetest::Route{200, "Тарна 9.0: новая версия программы.\r\n"});

    hoststub::StandInHost host;
    std::unique_ptr<hoststub::PluginModule> module;
    host.RunOnUiThread([&] { module = std::make_unique<hoststub::PluginModule>(plugin); });
    auto* run = reinterpret_cast<host::exports::GetPluginRunProcUpdate*>(
        reinterpret_cast<void*>(module->Find("GetPluginRunProcUpdate")));
    const DWORD ui = host.uiThreadId();
    int status = 0;
    {
        DialogDriver question(ui, "Обновление", IDOK);
        hoststub::CallRunProcedure(host, run, {folder, program, "C:\\windows\\system32\\kernel32.dll"});
        std::printf("question box: %s -> OK\n", Utf8(question.MessageText()).c_str());
    }
    HWND window = DialogDriver::WaitForDialog(ui, "Обновление Тарна 9.0", 5000);
    if (!window) {
        std::printf("the update window did not open\n");
        status = 1;
    } else {
        Wait(3500);  // the news page shows after three seconds
        std::printf("window: \"%s\", status \"%s\"\n", Utf8(DialogDriver::Text(window)).c_str(),
                    Utf8(DialogDriver::ItemText(window, IDC_UPDATE_STATUS)).c_str());
        Screenshot(window, shots + "update-window-before.png");
        DialogDriver::Click(window, IDC_UPDATE_BUTTON);
        HWND box = DialogDriver::WaitForDialog(ui, "pendrake", 30000);
        if (!box) {
            std::printf("the download did not end: \"%s\"\n", Utf8(DialogDriver::ItemText(window, IDC_UPDATE_STATUS)).c_str());
            status = 1;
        } else {
            Screenshot(window, shots + "update-window-after.png");
            std::printf("hand-over box: %s -> OK\n", Utf8(DialogDriver::ItemText(box, 0xFFFF)).c_str());
            DialogDriver::Click(box, IDOK);
            const std::string installed = program + "doc\\readme.txt";
            for (int i = 0; i < 300 && ReadFile(installed).empty(); ++i) Wait(100);
            std::printf("installed by the updater: %s (%zu bytes), doc\\readme.txt: %s", "tarna.txt",
                        ReadFile(program + "tarna.txt").size(), Utf8(ReadFile(installed)).c_str());
        }
    }
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char log[64];
    std::snprintf(log, sizeof log, "logs\\%04u_%02u\\upd_%04u%02u%02u.txt", now.wYear, now.wMonth, now.wYear,
                  now.wMonth, now.wDay);
    std::printf("\nupdate log (%s):\n%s", log, Utf8(ReadFile(program + log)).c_str());
    host.RunOnUiThread([&] { module.reset(); });
    return status;
}

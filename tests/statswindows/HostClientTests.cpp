// The statistics windows' host client against the stand-in host, against a window that answers
// none of the messages, and without a host window.
#include <doctest/doctest.h>

#include <string>

#include "statswindows/common/HostClient.h"
#include "testing/host/StandInHost.h"

namespace {

constexpr char kIni[] = "plugins\\probe\\probe.ini";

}  // namespace

TEST_CASE("the host client reads and writes through the host's ini files, values and options") {
    hoststub::StandInHost host;
    char temp[MAX_PATH] = {}, folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    ::GetTempFileNameA(temp, "hcl", 0, folder);
    ::DeleteFileA(folder);
    host.SetHostFolder(folder);
    host.SetValue("saldo", "12.50");
    host.SetValue("blank", " ");
    host.SetOption("dblclk", true);
    host.SetUserLimit("saldolimituser", "10");
    stats::HostClient client;
    client.hostWindow = host.window();
    host.RunOnUiThread([&] {
        CHECK(client.GetHostValue("saldo", "x") == "12.50");
        CHECK(client.GetHostValue("blank", "x") == " ");
        CHECK(client.GetHostValue("unknown", "x") == "x");
        CHECK(client.GetHostValue("saldolimituser", "x") == "10");
        CHECK(client.GetHostFlag("dblclk"));
        CHECK_FALSE(client.GetHostFlag("alltitlealert"));
        // The host supplies the default of a missing key itself.
        CHECK(client.ReadHostIniString(kIni, "GLOBAL", "X", "0") == "0");
        client.WriteHostIniString(kIni, "GLOBAL", "X", "-17");
        CHECK(client.ReadHostIniString(kIni, "GLOBAL", "X", "0") == "-17");
        CHECK(client.ReadHostIniInt(kIni, "GLOBAL", "COLORBG", 14212329) == 14212329);
        client.WriteHostIniInt(kIni, "GLOBAL", "COLORBG", 4276545);
        CHECK(client.ReadHostIniInt(kIni, "GLOBAL", "COLORBG", 0) == 4276545);
        client.WriteHostIniInt(kIni, "GLOBAL", "NEGATIVE", -3);
        CHECK(client.ReadHostIniInt(kIni, "GLOBAL", "NEGATIVE", 0) == -3);
        client.SendTrayText("a\nb");
    });
    char text[32] = {};
    ::GetPrivateProfileStringA("GLOBAL", "X", "", text, sizeof text, (std::string(folder) + "\\" + kIni).c_str());
    CHECK(std::string(text) == "-17");
    CHECK(host.trayTexts() == std::vector<std::string>{"a\nb"});
}

TEST_CASE("a window that answers nothing: defaults for values, options and ints, the empty text for ini strings") {
    HWND mute = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    REQUIRE(mute != nullptr);
    stats::HostClient client;
    client.hostWindow = mute;
    CHECK(client.GetHostValue("saldo", "\xED\xE5\xF2") == "\xED\xE5\xF2");
    CHECK_FALSE(client.GetHostFlag("dblclk"));
    CHECK(client.ReadHostIniString(kIni, "GLOBAL", "X", "0") == "");
    // Left unwritten, the int is what no host at all would give.
    CHECK(client.ReadHostIniInt(kIni, "GLOBAL", "COLORTEXT", 4276545) == 4276545);
    ::DestroyWindow(mute);
}

TEST_CASE("without a host window every read is its default and nothing is sent") {
    hoststub::StandInHost host;
    stats::HostClient client;
    CHECK(client.GetHostValue("saldo", "d") == "d");
    CHECK_FALSE(client.GetHostFlag("dblclk"));
    CHECK(client.ReadHostIniString(kIni, "GLOBAL", "X", "0") == "0");
    CHECK(client.ReadHostIniInt(kIni, "GLOBAL", "COLORBG", 7) == 7);
    client.WriteHostIniString(kIni, "GLOBAL", "X", "5");
    client.WriteHostIniInt(kIni, "GLOBAL", "X", 5);
    client.SendTrayText("t");
    CHECK(host.windowCalls().empty());
}

// What the action tests share: the log texts as cp1251 bytes, and a rig of the stand-in host with
// brasko.dll loaded on its user-interface thread and the Brasko stand-in running beside it.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "testing/brasko/BraskoProgram.h"
#include "testing/host/PluginModule.h"
#include "testing/host/StandInHost.h"

namespace actiontest {

constexpr char kAttemptWorldOff[] = "-> Brasko : \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xE2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xEC\xE8\xF0";
constexpr char kAttemptBoth[] =
    "-> Brasko : \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xE2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xEC\xE8\xF0 \xE8 "
    "\xE0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xF2\xFC \xF1\xE5\xE3\xEC\xE5\xED\xF2";
constexpr char kAttemptSegmentOn[] =
    "-> Brasko : \xCF\xEE\xEF\xFB\xF2\xEA\xE0 \xE0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xF2\xFC \xF1\xE5\xE3\xEC\xE5\xED\xF2";
constexpr char kWorldOffDone[] =
    "::: Brasko : \xC2\xFB\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 \"\xEC\xE8\xF0\xE0\" \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xED\xEE";
constexpr char kSegmentOnDone[] =
    "::: Brasko : \xC0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5 \xF1\xE5\xE3\xEC\xE5\xED\xF2\xE0 "
    "\xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xED\xEE";
constexpr char kDeactivated[] =
    "\xC4\xE5\xE0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5 Brasko \xE2\xFB\xEF\xEE\xEB\xED\xE5\xED\xED\xEE";
// Indexed by limit kind - 1.
constexpr const char* kLimitLines[] = {
    "::: \xC4\xEE\xF1\xF2\xE8\xE3\xED\xF3\xF2 \xEB\xE8\xEC\xE8\xF2 \xEF\xEE \xE7\xE0\xF0\xF3\xE1\xE5\xE6\xED\xEE\xEC\xF3 "
    "\xF2\xF0\xE0\xF4\xE8\xEA\xF3 ",
    "::: \xC4\xEE\xF1\xF2\xE8\xE3\xED\xF3\xF2 \xEB\xE8\xEC\xE8\xF2 \xEF\xEE \xF3\xEA\xF0\xE0\xE8\xED\xF1\xEA\xEE\xEC\xF3 "
    "\xF2\xF0\xE0\xF4\xE8\xEA\xF3 ",
    "::: \xC4\xEE\xF1\xF2\xE8\xE3\xED\xF3\xF2 \xEB\xE8\xEC\xE8\xF2 \xEF\xEE \xEE\xE1\xF9\xE5\xEC\xF3 \xF2\xF0\xE0\xF4\xE8\xEA\xF3 ",
    "::: \xC4\xEE\xF1\xF2\xE8\xE3\xED\xF3\xF2 \xEB\xE8\xEC\xE8\xF2 \xEF\xEE \xF1\xE0\xEB\xFC\xE4\xEE ",
};

using RunExternalFn = host::exports::RunExternalFunction*;

std::string BraskoDll();
std::string BraskoStandInExe();

// Log lines one per line, as \xNN text: a failure shows which bytes differ.
std::string LogText(const std::vector<std::string>& lines);
// Messages one per line: name, then whether wParam is the reply address, then lParam.
std::string Commands(const std::vector<braskostub::Record>& records, HWND replyWindow);
std::string ExpectedCommands(const std::vector<UINT>& messages, HWND replyWindow);

class ActionRig {
public:
    enum class Brasko { Running, Absent };
    explicit ActionRig(Brasko brasko = Brasko::Running);
    ~ActionRig();

    void Load();    // on the host's user-interface thread
    void Unload();  // likewise

    void Run(int limitKind, int actionId, const std::string& text = "");
    void RunWith(HWND hostWindow, int limitKind, int actionId, const std::string& text = "");
    // Lets replies and the commands they cause travel until the exchange is over.
    void Settle();

    HWND actionWindow() const;  // the "WallAction" child of the host window, or null
    std::size_t recordCount() const { return brasko ? brasko->Records().size() : 0; }
    // What the Brasko main window received from record `from` on.
    std::string receivedSince(std::size_t from) const;
    // Nothing ever reached a decoy.
    bool decoysUntouched() const;

    hoststub::StandInHost host;
    std::optional<hoststub::PluginModule> plugin;
    std::unique_ptr<braskostub::BraskoProgram> brasko;
};

}  // namespace actiontest

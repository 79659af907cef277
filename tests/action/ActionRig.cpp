// The action tests' rig and the helpers that print what was logged and received.
#include "tests/action/ActionRig.h"

#include <cstdio>

#include "action/BraskoProtocol.h"
#include "tests/support/TestPaths.h"

namespace actiontest {

using braskostub::Record;
using braskostub::WindowRole;

std::string BraskoDll() { return testsupport::BuildFile("action/brasko.dll"); }
std::string BraskoStandInExe() { return testsupport::BuildFile("testing/braskostandin.exe"); }

std::string LogText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += testsupport::HexBytes(line) + "\n";
    return text;
}

namespace {

std::string MessageName(UINT message) {
    switch (message) {
    case brasko::WM_BRASKO_QUERY_STATE: return "QUERY_STATE";
    case brasko::WM_BRASKO_WORLD_OFF: return "WORLD_OFF";
    case brasko::WM_BRASKO_SEGMENT_ON: return "SEGMENT_ON";
    default: return "message " + std::to_string(message);
    }
}

std::string Describe(UINT message, UINT_PTR wParam, LPARAM lParam, HWND replyWindow) {
    const bool reply = wParam == reinterpret_cast<UINT_PTR>(replyWindow);
    return MessageName(message) + (reply ? " (reply window, " : " (wParam " + std::to_string(wParam) + ", ") +
           std::to_string(lParam) + ")\n";
}

}  // namespace

std::string Commands(const std::vector<Record>& records, HWND replyWindow) {
    std::string text;
    for (const Record& r : records) text += Describe(r.message, r.wParam, r.lParam, replyWindow);
    return text;
}

std::string ExpectedCommands(const std::vector<UINT>& messages, HWND replyWindow) {
    std::string text;
    for (UINT message : messages) text += Describe(message, reinterpret_cast<UINT_PTR>(replyWindow), 0, replyWindow);
    return text;
}

ActionRig::ActionRig(Brasko running) {
    if (running == Brasko::Running) brasko = std::make_unique<braskostub::BraskoProgram>(BraskoStandInExe());
    Load();
}

ActionRig::~ActionRig() {
    try {
        Unload();
    } catch (...) {
    }
}

void ActionRig::Load() {
    host.RunOnUiThread([this] { plugin.emplace(BraskoDll()); });
}

void ActionRig::Unload() {
    host.RunOnUiThread([this] { plugin.reset(); });
}

void ActionRig::Run(int limitKind, int actionId, const std::string& text) {
    RunWith(host.window(), limitKind, actionId, text);
}

void ActionRig::RunWith(HWND hostWindow, int limitKind, int actionId, const std::string& text) {
    host.CallExternalFunction(plugin->Resolve<RunExternalFn>("RunExternalFunction"), limitKind, actionId, text,
                              hostWindow);
}

// The longest exchange is query, state, command, confirmation: each round lets Brasko handle what
// was posted to it (its replies are queued before the drain returns), then the host.
void ActionRig::Settle() {
    for (int round = 0; round < 3; ++round) {
        if (brasko) brasko->Drain();
        host.DrainPosted();
    }
}

HWND ActionRig::actionWindow() const { return ::FindWindowExA(host.window(), nullptr, nullptr, "WallAction"); }

std::string ActionRig::receivedSince(std::size_t from) const {
    return Commands(brasko->Received(WindowRole::Main, from), actionWindow());
}

bool ActionRig::decoysUntouched() const {
    return brasko->Received(WindowRole::TitleDecoy).empty() && brasko->Received(WindowRole::ClassDecoy).empty();
}

}  // namespace actiontest

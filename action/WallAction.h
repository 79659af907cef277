// The action plug-in's hidden window: it finds the Brasko program's main window afresh before
// every command, posts the commands with its own handle as the reply address, handles Brasko's
// replies, and writes each attempt and confirmation into the host's log.
#pragma once
#include <windows.h>

#include <initializer_list>

#include "base/String.h"
#include "base/Window.h"

class CWallAction : public kit::Window {
public:
    CWallAction() = default;
    ~CWallAction() override = default;

    void SendLogLine(kit::String line);

    void RequestWorldOff();             // action 1: ask for the state; the reply decides
    void ActivateSegment();             // action 2
    void SwitchWorldOffAndSegmentOn();  // action 3: both commands, no state query
    void SwitchWorldOff();              // from the state reply

    HWND hostWindow = nullptr;
    bool limitReported[4] = {};  // one per limit kind 1 to 4
    bool segmentActive = false;
    bool worldOff = false;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnStateReply(WPARAM wParam, LPARAM lParam);
    LRESULT OnWorldOffDone(WPARAM wParam, LPARAM lParam);
    LRESULT OnSegmentOnDone(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeactivated(WPARAM wParam, LPARAM lParam);

    // Looks up Brasko; when it runs, logs `attempt` and posts `commands` in order.
    void Command(const char* attempt, std::initializer_list<UINT> commands);
};

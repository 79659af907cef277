// The window messages between the action plug-in and the outside Brasko program, and how its main
// window is found. Commands are posted with the reply window in wParam; replies are posted back.
#pragma once
#include <windows.h>

namespace brasko {

constexpr char kMainWindowClass[] = "TBraskoMainForm";
constexpr char kMainWindowTitle[] = "Brasko";

enum BraskoMessage : UINT {
    WM_BRASKO_WORLD_OFF = 0x6D43,        // to Brasko: switch the world off
    WM_BRASKO_WORLD_OFF_DONE = 0x6D4D,   // from Brasko: the world is off
    WM_BRASKO_DEACTIVATED = 0x6D4E,      // from Brasko: it deactivated itself
    WM_BRASKO_QUERY_STATE = 0x6D57,      // to Brasko: answer with WM_BRASKO_STATE
    WM_BRASKO_STATE = 0x6D58,            // from Brasko: wParam is the state
    WM_BRASKO_SEGMENT_ON = 0x6D5B,       // to Brasko: activate the segment
    WM_BRASKO_SEGMENT_ON_DONE = 0x6D5C,  // from Brasko: the segment is active
};

// The states of a WM_BRASKO_STATE reply after which the world is switched off; what each state
// stands for is Brasko's own, and every other state asks for nothing.
enum BraskoState : WPARAM {
    BraskoStateWorldOffDue = 0,
    BraskoStateWorldOffDueToo = 2,
};

}  // namespace brasko

// The memory the Brasko stand-in shares with the test that started it: the script it answers by
// (the test may change it at any time), the handles of its windows, and the record of every
// message its windows received. Named on the stand-in's command line.
#pragma once
#include <windows.h>

#include <cstdint>

namespace braskostub {

enum class WindowRole : std::int32_t {
    Main = 0,       // class "TBraskoMainForm", title "Brasko"
    TitleDecoy = 1, // the same class, another title
    ClassDecoy = 2, // the same title, another class
};

// What the main window answers; each field is read when the message arrives.
struct Script {
    volatile LONG state;             // WM_BRASKO_STATE's wParam; -1 leaves a query unanswered
    volatile LONG confirmWorldOff;   // nonzero: WM_BRASKO_WORLD_OFF_DONE follows the command
    volatile LONG confirmSegmentOn;  // nonzero: WM_BRASKO_SEGMENT_ON_DONE follows the command
};

struct Record {
    WindowRole window;
    std::uint32_t message;
    std::uint32_t wParam;
    std::uint32_t lParam;
};

constexpr LONG kMaxRecords = 4096;

struct Shared {
    volatile LONG ready;      // set once every window exists and recording has begun
    std::uint32_t windows[3]; // by WindowRole
    std::uint32_t control;    // the stand-in's control window (another class, never looked up)
    Script script;
    volatile LONG drained;    // the last drain token the control window handled
    volatile LONG count;      // records published; an entry is written before the count grows
    Record records[kMaxRecords];
};

// Messages to the control window.
constexpr UINT WM_STANDIN_DRAIN = WM_APP + 1;    // wParam: token, stored in `drained`
constexpr UINT WM_STANDIN_POST_TO = WM_APP + 2;  // wParam: message, lParam: target window

// What the stand-in puts into the parameters its replies ignore.
constexpr WPARAM kReplyNoiseWParam = 0x5A5A;
constexpr LPARAM kReplyNoiseLParam = 0x1234;

}  // namespace braskostub

// What tests can ask the HTML engine stand-in about a window it serves: send the registered
// message kHtmlEngineQueryMessage to the window (its procedure hands every message to
// HTMLayoutProcND) with one of the questions below as wParam; the answer is the result.
#pragma once

inline constexpr char kHtmlEngineQueryMessage[] = "HtmlEngineStandIn.Query";

enum HtmlEngineQuestion {
    kHtmlQueryOutsideReferences = 0,  // element references taken with HTMLayout_UseElement, not given back
    kHtmlQueryLiveElements = 1,       // elements alive in the whole process
    kHtmlQueryLoads = 2,              // documents loaded into this window
    kHtmlQueryPaints = 3,             // WM_PAINT messages painted for this window
    kHtmlQueryHasCallback = 4,        // 1 when the window has a notification callback
};

// The functions of the HTML engine (htmlayout.dll) that the update window's HTML pane calls, as the
// pane relies on them. The engine is a library outside the plug-in: pendrake.dll imports it by
// name. Every function and callback uses the Windows API calling convention (WINAPI), and element
// handles are opaque pointers the engine owns; a caller that keeps one beyond a call takes a
// reference with HTMLayout_UseElement and gives it back with HTMLayout_UnuseElement.
#pragma once
#include <windows.h>

#include <cstddef>

extern "C" {

struct HtmlEngineElement;
using HELEMENT = HtmlEngineElement*;

// Results of the element functions: 0 is success.
enum HtmlDomResult : int {
    HTML_DOM_OK = 0,
    HTML_DOM_INVALID_HWND = 1,
    HTML_DOM_INVALID_HANDLE = 2,
    HTML_DOM_PASSIVE_HANDLE = 3,
    HTML_DOM_INVALID_PARAMETER = 4,
    HTML_DOM_OPERATION_FAILED = 5,
};

// Every notification record begins with the system's notification header (NMHDR: the window,
// its control id, the notification code), as every record that reaches a WM_NOTIFY handler does.

// Code of the notification that asks the host for a behaviour of an element.
constexpr UINT HTML_NOTIFY_ATTACH_BEHAVIOR = 0xB07;

// The attach-behaviour record: the host may set `elementProc` and `elementTag` to attach a
// behaviour named `behaviorName`; left null, nothing is attached.
struct HtmlAttachBehavior {
    NMHDR header;
    HELEMENT element;
    const char* behaviorName;
    void* elementProc;
    void* elementTag;
    UINT elementEvents;
};
// The code sits after the window and the id, which are pointer-sized; the record goes on after the
// header, in both widths.
static_assert(offsetof(NMHDR, code) == 2 * sizeof(void*), "NMHDR: hwndFrom, idFrom, code");
static_assert(offsetof(HtmlAttachBehavior, element) == sizeof(NMHDR), "the record follows its header");
static_assert(sizeof(NMHDR) == (sizeof(void*) == 4 ? 12 : 24), "NMHDR as the system lays it out");

// The notification callback: (WM_NOTIFY, 0, lParam = the notification record, callback parameter).
using HtmlNotifyCallback = LRESULT(CALLBACK*)(UINT message, WPARAM wParam, LPARAM lParam, void* param);
// The element callback of HTMLayoutSelectElements: true stops the enumeration.
using HtmlElementCallback = BOOL(CALLBACK*)(HELEMENT element, void* param);

LRESULT WINAPI HTMLayoutProcND(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled);
void WINAPI HTMLayoutSetCallback(HWND hwnd, HtmlNotifyCallback callback, void* param);
BOOL WINAPI HTMLayoutLoadHtml(HWND hwnd, const BYTE* html, UINT size);
BOOL WINAPI HTMLayoutLoadFile(HWND hwnd, const WCHAR* name);
int WINAPI HTMLayoutGetRootElement(HWND hwnd, HELEMENT* root);
int WINAPI HTMLayout_UseElement(HELEMENT element);
int WINAPI HTMLayout_UnuseElement(HELEMENT element);
int WINAPI HTMLayoutSelectElements(HELEMENT root, const char* selector, HtmlElementCallback callback, void* param);
int WINAPI HTMLayoutGetElementInnerText16(HELEMENT element, WCHAR** text);

}  // extern "C"

// The child window in the upper part of the update window that shows the update's news page. The
// outside HTML engine (htmlayout.dll) draws and handles the window; the pane only creates it, loads
// documents into it and checks what was loaded: a page whose body text reports a missing page
// ("404" or "Not Found") is replaced by the built-in page, the HTML resource "DEFAULT".
#pragma once
#include <windows.h>

#include "base/Window.h"
#include "update/HtmlEngineApi.h"

class CHtmlPane : public kit::Window {
public:
    CHtmlPane() = default;
    ~CHtmlPane() override = default;  // the base destroys a window that still exists

    // Creates the pane's window (the style without WS_BORDER) in `rect` of `parent`.
    bool Create(const RECT& rect, HWND parent, DWORD style = WS_CHILD, UINT id = 0);

    // Falls back to the built-in page when the loaded one is an error page, then shows the pane.
    bool CheckPage();

    // The RT_HTML resource `name` of the plug-in's module; false when missing or empty.
    static bool LoadHtmlResource(const char* name, const BYTE** data, DWORD* size);
    // The first element below `root` that the selector (a printf format) matches, or null.
    static HELEMENT FindFirst(HELEMENT root, const char* format, ...);

    static constexpr char kClassName[] = "PendrakeHtmlPane";
    static constexpr char kDefaultPage[] = "DEFAULT";

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCreate(const CREATESTRUCTA& create) override;

private:
    static bool PreCreateWindow();  // registers the pane's window class once
    static LRESULT CALLBACK OnNotify(UINT message, WPARAM wParam, LPARAM lParam, void* pane);
    void LoadDefaultPage();
};

// What the demo programs share: PNG pictures of windows and of the screen, for a person to look
// at, and the debug statistics that the host stand-in takes from ravo.dll before it shows anything.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testing/host/StandInHost.h"

namespace hoststub {

// A PNG of `argb` (rows top down, 0xAARRGGBB) with stored deflate blocks: no library needed.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint32_t>& argb);

// The window read from its own surface after a full repaint; what lies outside its window region
// is transparent. Call it on the window's thread.
bool SaveWindowPicture(HWND window, const std::string& path);

// What the screen shows in `area`, windows in front included.
bool SaveScreenPicture(const RECT& area, const std::string& path);

// `rect` grown by `border` on every side, kept on the screen.
RECT AroundOnScreen(const RECT& rect, int border);

// ravo.dll's debug item: the provider sends its fixed statistics list to the host window, which
// keeps it for the windows' value requests. Gives GetOneStats's result.
int LoadDebugStatistics(StandInHost& host, const std::string& ravo);

}  // namespace hoststub

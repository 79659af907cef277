// What a test needs to see that nothing leaks: the process's kernel handles, GDI objects and
// windows, counted in ways that work under Wine (which answers 0 to GetGuiResources and
// GetProcessHandleCount), a proof that each counter counts before a leak check trusts it, and
// pixels read back from a window.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace guitest {

// The process's kernel handles: the entries of the system's handle list that belong to this
// process, or GetProcessHandleCount where the list cannot be read; -1 when neither counts.
int KernelHandleCount();
// The process's GDI objects: GetGuiResources where the system counts them; Wine answers 0 there,
// so then the used entries of the process's GDI handle table (named in the PEB) are counted.
int GdiObjectCount();
// The windows of a thread (this one by default): top-level and message-only ones with all their
// descendants.
int ThreadWindowCount(DWORD thread = ::GetCurrentThreadId());
// The process's USER objects where the system counts them (GetGuiResources); under Wine, which
// answers 0, the windows of `thread`.
int UserObjectCount(DWORD thread = ::GetCurrentThreadId());

// The three counts at once, in that order (kernel handles, GDI objects, this thread's USER
// objects), and their text for a test's message.
std::vector<int> ObjectCounts();
std::string CountsText(const std::vector<int>& counts);

// Makes `count` objects of each kind that the counters above count (events, bitmaps, windows of
// the calling thread), and checks that each count rises by at least that many and falls as much
// when they go. Empty when every counter proved itself, else what did not: a leak check that uses
// a counter asks this first (on the thread whose windows it counts), or it might compare two zeros.
std::string ProveCounters(int count = 5);

// Runs the thread's message loop until the queue stays empty.
void Pump(int rounds = 5);

// The client area of a visible window, read back from the screen as COLORREFs.
class ClientPixels {
public:
    explicit ClientPixels(HWND hwnd);
    COLORREF at(int x, int y) const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width = 0, m_height = 0;
    std::vector<COLORREF> m_pixels;
};

}  // namespace guitest

// What a test needs to see that nothing leaks in the user interface: the process's GDI objects
// and the windows of the calling thread, and pixels read back from a window.
#pragma once
#include <windows.h>

#include <vector>

namespace guitest {

// The process's GDI objects: GetGuiResources where the system counts them; Wine answers 0 there,
// so then the used entries of the process's GDI handle table (named in the PEB) are counted.
int GdiObjectCount();
// The windows of a thread (this one by default): top-level ones with all their descendants.
int ThreadWindowCount(DWORD thread = ::GetCurrentThreadId());
// The process's USER objects where the system counts them (GetGuiResources); under Wine, which
// answers 0, the windows of `thread`.
int UserObjectCount(DWORD thread = ::GetCurrentThreadId());

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

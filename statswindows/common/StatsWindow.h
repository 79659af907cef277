// What every statistics window shares, skinned or plain: the host window and hide delay that the
// requests store, the host client, the creation and first placing of the window with the position
// saved through the host, and the two show requests as the skeleton runs them. A window class
// fills the labels (RefreshStats) and composes the tray summary (BuildTrayText); a skin that
// orders a show differently overrides the request it changes.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include "base/Dialog.h"
#include "base/String.h"
#include "statswindows/common/HostClient.h"
#include "statswindows/common/SkinTable.h"
#include "statswindows/common/StatsProtocol.h"

namespace stats {

class StatsWindow : public kit::Dialog, public HostClient {
public:
    StatsWindow(int dialogId, const Placement& placement) : m_dialogId(dialogId), m_placement(placement) {}

    int hideDelaySeconds = 0;

    // Create when needed, store the request, caption, refresh, repaint, show without activating.
    virtual void ShowStatsData(const host::ShowStatsRequest& request);
    // Create when needed, then compose and send the tray summary; nothing of the request is kept.
    virtual void ShowStatsDataTray(const host::ShowStatsRequest& request);
    // The plug-in unloads: SaveAtUnload, then destroy.
    virtual void Unload();
    // The process ends: what Unload saves, sent only while the stored host window exists and
    // belongs to this thread (the process's other threads are gone and would never answer).
    // Nothing is destroyed.
    void SaveAtProcessExit();

    // Stores `host` first; x and y come in with the default and each takes a saved value > 1.
    // Where the window would then meet no screen's work area, both keep the default.
    void LoadWindowPos(int* x, int* y, HWND host);
    void SaveWindowPos();

    virtual void RefreshStats() = 0;
    virtual kit::String BuildTrayText() = 0;

    const Placement& placement() const { return m_placement; }

protected:
    // Creates the dialog and puts it at its start position; false when there is still no window.
    // `created` tells whether this call made it.
    bool EnsureCreated(HWND host, bool* created = nullptr);
    // Moves a just-created window to its start position (topmost, size kept).
    virtual void MoveToStart(int x, int y);
    // ShowStatsData, between the creation and the storing of the request (label layout, fonts).
    virtual void BeforeShow(bool created) { (void)created; }
    // What the window saves as it goes: the position, when the style has an ini file.
    virtual void SaveAtUnload();

private:
    int m_dialogId;
    Placement m_placement;
};

// The day suffix: "_day" when the host's option "dblclk" is on.
kit::String DaySuffix(const HostClient& client);
// The tray summary of either variant, asking the host for every part (and "dblclk" first).
kit::String ComposeTrayText(const HostClient& client, TrayText variant);
// `text` with every "грн." removed (RemoveEvery), the blanks around it kept.
kit::String DropCurrency(const kit::String& text);
// Whether a window at `rect` (screen coordinates) would show: it meets the work area of a monitor.
bool MeetsWorkArea(const RECT& rect);
// The leading decimal integer as atoi reads it (blanks, optional sign, digits; 0 without digits).
int LeadingInteger(const char* text);

}  // namespace stats
#endif

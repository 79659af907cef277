// The update window: a modeless dialog (template 4015) that runs the full update check while it
// initialises, shows the update's news page in its HTML pane, runs the download worker with a
// progress bar and a Cancel button on the user's request, and hands over to the updater when all
// files have arrived. It is the hub of the plug-in's named parameters and writes the update log.
// The engine and the worker reach it only through the WM_UPD_ messages; every handler runs on the
// window's (the host's user-interface) thread.
#pragma once
#include <windows.h>

#include <memory>

#include "base/Dialog.h"
#include "base/String.h"
#include "base/Unique.h"
#include "update/DownloadWorker.h"
#include "update/HtmlPane.h"
#include "update/UpdateEngine.h"
#include "update/UpdateParamStore.h"

// What a test may put in place of the system's calls; the defaults are the real ones.
struct UpdateWindowCalls {
    UpdateSystemCalls engine;
    CUpdateDownloader::ConnectedStateFn connectedState = ::InternetGetConnectedState;
    DownloadTimeouts timeouts;  // the download worker's
    void(WINAPI* now)(LPSYSTEMTIME time) = ::GetLocalTime;  // the update log's clock
};

class CUpdateDlg : public kit::Dialog {
public:
    explicit CUpdateDlg(const UpdateWindowCalls& calls = {});
    ~CUpdateDlg() override;

    // Copies the texts of `info`, then creates the window from `templateId`; the whole
    // initialisation (and the full check) runs inside. The caller shows the window.
    bool Create(int templateId, HWND parent, const UpdateStartInfo* info);

    // For an unload on another thread than the window's: hands the window and the pane to the
    // system's default procedure and has their own thread hide them. They are not closed: the
    // window's thread destroying them while the unload holds the loader's lock deadlocks under
    // Wine; they go with their thread. The object must then be left alone (no destructor off the
    // window's thread).
    void Abandon();

    bool IsBusy() const { return m_busy != 0; }
    CUpdateEngine& Engine() { return m_engine; }
    CDownloadThread& Worker() { return *m_worker; }
    CHtmlPane& Pane() { return m_pane; }
    const CUpdateParamStore* Params() const { return m_params.get(); }
    COLORREF BackgroundColour() const { return m_background; }
    COLORREF TextColour() const { return m_text; }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, int kind) override;
    void OnLButtonDown(UINT keys, POINT client) override;
    void OnOK() override;

private:
    void OnUpdateButton();
    void OnWorkerDone(WPARAM result);
    void OnAllLoaded();
    void OnStatusText(const kit::String& text);
    void OnSetColor(const kit::String& text, LPARAM which);
    void OnLogLine(const kit::String& text);
    void SetCaption(const char* title);
    void Show(int id, bool visible) const;
    void Enable(int id, bool enabled) const;

    CDownloadThread* m_worker;  // owned by the engine
    CHtmlPane m_pane;
    CUpdateEngine m_engine;
    COLORREF m_background = 0;
    COLORREF m_text = 0;
    HWND m_progress = nullptr;
    HWND m_settings = nullptr;
    HWND m_updateButton = nullptr;
    HWND m_status = nullptr;
    HWND m_exit = nullptr;
    std::unique_ptr<CUpdateParamStore> m_params;
    unsigned char m_busy = 0;
    kit::String m_baseUrl, m_programFolder, m_tempFolder, m_versionFile;
    kit::UniqueBrush m_brush;
    COLORREF m_brushColour = CLR_INVALID;
    UpdateWindowCalls m_calls;
};

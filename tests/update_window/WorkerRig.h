// The test's side of the update messages: a window on the test's thread that answers
// WM_UPD_GET_PARAM from a table and records every WM_UPD_ message it receives, in order, with the
// thread it came from; and a temporary folder for one case.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/Window.h"
#include "update/UpdateMessages.h"

namespace updatetest {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string text;  // the text of WM_UPD_LOG, WM_UPD_STATUS and WM_UPD_GET_PARAM's name
    bool fromOtherThread;  // sent by another thread (InSendMessage)
};

class RecordingWindow : public kit::Window {
public:
    RecordingWindow();
    std::map<std::string, std::string> params;
    std::vector<Received> received;

    // Pumps this thread's messages until a WM_UPD_ALL_LOADED or WM_UPD_WORKER_DONE has arrived or
    // `milliseconds` passed; returns the final message (0 when none came).
    UINT PumpUntilDone(DWORD milliseconds);
    // Pumps for `milliseconds`, whatever comes.
    void PumpFor(DWORD milliseconds);

    std::vector<std::string> Logs() const;
    std::vector<std::string> Statuses() const;
    std::vector<UINT> Kinds(bool withFileProgress) const;  // message numbers in order
    int Count(UINT message) const;
    const Received* Last(UINT message) const;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A fresh folder below the temporary folder, ending with a backslash; removed with its content.
class TempFolder {
public:
    explicit TempFolder(const std::string& name);
    ~TempFolder();
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path, bool* exists = nullptr);
bool FileExists(const std::string& path);

}  // namespace updatetest

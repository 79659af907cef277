// What the update engine's tests share: a stand-in for the update window that answers
// WM_UPD_GET_PARAM from a table and records every WM_UPD_ message as one text row, a private
// folder tree per test (program folder and temporary folder) that can be listed whole, and the
// fixture files (version-resource DLLs, the update service's variants).
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/Window.h"
#include "update/UpdateMessages.h"

namespace updatetest {

// One row per message, for example "STATUS загрузка app.exe", "LOG ERROR NoConnect",
// "SET_PARAM BGCOLOR number2=0x000080FF", "GET_PARAM URL", "FILE_RANGE 0 14040", "FILE_POS 4096 0".
class RecordingWindow : public kit::Window {
public:
    RecordingWindow();
    ~RecordingWindow() override;

    std::map<std::string, std::string> params;  // the answers of WM_UPD_GET_PARAM
    std::vector<std::string> rows;
    std::vector<UpdateParam> setParams;  // copies of what WM_UPD_SET_PARAM carried

    // The rows whose text begins with `prefix` ("LOG ", "STATUS ", ...), in order.
    std::vector<std::string> Rows(const std::string& prefix) const;
    std::vector<std::string> Logs() const;  // the log texts without "LOG "

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A fresh folder below the build tree with "program\" and "temp\" inside (Windows paths with a
// trailing backslash, as the run procedure hands them).
class TestTree {
public:
    explicit TestTree(const std::string& name);
    std::string root;     // ...\tests\update\work\<name>-<token>\ (removed first when present)
    std::string program;  // root + "program\"
    std::string temp;     // root + "temp\"
    // Every file and folder below root, as sorted relative paths with '/' ("temp/_update/").
    std::vector<std::string> List() const;
};

std::string FixtureDll(const std::string& name);  // a version fixture of the build ("ver_2_5_0_0")
void CopyInto(const std::string& source, const std::string& target);  // creates the target's folder
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// Base URLs of the update service's variants: http://127.0.0.1:<port>/update/<variant>/ and the
// HTTPS twin on localhost.
std::string UpdateUrl(const std::string& variant);
std::string UpdateHttpsUrl(const std::string& variant);

// A text with its bytes as \xNN where they are not printable ASCII.
std::string Show(const std::string& text);
std::string Joined(const std::vector<std::string>& rows);  // one per line, through Show

}  // namespace updatetest

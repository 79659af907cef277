#include "tests/update/UpdateTestRig.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "base/Unique.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"

namespace updatetest {

namespace {

const char* MessageName(UINT message) {
    switch (message) {
        case WM_UPD_FILE_RANGE: return "FILE_RANGE";
        case WM_UPD_FILE_POS: return "FILE_POS";
        case WM_UPD_FILES_RANGE: return "FILES_RANGE";
        case WM_UPD_FILES_POS: return "FILES_POS";
        case WM_UPD_STATUS: return "STATUS";
        case WM_UPD_SET_COLOR: return "SET_COLOR";
        case WM_UPD_ALL_LOADED: return "ALL_LOADED";
        case WM_UPD_WORKER_DONE: return "WORKER_DONE";
        case WM_UPD_LOG: return "LOG";
        case WM_UPD_SET_PARAM: return "SET_PARAM";
        case WM_UPD_GET_PARAM: return "GET_PARAM";
        default: return nullptr;
    }
}

std::string Number(unsigned long long value) { return std::to_string(value); }

void MakeFolders(const std::string& path) {
    for (std::size_t i = 3; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/') ::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    kit::UniqueFind listing(::FindFirstFileA((folder + "*").c_str(), &found));
    if (!listing) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path + "\\");
            ::RemoveDirectoryA(path.c_str());
        } else {
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
        }
    } while (::FindNextFileA(listing.get(), &found));
}

void ListInto(const std::string& folder, const std::string& relative, std::vector<std::string>& out) {
    WIN32_FIND_DATAA found;
    kit::UniqueFind listing(::FindFirstFileA((folder + "*").c_str(), &found));
    if (!listing) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(relative + name + "/");
            ListInto(folder + name + "\\", relative + name + "/", out);
        } else {
            out.push_back(relative + name);
        }
    } while (::FindNextFileA(listing.get(), &found));
}

}  // namespace

RecordingWindow::RecordingWindow() {
    RECT none{};
    if (!Create(nullptr, "update window stand-in", 0, none, HWND_MESSAGE)) {
        throw std::runtime_error("cannot create the recording window");
    }
}

RecordingWindow::~RecordingWindow() { DestroyWindow(); }

LRESULT RecordingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = MessageName(message);
    if (!name) return kit::Window::OnMessage(message, wParam, lParam);
    std::string row = name;
    switch (message) {
        case WM_UPD_STATUS:
        case WM_UPD_LOG:
        case WM_UPD_SET_COLOR:
            row.append(" ").append(UpdParamPointer<const kit::String>(wParam)->str());
            if (message == WM_UPD_SET_COLOR) row.append(" ").append(Number(static_cast<unsigned long long>(lParam)));
            break;
        case WM_UPD_SET_PARAM: {
            const UpdateParam* param = UpdParamPointer<const UpdateParam>(wParam);
            setParams.push_back(*param);
            char number2[16];
            std::snprintf(number2, sizeof number2, "0x%08X", static_cast<unsigned>(param->number2));
            row.append(" ").append(param->name.str());
            if (param->text.IsEmpty()) {
                row.append(" number2=").append(number2);
            } else {
                row.append(" text=").append(param->text.str());
            }
            break;
        }
        case WM_UPD_GET_PARAM: {
            std::string key = UpdParamPointer<const kit::String>(wParam)->str();
            kit::String* result = UpdLParamPointer<kit::String>(lParam);
            row.append(" ").append(key);
            if (!result->IsEmpty()) row += " (result not empty on entry)";
            auto found = params.find(key);
            *result = found == params.end() ? "" : found->second.c_str();
            break;
        }
        default:
            row.append(" ").append(Number(wParam)).append(" ").append(Number(static_cast<unsigned long long>(lParam)));
            break;
    }
    rows.push_back(row);
    return 0;
}

std::vector<std::string> RecordingWindow::Rows(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& row : rows) {
        if (row.compare(0, prefix.size(), prefix) == 0) out.push_back(row);
    }
    return out;
}

std::vector<std::string> RecordingWindow::Logs() const {
    std::vector<std::string> out;
    for (const std::string& row : Rows("LOG ")) out.push_back(row.substr(4));
    return out;
}

TestTree::TestTree(const std::string& name) {
    root = testsupport::BuildFile("tests/update/work/" + name) + "\\";
    MakeFolders(root);
    RemoveTree(root);
    program = root + "program\\";
    temp = root + "temp\\";
    ::CreateDirectoryA(program.c_str(), nullptr);
    ::CreateDirectoryA(temp.c_str(), nullptr);
}

std::vector<std::string> TestTree::List() const {
    std::vector<std::string> out;
    ListInto(root, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::string FixtureDll(const std::string& name) { return testsupport::BuildFile("tests/update/fixtures/" + name + ".dll"); }

void CopyInto(const std::string& source, const std::string& target) {
    MakeFolders(target);
    if (!::CopyFileA(source.c_str(), target.c_str(), FALSE)) throw std::runtime_error("cannot copy " + source);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    MakeFolders(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string UpdateUrl(const std::string& variant) {
    return testsupport::Services::Get().HttpUrl("/update/" + variant + "/");
}

std::string UpdateHttpsUrl(const std::string& variant) {
    return testsupport::Services::Get().HttpsUrl("/update/" + variant + "/");
}

std::string Show(const std::string& text) {
    std::string out;
    char cell[8];
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(cell, sizeof cell, "\\x%02X", c);
            out += cell;
        }
    }
    return out;
}

std::string Joined(const std::vector<std::string>& rows) {
    std::string out;
    for (const std::string& row : rows) out += Show(row) + "\n";
    return out;
}

}  // namespace updatetest

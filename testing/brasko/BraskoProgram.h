// The test's side of the Brasko stand-in: starts the program (braskostandin.exe) with a shared
// memory of its own, sets the script it answers by, reads what its windows received, and stops it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/Unique.h"
#include "testing/brasko/BraskoShared.h"

namespace braskostub {

class BraskoProgram {
public:
    explicit BraskoProgram(const std::string& exePath);  // returns once its windows exist
    ~BraskoProgram();
    BraskoProgram(const BraskoProgram&) = delete;
    BraskoProgram& operator=(const BraskoProgram&) = delete;

    // state -1: a query stays unanswered.
    void SetScript(int state, bool confirmWorldOff, bool confirmSegmentOn);
    HWND window(WindowRole role) const;

    std::vector<Record> Records() const;
    std::vector<Record> Received(WindowRole role, std::size_t from = 0) const;  // records [from, end)

    // Returns once the stand-in has handled every message posted to it before the call.
    void Drain();
    // Has the stand-in post `message` to `target` (as Brasko would on its own).
    void PostFromBrasko(UINT message, HWND target);

private:
    HWND control() const;

    kit::UniqueHandle m_mapping;
    kit::UniqueMappedView m_view;
    Shared* m_shared = nullptr;
    kit::UniqueHandle m_process;
    LONG m_drainToken = 0;
};

}  // namespace braskostub

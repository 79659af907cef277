// A thin layer over the WinInet calls of the HTTP client, for tests: linked into a test program
// (the `wininet_spy` object library), it takes the place of those imports, forwards every call to
// the real wininet.dll, records what was asked, tracks every HINTERNET from its creation to its
// InternetCloseHandle, and can make the next call of a kind fail with a chosen Windows error
// (for example 12002 from HttpSendRequestA, which no local server can be made to produce).
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <string>
#include <vector>

namespace testsupport {

enum class WinInetCall {
    InternetOpen,
    InternetConnect,
    HttpOpenRequest,
    HttpAddRequestHeaders,
    HttpSendRequest,
    InternetSetOption,
    HttpQueryInfo,
    InternetReadFile,
    InternetCloseHandle,
    HttpSendRequestEx,
    InternetWriteFile,
    HttpEndRequest,
};

const char* WinInetCallName(WinInetCall call);

// One call as it was made. Which fields a call fills:
//   InternetOpen:          text = agent, text2 = proxy, number = access type, flags
//   InternetConnect:       handle = internet, text = server, text2 = user name, number = port
//   HttpOpenRequest:       handle = connection, text = verb, text2 = object name, flags
//   HttpAddRequestHeaders: handle = request, text = header lines, flags = modifiers
//   HttpSendRequest:       handle = request
//   InternetSetOption:     handle, number = option, text = the buffer's bytes
//   HttpQueryInfo:         handle, number = info level, text = a custom header's name
//   InternetReadFile:      handle, number = bytes read
//   InternetCloseHandle:   handle
//   HttpSendRequestEx:     handle = request, number = the buffers record's total body size
//   InternetWriteFile:     handle = request, number = bytes asked, text = those bytes
//   HttpEndRequest:        handle = request
// `result` is the handle a create call returned; `ok` whether the call succeeded; `error` the
// Windows error of a failed call.
struct WinInetRecord {
    WinInetCall call = WinInetCall::InternetOpen;
    HINTERNET handle = nullptr;
    HINTERNET result = nullptr;
    std::string text;
    std::string text2;
    DWORD number = 0;
    DWORD flags = 0;
    bool ok = false;
    DWORD error = 0;
};

// The DWORD an InternetSetOption call set (its buffer's bytes), or 0xdeadbeef when the buffer
// was not a DWORD.
DWORD OptionDword(const WinInetRecord& call);

// Starts a fresh record (calls, failures, open handles) and clears it again when it ends; one per
// test case.
class WinInetSpy {
public:
    WinInetSpy();
    ~WinInetSpy();
    WinInetSpy(const WinInetSpy&) = delete;
    WinInetSpy& operator=(const WinInetSpy&) = delete;

    const std::vector<WinInetRecord>& Calls() const;
    std::vector<WinInetRecord> CallsOf(WinInetCall call) const;
    size_t Count(WinInetCall call) const;

    // Handles created through WinInet (InternetOpen, InternetConnect, HttpOpenRequest) that have
    // not been closed yet, in creation order.
    std::vector<HINTERNET> OpenHandles() const;
    // Closes of handles that were not open (a second close, or a handle never created here).
    size_t StrayCloses() const;

    // The next `call` after `skip` successful ones fails with `error` without reaching WinInet.
    void FailNext(WinInetCall call, DWORD error, int skip = 0);
};

}  // namespace testsupport

// Saving the body of one opened URL to a file: what the engine's list fetch and the worker's file
// downloads have in common. The file is made anew; an HTTP answer is judged by its status (an
// error page is not the file, whatever its bytes) and by the length it must reach (a body cut off
// before it is not the file either): its announced length, or, when it announces none, the size
// the caller expects (the list's size of the file), since a body without a length that the server
// closes early ends as a whole one does. Only an answer without a status (another protocol) falls
// back to the "404" test on each chunk. A failed body is deleted; a download abandoned by the
// caller (cancel, stop) or one whose write fell short leaves the partial file closed where it is.
// The progress goes out as WM_UPD_FILE_RANGE, WM_UPD_FILE_POS and WM_UPD_STATUS. Every step on the
// file (its making, each write, the truncation of a restart, the deletion of a failed body) goes
// through FileStep, where a caller that must no longer touch the file refuses it; so does its
// close, so that such a caller can close the file itself (HoldFile) without both closing it.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <functional>

#include "base/Unique.h"

using HttpQueryInfoFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);

// The HTTP status of an open URL, or 0 when it has none (another protocol, or not readable).
DWORD HttpStatusOf(HttpQueryInfoFn query, HINTERNET request);
// The announced body length of an HTTP answer, or -1 when none was sent.
long long ContentLengthOf(HttpQueryInfoFn query, HINTERNET request);

class CBodyDownload {
public:
    // Restarted: the body comes again from its first byte, in the answer RestartedAnswer gives.
    enum class ReadResult { Data, Failed, Abandoned, Restarted };

    // `*size` is the expected size on the way in (for the range report, and the length to reach
    // when an HTTP answer announces none; 0: not known), the received size on success; `name` goes
    // into the status text. True only for a whole body.
    bool SaveTo(HINTERNET answer, HttpQueryInfoFn query, const char* path, int* size, const char* name);

protected:
    ~CBodyDownload() = default;
    // The length the body being read must reach, or -1 when none is known.
    long long LengthToReach() const { return m_lengthToReach; }
    virtual void Report(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The next chunk (`*read` 0 at the end of the body), `received` bytes in.
    virtual ReadResult ReadChunk(char* chunk, DWORD capacity, DWORD* read, long long received) = 0;
    // Asked after each chunk is written: true ends the download there.
    virtual bool AbandonAfterWrite() { return false; }
    // The answer that brings the body again after ReadChunk said Restarted.
    virtual HINTERNET RestartedAnswer() { return nullptr; }
    // Runs one step on the file; false when it failed or the caller refused it (then the download
    // ends, and a refused deletion leaves the file).
    virtual bool FileStep(const std::function<bool()>& step) { return step(); }
    // Inside the file steps that open and close the file: the open file (null once it is closed).
    // A caller that refuses file steps from some moment on closes the file held then itself.
    virtual void HoldFile(kit::UniqueFile* file) { (void)file; }

private:
    void CloseFile(kit::UniqueFile& file);

    long long m_lengthToReach = -1;
};

// Saving one body to a file (see BodyDownload.h).
#include "update/BodyDownload.h"

#include <cstdlib>

#include "base/String.h"
#include "base/Unique.h"
#include "update/UpdateMessages.h"
#include "update/portable/FormatText.h"
#include "update/portable/UpdateListRules.h"

namespace {
constexpr DWORD kChunkSize = 4096;
}  // namespace

DWORD HttpStatusOf(HttpQueryInfoFn query, HINTERNET request) {
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!query(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) return 0;
    return status;
}

long long ContentLengthOf(HttpQueryInfoFn query, HINTERNET request) {
    char text[32] = {};
    DWORD length = sizeof text - 1;
    if (!query(request, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr)) return -1;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    return end != text && value >= 0 ? value : -1;
}

bool CBodyDownload::SaveTo(HINTERNET answer, HttpQueryInfoFn query, const char* path, int* size, const char* name) {
    Report(WM_UPD_FILE_RANGE, 0, static_cast<LPARAM>(*size));
    kit::UniqueFile file;
    struct Closer {
        CBodyDownload& download;
        kit::UniqueFile& file;
        ~Closer() { download.CloseFile(file); }
    } closer{*this, file};
    const bool made = FileStep([&] {
        file.reset(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) HoldFile(&file);
        return static_cast<bool>(file);
    });
    if (!made) return false;
    Report(WM_UPD_FILE_POS, 0, 0);
    kit::String status = FormatText("загрузка %s", name ? name : "");
    Report(WM_UPD_STATUS, UpdPointerParam(&status), 0);

    auto fail = [&]() {
        CloseFile(file);
        FileStep([&] { return ::DeleteFileA(path) != FALSE; });
        return false;
    };
    const DWORD httpStatus = HttpStatusOf(query, answer);
    if (httpStatus != 0 && (httpStatus < 200 || httpStatus > 299)) return fail();
    const bool chunkTest = httpStatus == 0;
    const long long listed = *size > 0 ? *size : -1;
    auto lengthOf = [&](HINTERNET from) -> long long {
        if (httpStatus == 0) return -1;
        const long long announced = ContentLengthOf(query, from);
        return announced >= 0 ? announced : listed;
    };
    m_lengthToReach = lengthOf(answer);

    char chunk[kChunkSize];
    long long received = 0;
    for (;;) {
        DWORD read = 0;
        const ReadResult result = ReadChunk(chunk, kChunkSize, &read, received);
        if (result == ReadResult::Abandoned) return false;
        if (result == ReadResult::Failed) return fail();
        if (result == ReadResult::Restarted) {
            // The whole body again: what was written goes, and its new length is the one to reach.
            const bool emptied = FileStep([&] {
                return ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                       ::SetEndOfFile(file.get()) != FALSE;
            });
            if (!emptied) return fail();
            received = 0;
            m_lengthToReach = lengthOf(RestartedAnswer());
            Report(WM_UPD_FILE_POS, 0, 0);
            continue;
        }
        if (chunkTest && ChunkReadsAsNotFound(chunk, read)) return fail();
        if (read == 0) {
            if (m_lengthToReach >= 0 && received < m_lengthToReach) return fail();
            CloseFile(file);
            *size = static_cast<int>(received);
            return true;
        }
        DWORD written = 0;
        if (!FileStep([&] {
                ::WriteFile(file.get(), chunk, read, &written, nullptr);  // a short write is judged below
                return true;
            }))
            return false;
        received += read;
        Report(WM_UPD_FILE_POS, static_cast<WPARAM>(received), 0);
        if (AbandonAfterWrite()) return false;
        if (written < read) return false;
    }
}

// A caller that refuses the step has closed the file already (see HoldFile).
void CBodyDownload::CloseFile(kit::UniqueFile& file) {
    FileStep([&] {
        HoldFile(nullptr);
        file.reset();
        return true;
    });
}

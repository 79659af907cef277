// The download worker against the test's local update service: what lands on disk, the reports
// and their order, the failure results, a slow server, a silent one, cancel once and twice, and
// the stop's contract (it returns promptly, and the worker sends nothing more afterwards); and
// against a site of the local services outside Wine, whose resets are real ones and whose line
// can be down for a while: the resumes, a line that comes back or stays away, a server that names
// a new version at every cut, bodies without a length, and a files folder that cannot be emptied.
#include <doctest/doctest.h>

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/GuiCounts.h"
#include "tests/update_window/OutsideUpdateSite.h"
#include "tests/update_window/UpdateServer.h"
#include "tests/update_window/WorkerRig.h"
#include "update/DownloadWorker.h"

using namespace updatetest;

namespace {

UpdateFileEntry Entry(const char* name, const char* localpath, int filesize, int action = 0, bool selected = true) {
    UpdateFileEntry entry;
    entry.name = name;
    entry.localpath = localpath;
    entry.url = kit::String("files/") + localpath + name;
    entry.version = "1.0.0.3";
    entry.action = action;
    entry.filesize = filesize;
    entry.selected = selected ? 1 : 0;
    return entry;
}

std::string Pattern(size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 7 + seed) % 251);
    return out;
}

BOOL WINAPI Disconnected(LPDWORD flags, DWORD) {
    if (flags) *flags = 0;
    return FALSE;
}

BOOL WINAPI Connected(LPDWORD flags, DWORD) {
    if (flags) *flags = INTERNET_CONNECTION_LAN;
    return TRUE;
}

// Where the rig's update service runs: in the test program, or outside Wine (real resets, a
// listener that goes away).
enum class Service { InWine, OutsideWine };

const char* ServiceName(Service service) {
    return service == Service::InWine ? "the service in the test program" : "the service outside Wine";
}

// One worker over one owner window, the service and a temporary folder. A thread that a stop left
// to end by itself is let go (its stall released) and waited for before the folder goes.
struct Rig {
    UpdateServer server;
    std::unique_ptr<OutsideUpdateSite> outside;
    UpdateSite& site;  // the service the worker downloads from: `server` or `outside`
    TempFolder temp{"worker"};
    RecordingWindow owner;
    CDownloadThread worker;

    explicit Rig(const DownloadTimeouts& timeouts = {}, const char* folder = "upd", Service service = Service::InWine)
        : outside(service == Service::OutsideWine ? std::make_unique<OutsideUpdateSite>() : nullptr),
          site(outside ? static_cast<UpdateSite&>(*outside) : server),
          worker(&Connected, timeouts) {
        owner.params[kParamUrl] = site.FolderUrl(folder);
        owner.params[kParamTempPath] = temp.path();
        site.Set(std::string("/") + folder + "/updlist.txt", Route{200, "1.0.0.3\r\n[general]\r\ncountfiles=0\r\n"});
        worker.SetOwnerWindow(owner.handle());
        ::CreateDirectoryA((temp.path() + "_update").c_str(), nullptr);  // the engine's check made it
    }
    ~Rig() {
        server.ReleaseStalls();
        WaitForWorkerThreads();
    }
    // Pumps this thread's messages until no worker thread runs any more.
    bool WaitForWorkerThreads(DWORD milliseconds = 60000) {
        for (DWORD waited = 0; waited < milliseconds; waited += 20) {
            if (CWorkerThread::RunningThreads() == 0) return true;
            owner.PumpFor(20);
        }
        return false;
    }
    // Pumps this thread's messages (the worker's reports) until the server stalls.
    bool WaitForStall(DWORD milliseconds = 20000) {
        for (DWORD waited = 0; waited < milliseconds; waited += 20) {
            if (server.WaitForStall(0)) return true;
            owner.PumpFor(20);
        }
        return false;
    }
    void Serve(const std::string& relative, Route route) { site.Set("/upd/files/" + relative, std::move(route)); }
    std::string Downloaded(const std::string& relative, bool* exists = nullptr) const {
        return ReadWholeFile(temp.path() + "_update/_files/" + relative, exists);
    }
    // One run from start to its last report; the reports of earlier runs are forgotten first.
    UINT Run(const UpdateFileList& files, DWORD milliseconds = 20000) {
        owner.received.clear();
        worker.SetFileList(files);
        REQUIRE(worker.Start());
        return owner.PumpUntilDone(milliseconds);
    }
};

// A route that answers `delay` ms late and falls silent for `pause` ms after `at` bytes.
Route Slow(const std::string& body, DWORD delay, size_t at, DWORD pause) {
    Route route{200, body, Route::Pause, at, pause, delay};
    return route;
}

}  // namespace

TEST_CASE("a whole download: every selected action-0 file byte for byte, reports in order") {
    Rig rig;
    const std::string first = Pattern(10000, 1), second = Pattern(4096, 2);
    std::string binary = Pattern(9000, 3);
    binary.replace(100, 5, std::string("\0x404", 5));  // "404" after a zero byte: judged by the status
    binary.replace(5000, 3, "404");                    // and before one
    rig.Serve("setup.exe", Route{200, first});
    rig.Serve("sub/data.bin", Route{200, binary});
    rig.Serve("empty.txt", Route{200, ""});
    rig.Serve("readme.txt", Route{200, second});
    UpdateFileList files{Entry("setup.exe", "", 10000), Entry("data.bin", "sub/", 9000), Entry("empty.txt", "", 0),
                         Entry("skip.dat", "", 77, 1), Entry("unselected.txt", "", 5, 0, false),
                         Entry("readme.txt", "", 4096)};

    REQUIRE(rig.Run(files) == WM_UPD_ALL_LOADED);
    CHECK(rig.Downloaded("setup.exe") == first);
    CHECK(rig.Downloaded("sub/data.bin") == binary);
    bool exists = false;
    CHECK(rig.Downloaded("empty.txt", &exists).empty());
    CHECK(exists);
    CHECK(rig.Downloaded("readme.txt") == second);
    CHECK_FALSE(FileExists(rig.temp.path() + "_update/_files/skip.dat"));
    CHECK_FALSE(FileExists(rig.temp.path() + "_update/_files/unselected.txt"));

    // Five action-0 entries (the unselected one counts, as the window's found-files text does).
    CHECK(rig.owner.Logs() == std::vector<std::string>{
                                  "загрузка 5 файлов (размер 23 KB)", "загружен setup.exe (10 KB)",
                                  "загружен sub/data.bin (9 KB)", "загружен empty.txt (0 B)",
                                  "загружен readme.txt (4 KB)", "всего загружено 4 файлов (23 KB)"});
    const Received* range = rig.owner.Last(WM_UPD_FILES_RANGE);
    REQUIRE(range);
    CHECK(range->lParam == 5);
    std::vector<WPARAM> positions;
    for (const Received& r : rig.owner.received) {
        if (r.message == WM_UPD_FILES_POS) positions.push_back(r.wParam);
        CHECK(r.fromOtherThread);  // every report comes from the worker's thread
    }
    CHECK(positions == std::vector<WPARAM>{1, 2, 3, 4});
    std::vector<UINT> kinds = rig.owner.Kinds(false);
    const std::vector<UINT> expected{WM_UPD_GET_PARAM, WM_UPD_GET_PARAM, WM_UPD_GET_PARAM, WM_UPD_FILES_RANGE,
                                     WM_UPD_LOG,       WM_UPD_STATUS,    WM_UPD_LOG,       WM_UPD_FILES_POS,
                                     WM_UPD_STATUS,    WM_UPD_LOG,       WM_UPD_FILES_POS, WM_UPD_STATUS,
                                     WM_UPD_LOG,       WM_UPD_FILES_POS, WM_UPD_STATUS,    WM_UPD_LOG,
                                     WM_UPD_FILES_POS, WM_UPD_STATUS,    WM_UPD_LOG,       WM_UPD_ALL_LOADED};
    CHECK(kinds == expected);
    // Per file: FILE_RANGE with the list's size, FILE_POS 0, then one FILE_POS per chunk of 4096.
    std::vector<std::pair<UINT, long long>> fileProgress;
    for (const Received& r : rig.owner.received) {
        if (r.message == WM_UPD_FILE_RANGE) fileProgress.emplace_back(r.message, r.lParam);
        if (r.message == WM_UPD_FILE_POS) fileProgress.emplace_back(r.message, static_cast<long long>(r.wParam));
    }
    CHECK(fileProgress.front() == std::pair<UINT, long long>{WM_UPD_FILE_RANGE, 10000});
    CHECK(fileProgress[1] == std::pair<UINT, long long>{WM_UPD_FILE_POS, 0});
    CHECK(rig.owner.Statuses().front() == "загрузка setup.exe");
    CHECK(rig.owner.Statuses().back() == "всего загружено 4 файлов (23 KB)");
    CHECK(rig.worker.IsFinished());
    CHECK(rig.worker.Stop(false) == 0);
    CHECK(rig.worker.Stop(false) == CWorkerThread::kNoThread);
}

TEST_CASE("download results: missing URLs, error answers, cut-off bodies, folders, no files") {
    struct Case {
        const char* name;
        std::vector<UpdateFileEntry> files;
        UINT final;
        WPARAM result;
        std::vector<std::string> logs;  // after the announcement
    };
    const std::string body = Pattern(6000, 9);
    Case cases[] = {
        // A run that lacks one of its files hands nothing over, wherever the file was in the list.
        {"first missing, second downloaded", {Entry("gone.txt", "", 6000), Entry("ok.txt", "", 6000)}, WM_UPD_WORKER_DONE, 2,
         {"ОШИБКА Файл не найден gone.txt", "загружен ok.txt (6 KB)", "всего загружено 1 файлов (6 KB)"}},
        {"first downloaded, second missing", {Entry("ok.txt", "", 6000), Entry("gone.txt", "", 6000)}, WM_UPD_WORKER_DONE, 2,
         {"загружен ok.txt (6 KB)", "ОШИБКА Файл не найден gone.txt", "всего загружено 1 файлов (6 KB)"}},
        {"an error answer ends the loop", {Entry("error.txt", "", 6000), Entry("ok.txt", "", 6000)}, WM_UPD_WORKER_DONE, 4,
         {"ОШИБКА Невозможна загрузка файла error.txt", "всего загружено 0 файлов (0 B)"}},
        {"a body that always ends before its length", {Entry("cut.bin", "", 6000)}, WM_UPD_WORKER_DONE, 4,
         {"ОШИБКА Невозможна загрузка файла cut.bin", "всего загружено 0 файлов (0 B)"}},
        {"two folder levels that do not exist", {Entry("deep.txt", "a/b/", 6000)}, WM_UPD_WORKER_DONE, 4,
         {"ОШИБКА Невозможна загрузка файла a/b/deep.txt", "всего загружено 0 файлов (0 B)"}},
        {"no entry with action 0", {Entry("skip.dat", "", 10, 2)}, WM_UPD_WORKER_DONE, 4, {"всего загружено 0 файлов (0 B)"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.name);
        Rig rig(DownloadTimeouts{1000, 2500});  // the cut body is asked for again until the stall limit
        rig.Serve("ok.txt", Route{200, body});
        rig.Serve("error.txt", Route{500, "<html><body>Server error</body></html>"});
        rig.Serve("cut.bin", Route{200, body, Route::CutOff, 2500});
        rig.Serve("a/b/deep.txt", Route{200, body});
        // gone.txt cannot be opened: its canonical URL does not fit into 1024 characters.
        UpdateFileList files = c.files;
        for (UpdateFileEntry& entry : files) {
            if (entry.name == "gone.txt") entry.url = std::string(1100, 'x').c_str();
        }
        UINT final = rig.Run(files);
        CHECK(final == c.final);
        if (final == WM_UPD_WORKER_DONE) CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == c.result);
        std::vector<std::string> logs = rig.owner.Logs();
        REQUIRE(!logs.empty());
        logs.erase(logs.begin());
        CHECK(logs == c.logs);
        CHECK(rig.owner.Count(WM_UPD_ALL_LOADED) + rig.owner.Count(WM_UPD_WORKER_DONE) == 1);
        bool exists = true;
        rig.Downloaded("error.txt", &exists);
        CHECK_FALSE(exists);
        rig.Downloaded("cut.bin", &exists);
        CHECK_FALSE(exists);
    }
}

TEST_CASE("the connection check: no connection, an unreachable list") {
    SUBCASE("the system reports no connection") {
        UpdateServer server;
        RecordingWindow owner;
        owner.params[kParamUrl] = server.FolderUrl("upd");
        CDownloadThread worker(&Disconnected);
        worker.SetOwnerWindow(owner.handle());
        worker.SetFileList({Entry("a.txt", "", 1)});
        REQUIRE(worker.Start());
        REQUIRE(owner.PumpUntilDone(10000) == WM_UPD_WORKER_DONE);
        CHECK(owner.Last(WM_UPD_WORKER_DONE)->wParam == 1);
        CHECK(owner.Logs() == std::vector<std::string>{"ERROR InternetConnectFailure"});
        CHECK(server.Requests().empty());
    }
    SUBCASE("the list URL cannot be opened") {
        RecordingWindow owner;
        owner.params[kParamUrl] = "http://127.0.0.1:1/upd/";
        CDownloadThread worker(&Connected);
        worker.SetOwnerWindow(owner.handle());
        REQUIRE(worker.Start());
        REQUIRE(owner.PumpUntilDone(10000) == WM_UPD_WORKER_DONE);
        CHECK(owner.Last(WM_UPD_WORKER_DONE)->wParam == 2);
        CHECK(owner.Logs() == std::vector<std::string>{"ERROR NoConnect"});
    }
}

TEST_CASE("a slow server: late answers and silences inside the bodies complete every file, with no range asked") {
    Rig rig;  // the worker's own time-outs
    const std::string first = Pattern(10000, 11), second = Pattern(3000, 12);
    rig.server.Set("/upd/updlist.txt", Slow("1.0.0.3\r\n[general]\r\ncountfiles=0\r\n", 2000, 8, 2000));
    rig.Serve("first.bin", Slow(first, 2000, 4096, 2000));
    rig.Serve("sub/second.bin", Slow(second, 2000, 1000, 2000));
    REQUIRE(rig.Run({Entry("first.bin", "", 10000), Entry("second.bin", "sub/", 3000)}, 90000) == WM_UPD_ALL_LOADED);
    CHECK(rig.Downloaded("first.bin") == first);
    CHECK(rig.Downloaded("sub/second.bin") == second);
    CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 2 файлов (размер 13 KB)", "загружен first.bin (10 KB)",
                                                       "загружен sub/second.bin (3 KB)", "всего загружено 2 файлов (13 KB)"});
    CHECK(rig.server.Ranges().empty());
    CHECK(rig.server.Requests() ==
          std::vector<std::string>{"/upd/updlist.txt", "/upd/files/first.bin", "/upd/files/sub/second.bin"});
}

TEST_CASE("a body silent for longer than a time-out: the rest is asked for; a 206 goes on, a 200 starts again") {
    struct Case {
        const char* name;
        bool rangeWhole;
    };
    for (const Case& c : {Case{"the server sends the rest", false}, Case{"the server sends the whole file again", true}}) {
        CAPTURE(c.name);
        Rig rig(DownloadTimeouts{700, 20000});
        const std::string body = Pattern(20000, 4);
        Route route{200, body, Route::Stall, 8192};
        route.rangeWhole = c.rangeWhole;
        rig.Serve("slow.bin", route);
        REQUIRE(rig.Run({Entry("slow.bin", "", 20000)}, 30000) == WM_UPD_ALL_LOADED);
        CHECK(rig.Downloaded("slow.bin") == body);
        CHECK(rig.server.Ranges() == std::vector<std::string>{"/upd/files/slow.bin from 8192"});
        CHECK(rig.owner.Logs().back() == "всего загружено 1 файлов (20 KB)");
        // The bytes written so far as the window saw them: back to 0 when the file starts again.
        std::vector<WPARAM> positions;
        for (const Received& r : rig.owner.received) {
            if (r.message == WM_UPD_FILE_POS) positions.push_back(r.wParam);
        }
        const std::vector<WPARAM> expected =
            c.rangeWhole ? std::vector<WPARAM>{0, 4096, 8192, 0, 4096, 8192, 12288, 16384, 20000}
                         : std::vector<WPARAM>{0, 4096, 8192, 12288, 16384, 20000};
        CHECK(positions == expected);
    }
}

TEST_CASE("a silence past the stall limit fails the file, also when every answer brings the same first bytes again") {
    Rig rig(DownloadTimeouts{400, 2500});
    // Every request alike, a range too: the first 4096 bytes, then silence.
    rig.Serve("stall.bin", Route{200, Pattern(20000, 13), Route::StallCutOff, 4096});
    rig.worker.SetFileList({Entry("stall.bin", "", 20000), Entry("next.bin", "", 10)});
    REQUIRE(rig.worker.Start());
    REQUIRE(rig.WaitForStall());
    const ULONGLONG stalledAt = ::GetTickCount64();
    REQUIRE(rig.owner.PumpUntilDone(60000) == WM_UPD_WORKER_DONE);
    CHECK(::GetTickCount64() - stalledAt >= 2000);  // not before the limit
    CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateNotDownloaded);
    CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 2 файлов (размер 20 KB)",
                                                       "ОШИБКА Невозможна загрузка файла stall.bin",
                                                       "всего загружено 0 файлов (0 B)"});
    CHECK_FALSE(rig.server.Ranges().empty());
    bool exists = true;
    rig.Downloaded("stall.bin", &exists);
    CHECK_FALSE(exists);
}

// The positions the window saw in WM_UPD_FILE_POS, in order.
std::vector<WPARAM> FilePositions(const RecordingWindow& owner) {
    std::vector<WPARAM> positions;
    for (const Received& r : owner.received) {
        if (r.message == WM_UPD_FILE_POS) positions.push_back(r.wParam);
    }
    return positions;
}

// Both services: a reset of the one in the test program reaches a client of its own process mostly
// as an orderly end under Wine; the one outside Wine sends a reset that arrives as one (10054 under
// Wine, 12031 on Windows).
constexpr Service kBothServices[] = {Service::InWine, Service::OutsideWine};

// The ranges asked for: one for each cut body, in order, with `path` and the offset where the body
// was cut. After an orderly end the rest is asked for from there. A reset fails the read that
// waits for more, and Wine's WinInet drops what that read had gathered: the rest is then asked for
// from a whole chunk before the cut, never from beyond it.
void CheckRanges(const Rig& rig, Route::Mode cut, const std::vector<std::pair<std::string, size_t>>& cuts) {
    const std::vector<std::string> ranges = rig.site.Ranges();
    REQUIRE(ranges.size() == cuts.size());
    for (size_t i = 0; i < cuts.size(); ++i) {
        const std::string prefix = cuts[i].first + " from ";
        CAPTURE(ranges[i]);
        REQUIRE(ranges[i].rfind(prefix, 0) == 0);
        const size_t offset = std::stoul(ranges[i].substr(prefix.size()));
        if (cut == Route::CutOff) {
            CHECK(offset == cuts[i].second);
        } else {
            CHECK(offset > 0);
            CHECK(offset <= cuts[i].second);
        }
    }
}

TEST_CASE("a line that drops half way through each file's first answer: the rest is asked for and completes byte for byte") {
    struct Case {
        const char* name;
        Route::Mode cut;
        Route::Validators validators;
        bool ranged;  // whether the rest is asked for (a validator vouches for it)
    };
    const Case cases[] = {
        {"a connection reset, ETag", Route::Reset, Route::Both, true},
        {"a body that ends before its length, ETag", Route::CutOff, Route::Both, true},
        {"a connection reset, Last-Modified only", Route::Reset, Route::DateOnly, true},
        {"a connection reset, no validator: the whole file again", Route::Reset, Route::NoValidators, false},
    };
    for (const Service service : kBothServices) {
        for (const Case& c : cases) {
            const std::string where = ServiceName(service), name = c.name;
            CAPTURE(where);
            CAPTURE(name);
            Rig rig({}, "upd", service);  // the worker's own time-outs: a cut line is no silence
            const std::string first = Pattern(20000, 21), second = Pattern(9000, 22);
            Route one{200, first, c.cut, 10000};
            one.cutAnswers = 1;
            one.validators = c.validators;
            Route two{200, second, c.cut, 4500};
            two.cutAnswers = 1;
            two.validators = c.validators;
            rig.Serve("one.bin", one);
            rig.Serve("sub/two.bin", two);
            REQUIRE(rig.Run({Entry("one.bin", "", 20000), Entry("two.bin", "sub/", 9000)}, 60000) == WM_UPD_ALL_LOADED);
            CHECK(rig.Downloaded("one.bin") == first);
            CHECK(rig.Downloaded("sub/two.bin") == second);
            CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 2 файлов (размер 28 KB)", "загружен one.bin (20 KB)",
                                                               "загружен sub/two.bin (9 KB)", "всего загружено 2 файлов (28 KB)"});
            if (c.ranged) {
                CheckRanges(rig, c.cut, {{"/upd/files/one.bin", 10000}, {"/upd/files/sub/two.bin", 4500}});
                const std::string validator = c.validators == Route::Both ? UpdateSite::ETagOf(first, 1)
                                                                          : UpdateSite::LastModifiedOf(1);
                REQUIRE(rig.site.IfRanges().size() == 2);
                CHECK(rig.site.IfRanges()[0] == validator);
            } else {
                CHECK(rig.site.Ranges().empty());
                CHECK(rig.site.Requests() == std::vector<std::string>{"/upd/updlist.txt", "/upd/files/one.bin",
                                                                      "/upd/files/one.bin", "/upd/files/sub/two.bin",
                                                                      "/upd/files/sub/two.bin"});
            }
        }
    }
}

TEST_CASE("a file that changes on the server after its cut first answer lands whole and new, never spliced") {
    struct Case {
        const char* name;
        size_t newSize;
        Route::Validators validators;
        bool ignoreIfRange;  // the server sends the new file's rest whatever If-Range says
        bool asksAgain;      // a partial answer was refused, so the whole file was asked for again
    };
    const Case cases[] = {
        {"the same length, a new ETag", 20000, Route::Both, false, false},
        {"another length, a new ETag", 26000, Route::Both, false, false},
        {"the same length, a new Last-Modified", 20000, Route::DateOnly, false, false},
        {"a server that ignores If-Range: another total", 26000, Route::Both, true, true},
        {"a server that ignores If-Range: the same total, another ETag", 20000, Route::Both, true, true},
    };
    for (const Service service : kBothServices) {
        for (const Case& c : cases) {
            const std::string where = ServiceName(service), name = c.name;
            CAPTURE(where);
            CAPTURE(name);
            Rig rig({}, "upd", service);
            const std::string old = Pattern(20000, 23), fresh = Pattern(c.newSize, 24);
            Route route{200, old, Route::Reset, 10000};
            route.cutAnswers = 1;
            route.validators = c.validators;
            route.changedBody = fresh;
            route.ignoreIfRange = c.ignoreIfRange;
            rig.Serve("app.bin", route);
            REQUIRE(rig.Run({Entry("app.bin", "", 20000)}, 60000) == WM_UPD_ALL_LOADED);
            CHECK(rig.Downloaded("app.bin") == fresh);
            CheckRanges(rig, Route::Reset, {{"/upd/files/app.bin", 10000}});
            const std::string validator =
                c.validators == Route::Both ? UpdateSite::ETagOf(old, 1) : UpdateSite::LastModifiedOf(1);
            CHECK(rig.site.IfRanges() == std::vector<std::string>{validator});
            CHECK(rig.site.Requests().size() == (c.asksAgain ? 4u : 3u));  // the list, the file, the range (, the file)
            // The window saw the file start again from its first byte.
            const std::vector<WPARAM> positions = FilePositions(rig.owner);
            REQUIRE(!positions.empty());
            CHECK(positions.back() == c.newSize);
            CHECK(std::count(positions.begin(), positions.end(), WPARAM{0}) == 2);
            CHECK(rig.owner.Logs().back() ==
                  "всего загружено 1 файлов (" + std::string(c.newSize == 20000 ? "20" : "25") + " KB)");
        }
    }
}

// The only file, big.bin of 200000 bytes, failed as a download fails: its error line, nothing
// handed over, and the partial file gone.
void CheckBigFileFailed(const Rig& rig) {
    CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateNotDownloaded);
    CHECK(rig.owner.Count(WM_UPD_ALL_LOADED) == 0);
    CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 1 файлов (размер 195 KB)",
                                                       "ОШИБКА Невозможна загрузка файла big.bin",
                                                       "всего загружено 0 файлов (0 B)"});
    bool exists = true;
    rig.Downloaded("big.bin", &exists);
    CHECK_FALSE(exists);
}

// A server that names a new version in each answer (mirrors with their own ETags, a stamp in each
// answer) while the line cuts every answer half way: each cut brings the file again from its first
// byte, all of it new, so only a bound on such restarts ends the file before the user does.
TEST_CASE("a cut answered with another version each time: a few restarts from the first byte, then the file fails") {
    struct Case {
        const char* name;
        Route::Validators validators;
        int newVersions;  // answers after the first that name a new version (-1: every one)
        bool lands;
    };
    const Case cases[] = {
        {"a new ETag in every answer", Route::Both, -1, false},
        {"no ETag, a new Last-Modified in every answer", Route::DateOnly, -1, false},
        {"three new versions, then the rest of the last one", Route::Both, 3, true},
    };
    for (const Case& c : cases) {
        const std::string name = c.name;
        CAPTURE(name);
        // The stall limit is far beyond the test's wait: it is not what ends the file.
        Rig rig(DownloadTimeouts{10000, 120000}, "upd", Service::OutsideWine);
        const std::string body = Pattern(200000, 32);
        Route route{200, body, Route::Reset, 100000};
        route.cutAnswers = c.lands ? 4 : -1;
        route.validators = c.validators;
        route.newVersions = c.newVersions;
        rig.Serve("big.bin", route);
        const UINT final = rig.Run({Entry("big.bin", "", 200000)}, 45000);
        const std::vector<std::string> requests = rig.site.Requests();
        // The first answer, three restarts with a new version, and the answer that ends the file.
        CHECK(std::count(requests.begin(), requests.end(), "/upd/files/big.bin") == 5);
        if (c.lands) {
            REQUIRE(final == WM_UPD_ALL_LOADED);
            CHECK(rig.Downloaded("big.bin") == body);
            CHECK(rig.site.Ranges().size() == 4);
            continue;
        }
        REQUIRE(final == WM_UPD_WORKER_DONE);
        CheckBigFileFailed(rig);
    }
}

// Under Wine a body without a length that the server closes early ends as a whole one does (a
// chunked one closed before its last chunk too); only the list's size tells that it is short.
TEST_CASE("a body without a length is whole only at the list's size: one closed early is a cut, never handed over") {
    struct Case {
        const char* name;
        Route::Length length;
        int cutAnswers;  // answers closed half way (-1: every one)
        size_t served;   // the body's size on the server
        int listed;      // the list's "filesize"
        bool lands;
    };
    const Case cases[] = {
        {"the close ends it, every answer closed half way", Route::CloseEnds, -1, 200000, 200000, false},
        {"chunked, every answer closed before its last chunk", Route::Chunked, -1, 200000, 200000, false},
        {"the close ends it, the first answer closed half way: the whole file again", Route::CloseEnds, 1, 200000, 200000, true},
        {"chunked, the first answer closed half way: the whole file again", Route::Chunked, 1, 200000, 200000, true},
        {"the close ends it, whole", Route::CloseEnds, 0, 200000, 200000, true},
        {"chunked, whole, longer than the list says", Route::Chunked, 0, 200000, 150000, true},
        {"a length announced below the list's size: the server's own length counts", Route::Announced, 0, 150000, 200000, true},
    };
    for (const Case& c : cases) {
        const std::string name = c.name;
        CAPTURE(name);
        Rig rig(DownloadTimeouts{1000, 3000}, "upd", Service::OutsideWine);
        const std::string body = Pattern(c.served, 33);
        Route route{200, body, Route::CutOff, c.served / 2};
        route.cutAnswers = c.cutAnswers;
        route.length = c.length;
        rig.Serve("big.bin", route);
        const UINT final = rig.Run({Entry("big.bin", "", c.listed)}, 60000);
        CHECK(rig.site.Ranges().empty());  // no length: no total that a range could be checked against
        if (c.lands) {
            REQUIRE(final == WM_UPD_ALL_LOADED);
            CHECK(rig.Downloaded("big.bin") == body);
            const std::vector<std::string> requests = rig.site.Requests();
            CHECK(std::count(requests.begin(), requests.end(), "/upd/files/big.bin") == (c.cutAnswers == 1 ? 2 : 1));
            continue;
        }
        REQUIRE(final == WM_UPD_WORKER_DONE);
        CheckBigFileFailed(rig);
    }
}

// A scanner that holds a file of an earlier update: a file open without FILE_SHARE_DELETE cannot
// be deleted, and what stays in the folder would be handed over with this update.
TEST_CASE("a files folder that cannot be emptied ends the run before any file is asked for; one that can is emptied") {
    struct Case {
        const char* name;
        const char* held;  // the old file held open, or null
    };
    const Case cases[] = {
        {"an old file held open", "old.dll"},
        {"an old file held open in a subfolder", "sub\\old.dll"},
        {"old files, a read-only one among them, none held", nullptr},
    };
    for (const Case& c : cases) {
        const std::string name = c.name;
        CAPTURE(name);
        Rig rig({}, "upd", Service::OutsideWine);
        const std::string files = rig.temp.path() + "_update\\_files\\";
        ::CreateDirectoryA(files.c_str(), nullptr);
        ::CreateDirectoryA((files + "sub").c_str(), nullptr);
        for (const char* old : {"old.dll", "sub\\old.dll", "readonly.txt"}) {
            kit::UniqueFile made(::CreateFileA((files + old).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
            REQUIRE(made);
        }
        ::SetFileAttributesA((files + "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        kit::UniqueFile held;
        if (c.held) {
            held.reset(::CreateFileA((files + c.held).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            REQUIRE(held);
        }
        const std::string body = Pattern(5000, 34);
        rig.Serve("new.bin", Route{200, body});
        const UINT final = rig.Run({Entry("new.bin", "", 5000)});
        if (!c.held) {
            REQUIRE(final == WM_UPD_ALL_LOADED);
            CHECK(rig.Downloaded("new.bin") == body);
            for (const char* old : {"old.dll", "sub\\old.dll", "readonly.txt"}) CHECK_FALSE(FileExists(files + old));
            continue;
        }
        REQUIRE(final == WM_UPD_WORKER_DONE);
        // Not the result of a failed download: the window says that the update was not done.
        CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateFolderNotEmptied);
        CHECK(rig.owner.Count(WM_UPD_ALL_LOADED) == 0);
        CHECK(rig.site.Requests() == std::vector<std::string>{"/upd/updlist.txt"});  // the connection check's
        CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 1 файлов (размер 5 KB)"});
        CHECK(FileExists(files + c.held));
        CHECK_FALSE(FileExists(files + "new.bin"));
    }
}

// After a real reset the request for the rest finds the line down: the service's listener is closed,
// and every connection is refused (12029 at once) until it listens again.
TEST_CASE("a line that is down for a moment after a reset: the rest is asked for until the line is back") {
    Rig rig({}, "upd", Service::OutsideWine);  // the worker's own stall limit: 30 s
    const std::string body = Pattern(20000, 29);
    Route route{200, body, Route::Reset, 10000};
    route.cutAnswers = 1;
    route.downAfter = 3000;
    rig.Serve("app.bin", route);
    const ULONGLONG start = ::GetTickCount64();
    REQUIRE(rig.Run({Entry("app.bin", "", 20000)}, 60000) == WM_UPD_ALL_LOADED);
    CHECK(::GetTickCount64() - start >= 2500);  // it waited for the line rather than found it up
    CHECK(rig.Downloaded("app.bin") == body);
    CheckRanges(rig, Route::Reset, {{"/upd/files/app.bin", 10000}});
    CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 1 файлов (размер 20 KB)", "загружен app.bin (20 KB)",
                                                       "всего загружено 1 файлов (20 KB)"});
}

TEST_CASE("a line that stays down: the file fails at the stall limit; a file whose first request finds it down fails at once") {
    SUBCASE("down after the file's first answer was reset") {
        Rig rig(DownloadTimeouts{1000, 4000}, "upd", Service::OutsideWine);
        Route route{200, Pattern(20000, 30), Route::Reset, 10000};
        route.cutAnswers = 1;
        route.downAfter = 60000;
        rig.Serve("app.bin", route);
        const ULONGLONG start = ::GetTickCount64();
        REQUIRE(rig.Run({Entry("app.bin", "", 20000), Entry("next.bin", "", 10)}, 60000) == WM_UPD_WORKER_DONE);
        CHECK(::GetTickCount64() - start >= 3500);  // not before the limit
        CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateNotDownloaded);
        CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 2 файлов (размер 20 KB)",
                                                           "ОШИБКА Невозможна загрузка файла app.bin",
                                                           "всего загружено 0 файлов (0 B)"});
        bool exists = true;
        rig.Downloaded("app.bin", &exists);
        CHECK_FALSE(exists);  // a read that failed for good: the partial file goes
        CHECK(rig.site.Requests() == std::vector<std::string>{"/upd/updlist.txt", "/upd/files/app.bin"});
    }
    SUBCASE("down before the file's first request: nothing has begun, nothing is waited for") {
        Rig rig(DownloadTimeouts{1000, 20000}, "upd", Service::OutsideWine);
        Route list{200, "1.0.0.3\r\n[general]\r\ncountfiles=0\r\n"};
        list.downAfter = 60000;  // the worker's connection check gets the list; then the line is down
        rig.site.Set("/upd/updlist.txt", list);
        rig.Serve("app.bin", Route{200, Pattern(5000, 31)});
        const ULONGLONG start = ::GetTickCount64();
        REQUIRE(rig.Run({Entry("app.bin", "", 5000)}, 60000) == WM_UPD_WORKER_DONE);
        CHECK(::GetTickCount64() - start < 15000);  // well before the stall limit
        CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateUrlNotOpened);
        CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 1 файлов (размер 5 KB)",
                                                           "ОШИБКА Файл не найден app.bin",
                                                           "всего загружено 0 файлов (0 B)"});
    }
}

TEST_CASE("a file never answered, with a served file after it: the loop goes on, and nothing is handed over") {
    Rig rig(DownloadTimeouts{400, 2500});
    Route silent{200, Pattern(5000, 25)};
    silent.answerDelay = 60000;  // until the service stops
    rig.Serve("silent.bin", silent);
    const std::string body = Pattern(3000, 26);
    rig.Serve("ok.bin", Route{200, body});
    REQUIRE(rig.Run({Entry("silent.bin", "", 5000), Entry("ok.bin", "", 3000)}, 60000) == WM_UPD_WORKER_DONE);
    CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateUrlNotOpened);
    CHECK(rig.owner.Count(WM_UPD_ALL_LOADED) == 0);
    CHECK(rig.owner.Logs() == std::vector<std::string>{"загрузка 2 файлов (размер 8 KB)", "ОШИБКА Файл не найден silent.bin",
                                                       "загружен ok.bin (3 KB)", "всего загружено 1 файлов (3 KB)"});
    CHECK(rig.Downloaded("ok.bin") == body);
    CHECK_FALSE(FileExists(rig.temp.path() + "_update/_files/silent.bin"));
    // The request was sent again while the server stayed silent, until the stall limit.
    const std::vector<std::string> requests = rig.server.Requests();
    CHECK(std::count(requests.begin(), requests.end(), "/upd/files/silent.bin") >= 2);
}

// A thread that a stop left inside WinInet goes on once its call returns. Under Wine the stop's
// closing of its handles does not return the call, and the system may give a closed handle's
// value to the next open; the next run saves the same file at the same path.
TEST_CASE("a stop: the thread left behind uses nothing its calls bring afterwards and touches no file of the next run") {
    Rig rig;  // the worker's own time-outs: longer than the test's steps
    const std::string old = Pattern(20000, 27), next = Pattern(7000, 28);
    Route held{200, old, Route::CutOff, 8192};
    held.cutAnswers = 1;
    held.rangeWhole = true;  // the held range is answered with the whole file: a restart, if it were used
    held.holdRanges = true;
    rig.Serve("app.bin", held);
    rig.worker.SetFileList({Entry("app.bin", "", 20000)});
    REQUIRE(rig.worker.Start());
    REQUIRE(rig.WaitForStall());  // the first answer was cut; the range is held
    rig.owner.PumpFor(100);
    CHECK(rig.worker.Stop(false) == CWorkerThread::kStoppedExitCode);
    const size_t reports = rig.owner.received.size();

    rig.Serve("app.bin", Route{200, next});
    REQUIRE(rig.Run({Entry("app.bin", "", 7000)}) == WM_UPD_ALL_LOADED);
    REQUIRE(rig.Downloaded("app.bin") == next);
    const size_t secondReports = rig.owner.received.size();

    rig.server.ReleaseStalls();  // the range of the run that was stopped gets its answer now
    REQUIRE(rig.WaitForWorkerThreads());
    CHECK(rig.server.WaitIdle());
    rig.owner.PumpFor(200);
    CHECK(rig.Downloaded("app.bin") == next);
    CHECK(rig.owner.received.size() == secondReports);
    CHECK(reports > 0);
}

TEST_CASE("a stop while the worker waits on a silent server returns promptly; the window gets nothing after it") {
    enum Road { CancelTwice, WindowCloses, NewStart };
    struct Case {
        const char* name;
        Road road;
    };
    const Case cases[] = {{"Cancel pressed twice", CancelTwice},
                          {"the window closes (a stop without force)", WindowCloses},
                          {"a forced stop before a new start", NewStart}};
    for (const Case& c : cases) {
        CAPTURE(c.name);
        Rig rig;  // the worker's own time-outs: longer than a second
        const std::string body = Pattern(20000, 14);
        rig.Serve("quiet.bin", Slow(body, 0, 4096, 10000));
        rig.worker.SetFileList({Entry("quiet.bin", "", 20000)});
        REQUIRE(rig.worker.Start());
        REQUIRE(rig.WaitForStall());
        rig.owner.PumpFor(100);
        const ULONGLONG start = ::GetTickCount64();
        switch (c.road) {
        case CancelTwice:
            rig.worker.Cancel();
            rig.worker.Cancel();
            break;
        case WindowCloses:
            CHECK(rig.worker.Stop(false) == CWorkerThread::kStoppedExitCode);
            break;
        case NewStart:
            CHECK(rig.worker.StopAndNotify(true) == CWorkerThread::kStoppedExitCode);
            break;
        }
        CHECK(::GetTickCount64() - start < 5000);
        CHECK_FALSE(rig.worker.HasThread());
        const size_t count = rig.owner.received.size();
        if (c.road != WindowCloses) {
            // The wrapper reported the end itself, from this thread.
            REQUIRE(count > 0);
            CHECK(rig.owner.received.back().message == WM_UPD_WORKER_DONE);
            CHECK(rig.owner.received.back().wParam == 0);
            CHECK_FALSE(rig.owner.received.back().fromOtherThread);
        }
        // The thread that was left ends when the silence does, and sends nothing on its way out.
        CHECK(rig.WaitForWorkerThreads());
        rig.owner.PumpFor(200);
        CHECK(rig.owner.received.size() == count);
        CHECK(rig.Downloaded("quiet.bin").size() < body.size());
    }
}

TEST_CASE("cancel once during a stalled download: the worker ends with 8, the partial file stays") {
    // The cancel closes the open handles; a blocked read returns then on Windows, under Wine only
    // at its time-out, which is short here.
    Rig rig(DownloadTimeouts{1000, 30000});
    const std::string body = Pattern(20000, 5);
    rig.Serve("stall.bin", Route{200, body, Route::Stall, 8192});
    rig.worker.SetFileList({Entry("stall.bin", "", 20000), Entry("next.bin", "", 10)});
    REQUIRE(rig.worker.Start());
    REQUIRE(rig.WaitForStall());
    rig.owner.PumpFor(100);
    rig.worker.Cancel();
    REQUIRE(rig.owner.PumpUntilDone(10000) == WM_UPD_WORKER_DONE);
    CHECK(rig.owner.Last(WM_UPD_WORKER_DONE)->wParam == UpdateCancelled);
    CHECK(rig.worker.IsFinished());
    bool exists = false;
    const std::string partial = rig.Downloaded("stall.bin", &exists);
    CHECK(exists);
    CHECK(partial == body.substr(0, partial.size()));
    CHECK(partial.size() < body.size());
    // The cancel exits log nothing: the announcement is the only line.
    CHECK(rig.owner.Logs().size() == 1);
    CHECK(rig.owner.Count(WM_UPD_ALL_LOADED) == 0);
    rig.server.ReleaseStalls();
}

TEST_CASE("cancel twice: the worker is stopped at once, reported with 0, and sends nothing more") {
    Rig rig;
    const std::string body = Pattern(20000, 6);
    rig.Serve("stall.bin", Route{200, body, Route::Stall, 8192});
    rig.worker.SetFileList({Entry("stall.bin", "", 20000)});
    REQUIRE(rig.worker.Start());
    REQUIRE(rig.WaitForStall());
    rig.owner.PumpFor(100);
    const ULONGLONG start = ::GetTickCount64();
    rig.worker.Cancel();
    rig.worker.Cancel();
    const ULONGLONG took = ::GetTickCount64() - start;
    CHECK(took < 3000);
    CHECK_FALSE(rig.worker.HasThread());
    // The second press reported the end itself, from this thread.
    const Received* done = rig.owner.Last(WM_UPD_WORKER_DONE);
    REQUIRE(done);
    CHECK(done->wParam == 0);
    CHECK_FALSE(done->fromOtherThread);
    const size_t count = rig.owner.received.size();
    rig.server.ReleaseStalls();
    rig.owner.PumpFor(1500);
    CHECK(rig.owner.received.size() == count);
}

TEST_CASE("a forced stop while the worker reports and while it waits for a silent server") {
    SUBCASE("StopAndNotify at once after the start") {
        Rig rig;
        rig.Serve("stall.bin", Route{200, Pattern(20000, 7), Route::Stall, 100});
        rig.worker.SetFileList({Entry("stall.bin", "", 20000)});
        REQUIRE(rig.worker.Start());
        const DWORD exitCode = rig.worker.StopAndNotify(true);
        CHECK((exitCode == CWorkerThread::kStoppedExitCode || exitCode == 0));
        const size_t count = rig.owner.received.size();
        REQUIRE(count >= 1);
        CHECK(rig.owner.received.back().message == WM_UPD_WORKER_DONE);
        CHECK(rig.owner.received.back().wParam == 0);
        rig.server.ReleaseStalls();
        rig.owner.PumpFor(1000);
        CHECK(rig.owner.received.size() == count);
    }
    SUBCASE("a polite stop of a stalled worker ends it after the wait") {
        Rig rig;
        rig.Serve("stall.bin", Route{200, Pattern(20000, 8), Route::Stall, 4096});
        rig.worker.SetFileList({Entry("stall.bin", "", 20000)});
        REQUIRE(rig.worker.Start());
        REQUIRE(rig.WaitForStall());
        const ULONGLONG start = ::GetTickCount64();
        CHECK(rig.worker.Stop(false) == CWorkerThread::kStoppedExitCode);
        CHECK(::GetTickCount64() - start < 3000);
        const size_t count = rig.owner.received.size();
        rig.server.ReleaseStalls();
        rig.owner.PumpFor(1000);
        CHECK(rig.owner.received.size() == count);
        CHECK(rig.owner.Count(WM_UPD_WORKER_DONE) == 0);
        // The worker can run again afterwards.
        rig.Serve("stall.bin", Route{200, "again"});
        rig.worker.SetFileList({Entry("stall.bin", "", 5)});
        REQUIRE(rig.worker.Start());
        REQUIRE(rig.owner.PumpUntilDone(10000) == WM_UPD_ALL_LOADED);
        CHECK(rig.Downloaded("stall.bin") == "again");
    }
}

namespace {

// A file step that waits, inside the step, until the test releases it.
struct HeldStep {
    RunSignals* signals;
    kit::UniqueHandle entered{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    kit::UniqueHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    bool ran = false;
};

DWORD WINAPI RunHeldStep(void* context) {
    auto* step = static_cast<HeldStep*>(context);
    step->signals->FileStep([&] {
        ::SetEvent(step->entered.get());
        ::WaitForSingleObject(step->release.get(), 30000);
        step->ran = true;
        return true;
    });
    return 0;
}

DWORD WINAPI RunStop(void* signals) {
    static_cast<RunSignals*>(signals)->Stop();
    return 0;
}

DWORD WINAPI RunPause(void* signals) { return static_cast<RunSignals*>(signals)->Pause(60000) ? 1 : 0; }

}  // namespace

// What a stop from another thread leaves a run: no file step begins after it (one under way ends
// before the stop returns), no call is made on a handle it closed, and a pause ends.
TEST_CASE("the run's signals: a stop waits for a file step under way, then refuses steps and calls on its handles") {
    RunSignals signals;
    HINTERNET session = ::InternetOpenA("signals-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    REQUIRE(session);
    REQUIRE(signals.Handles().Add(session));
    bool called = false;
    CHECK(signals.Handles().With(session, [&] { called = true; }));
    CHECK(called);

    HeldStep step{&signals};
    kit::UniqueHandle stepThread(::CreateThread(nullptr, 0, &RunHeldStep, &step, 0, nullptr));
    REQUIRE(::WaitForSingleObject(step.entered.get(), 10000) == WAIT_OBJECT_0);
    kit::UniqueHandle stopThread(::CreateThread(nullptr, 0, &RunStop, &signals, 0, nullptr));
    // The stop cannot return while the step runs, however long it is given.
    CHECK(::WaitForSingleObject(stopThread.get(), 200) == WAIT_TIMEOUT);
    ::SetEvent(step.release.get());
    REQUIRE(::WaitForSingleObject(stopThread.get(), 10000) == WAIT_OBJECT_0);
    REQUIRE(::WaitForSingleObject(stepThread.get(), 10000) == WAIT_OBJECT_0);
    CHECK(step.ran);

    bool stepped = false;
    CHECK_FALSE(signals.FileStep([&] { return stepped = true; }));
    CHECK_FALSE(stepped);
    called = false;
    CHECK_FALSE(signals.Handles().With(session, [&] { called = true; }));  // closed by the stop
    CHECK_FALSE(called);
    CHECK_FALSE(signals.Handles().Holds(session));
    CHECK_FALSE(signals.Handles().Add(::InternetOpenA("signals-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)));
    CHECK_FALSE(signals.Pause(60000));  // returns at once

    // A cancel from another thread ends a pause, under way or to come.
    RunSignals cancelled;
    kit::UniqueHandle pauseThread(::CreateThread(nullptr, 0, &RunPause, &cancelled, 0, nullptr));
    cancelled.Cancel();
    REQUIRE(::WaitForSingleObject(pauseThread.get(), 10000) == WAIT_OBJECT_0);
    DWORD paused = 2;
    ::GetExitCodeThread(pauseThread.get(), &paused);
    CHECK(paused == 0);
}

// A user who retries downloads again and again in one process: whichever way a run ends, the
// kernel handles, GDI objects and windows do not grow with the number of runs.
TEST_CASE("20 downloads in one process, ending every way, leave no kernel handle, GDI object or window behind") {
    REQUIRE(guitest::ProveCounters() == "");
    Rig rig(DownloadTimeouts{1000, 2000});  // a body that is always cut fails at the stall limit
    const std::string body = Pattern(9000, 15);
    rig.Serve("a.bin", Route{200, body});
    rig.Serve("sub/b.bin", Route{200, Pattern(100, 16)});
    rig.Serve("cut.bin", Route{200, body, Route::CutOff, 2500});
    Route dropped{200, body, Route::Reset, 4500};
    dropped.cutAnswers = 1;
    rig.Serve("dropped.bin", dropped);
    rig.Serve("error.bin", Route{500, "<html><body>Server error</body></html>"});
    struct Kind {
        const char* name;
        UpdateFileList files;
        UINT final;
    };
    const Kind kinds[] = {
        {"every file loaded", {Entry("a.bin", "", 9000), Entry("b.bin", "sub/", 100)}, WM_UPD_ALL_LOADED},
        {"a body cut off for good", {Entry("a.bin", "", 9000), Entry("cut.bin", "", 9000)}, WM_UPD_WORKER_DONE},
        {"a body reset half way and resumed", {Entry("dropped.bin", "", 9000)}, WM_UPD_ALL_LOADED},
        {"an error answer", {Entry("error.bin", "", 9000)}, WM_UPD_WORKER_DONE},
        {"a file the service does not have, last", {Entry("a.bin", "", 9000), Entry("gone.bin", "", 9000)}, WM_UPD_WORKER_DONE},
    };
    auto download = [&](const Kind& kind) {
        const std::string name = kind.name;
        CAPTURE(name);
        REQUIRE(rig.Run(kind.files) == kind.final);
        CHECK(rig.worker.Stop(false) == 0);  // the thread ended by itself
        rig.server.Set("/upd/files/dropped.bin", dropped);  // its next first answer is cut again
    };
    // Counted once the worker's thread has ended, the service has answered and its threads have
    // ended, and the last reports have run.
    auto counts = [&] {
        CHECK(rig.WaitForWorkerThreads(10000));
        CHECK(rig.server.WaitIdle());
        rig.owner.PumpFor(50);
        return guitest::ObjectCounts();
    };
    for (const Kind& kind : kinds) download(kind);  // each way's one-time work (the session's first connection)
    const std::vector<int> before = counts();
    std::vector<std::vector<int>> after;  // after 10 and after 20 runs: a leak grows with the runs
    for (int run = 1; run <= 20; ++run) {
        download(kinds[run % std::size(kinds)]);
        if (run % 10 == 0) after.push_back(counts());
    }
    MESSAGE(guitest::CountsText(before) << " before, " << guitest::CountsText(after[0]) << " after 10 downloads, "
                                        << guitest::CountsText(after[1]) << " after 20");
    CHECK(after[0] == before);
    CHECK(after[1] == before);
}

TEST_CASE("the thread wrapper: no thread, a second start") {
    RecordingWindow owner;
    CDownloadThread worker(&Disconnected);
    CHECK(worker.Stop(true) == CWorkerThread::kNoThread);
    CHECK(worker.StopAndNotify(true) == CWorkerThread::kNoThread);
    CHECK(owner.received.empty());  // no owner window yet: nothing sent
    worker.SetOwnerWindow(owner.handle());
    REQUIRE(worker.Start());
    CHECK_FALSE(worker.Start());
    owner.PumpUntilDone(10000);
    CHECK(worker.Stop(false) == 0);
}

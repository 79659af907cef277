// The HTML pane over the HTML engine stand-in: the built-in page, the error-page rule, the element
// references the pane takes and gives back, the behaviour notification; and the stand-in itself
// (export names, documents from bytes, files and URLs, text in UTF-16, selectors).
#include <doctest/doctest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "testing/host/PluginModule.h"
#include "testing/htmlengine/HtmlEngineQuery.h"
#include "tests/support/Services.h"
#include "tests/support/TestPaths.h"
#include "update/HtmlPane.h"

namespace {

UINT QueryMessage() { return ::RegisterWindowMessageA(kHtmlEngineQueryMessage); }
LRESULT Ask(HWND window, HtmlEngineQuestion question) { return ::SendMessageA(window, QueryMessage(), question, 0); }

std::string Bytes(const BYTE* data, DWORD size) { return std::string(reinterpret_cast<const char*>(data), size); }

// The body text of the window's document through the engine's own functions, in cp1251.
std::string BodyText(HWND window) {
    HELEMENT root = nullptr;
    if (HTMLayoutGetRootElement(window, &root) != HTML_DOM_OK || !root) return "<no document>";
    HELEMENT body = CHtmlPane::FindFirst(root, "%s", "body");
    if (!body) return "<no body>";
    WCHAR* text = nullptr;
    REQUIRE(HTMLayoutGetElementInnerText16(body, &text) == HTML_DOM_OK);
    char narrow[4096] = {};
    ::WideCharToMultiByte(1251, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

void Load(HWND window, const std::string& page) {
    REQUIRE(HTMLayoutLoadHtml(window, reinterpret_cast<const BYTE*>(page.data()), static_cast<UINT>(page.size())));
}

const char kDefaultText[] = "Для начала обновления нажмите кнопку \"Обновление\"";

// A parent for the pane: a plain top-level window of the library's default class.
struct Parent : kit::Window {
    Parent() { REQUIRE(Create(nullptr, "parent", WS_OVERLAPPEDWINDOW, RECT{0, 0, 400, 300}, nullptr)); }
};

}  // namespace

TEST_CASE("the built-in page: 950 bytes of cp1251 XHTML with the update hint") {
    const BYTE* data = nullptr;
    DWORD size = 0;
    REQUIRE(CHtmlPane::LoadHtmlResource("DEFAULT", &data, &size));
    const std::string page = Bytes(data, size);
    CHECK(size == 950);
    CHECK(page.rfind("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"", 0) == 0);
    CHECK(page.find("charset=windows-1251") != std::string::npos);
    CHECK(page.find("<title>обновление программы</title>") != std::string::npos);
    CHECK(page.find(std::string("<p>") + kDefaultText + "</p>") != std::string::npos);
    CHECK(page.find("#D4D0C8") != std::string::npos);
    CHECK(page.find("Microsoft Sans Serif") != std::string::npos);
    CHECK(page.find("max-width: 36em") != std::string::npos);
    CHECK_FALSE(CHtmlPane::LoadHtmlResource("MISSING", &data, &size));
}

TEST_CASE("the pane: created hidden with the built-in page, shown by the check") {
    Parent parent;
    CHtmlPane pane;
    REQUIRE(pane.Create(RECT{0, 0, 300, 200}, parent.handle(), WS_CHILD | WS_BORDER));
    char className[64] = {};
    ::GetClassNameA(pane.handle(), className, sizeof className);
    CHECK(std::string(className) == CHtmlPane::kClassName);
    CHECK((::GetClassLongA(pane.handle(), GCL_STYLE) & 0xFFFF) == (CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    CHECK((::GetWindowLongA(pane.handle(), GWL_STYLE) & WS_BORDER) == 0);
    CHECK_FALSE(::IsWindowVisible(pane.handle()));
    CHECK(Ask(pane.handle(), kHtmlQueryHasCallback) == 1);
    CHECK(Ask(pane.handle(), kHtmlQueryLoads) == 1);
    CHECK(BodyText(pane.handle()) == kDefaultText);

    ::ShowWindow(parent.handle(), SW_SHOW);
    CHECK(pane.CheckPage());
    CHECK(::IsWindowVisible(pane.handle()));
    CHECK(Ask(pane.handle(), kHtmlQueryLoads) == 1);  // the built-in page is no error page
    CHECK(Ask(pane.handle(), kHtmlQueryOutsideReferences) == 0);
}

TEST_CASE("the check replaces a page whose body reports a missing page") {
    struct Case {
        const char* page;
        bool replaced;
    } cases[] = {
        {"<html><body><h1>404</h1></body></html>", true},
        {"<html><body>Ошибка 14040 на сервере</body></html>", true},
        {"<html><body><p>File Not Found</p></body></html>", true},
        {"<html><body><p>file not found</p></body></html>", false},
        {"<html><body><p>NOT FOUND</p></body></html>", false},
        {"<html><head><title>404 Not Found</title></head><body>Новости</body></html>", false},
        {"<html><head><title>no body</title></head></html>", false},
        {"<html><body><!-- 404 --><p>Всё хорошо</p></body></html>", false},
        {"<html><body><p>Not&#32;Found</p></body></html>", true},
        {"", false},
    };
    Parent parent;
    CHtmlPane pane;
    REQUIRE(pane.Create(RECT{0, 0, 300, 200}, parent.handle()));
    for (const Case& c : cases) {
        CAPTURE(c.page);
        Load(pane.handle(), c.page);
        const std::string before = BodyText(pane.handle());
        const LRESULT loads = Ask(pane.handle(), kHtmlQueryLoads);
        CHECK(pane.CheckPage());
        CHECK(Ask(pane.handle(), kHtmlQueryLoads) == loads + (c.replaced ? 1 : 0));
        CHECK(BodyText(pane.handle()) == (c.replaced ? std::string(kDefaultText) : before));
        // A second check finds the built-in page (or the same page) and loads nothing more.
        CHECK(pane.CheckPage());
        CHECK(Ask(pane.handle(), kHtmlQueryLoads) == loads + (c.replaced ? 1 : 0));
        CHECK(Ask(pane.handle(), kHtmlQueryOutsideReferences) == 0);
    }
}

TEST_CASE("the pane answers behaviour requests with nothing and leaves the record alone") {
    struct Seen {
        int calls = 0;
        std::string name;
        void* proc = reinterpret_cast<void*>(1);
        HWND from = nullptr;
        UINT_PTR id = 0;
        HELEMENT element = nullptr;
    };
    constexpr UINT kPaneId = 4321;  // the update window uses 0; any id must come back in the header
    Parent parent;
    CHtmlPane pane;
    REQUIRE(pane.Create(RECT{0, 0, 300, 200}, parent.handle(), WS_CHILD, kPaneId));
    // The pane's own callback: loading a page with a behaviour goes through it without a change.
    Load(pane.handle(), "<html><body><div behavior=\"clock\">x</div></body></html>");
    CHECK(BodyText(pane.handle()) == "x");

    // The engine asks the window's callback for every element that names a behaviour.
    static Seen seen;
    seen = Seen{};
    struct Spy {
        static LRESULT CALLBACK Notify(UINT message, WPARAM, LPARAM lParam, void* param) {
            // A WM_NOTIFY record: the system's header (window, id, code) comes first.
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            auto* record = reinterpret_cast<HtmlAttachBehavior*>(lParam);
            CHECK(message == WM_NOTIFY);
            CHECK(header->code == HTML_NOTIFY_ATTACH_BEHAVIOR);
            CHECK(param == &seen);
            ++seen.calls;
            seen.from = header->hwndFrom;
            seen.id = header->idFrom;
            seen.element = record->element;
            seen.name = record->behaviorName;
            seen.proc = record->elementProc;
            CHECK(record->elementTag == nullptr);
            CHECK(record->elementEvents == 0);
            return 0;
        }
    };
    HTMLayoutSetCallback(pane.handle(), &Spy::Notify, &seen);
    Load(pane.handle(), "<html><body><div behavior=\"clock\">x</div><p>y</p></body></html>");
    CHECK(seen.calls == 1);
    CHECK(seen.from == pane.handle());
    CHECK(seen.id == kPaneId);
    HELEMENT root = nullptr;
    REQUIRE(HTMLayoutGetRootElement(pane.handle(), &root) == HTML_DOM_OK);
    CHECK(seen.element == CHtmlPane::FindFirst(root, "div"));
    CHECK(seen.name == "clock");
    CHECK(seen.proc == nullptr);
}

TEST_CASE("engine stand-in: export names, references, selectors, text in UTF-16") {
    hoststub::PluginModule engine(testsupport::BuildFile("testing/htmlengine/htmlayout.dll"));
    std::vector<std::string> names;
    for (const auto& entry : engine.Exports()) names.push_back(entry.name);
    CHECK(names == std::vector<std::string>{"HTMLayoutGetElementInnerText16", "HTMLayoutGetRootElement",
                                            "HTMLayoutLoadFile", "HTMLayoutLoadHtml", "HTMLayoutProcND",
                                            "HTMLayoutSelectElements", "HTMLayoutSetCallback",
                                            "HTMLayout_UnuseElement", "HTMLayout_UseElement"});
    CHECK(engine.ExportModuleName() == "htmlayout.dll");

    Parent parent;
    CHtmlPane pane;
    REQUIRE(pane.Create(RECT{0, 0, 300, 200}, parent.handle()));
    HWND window = pane.handle();
    // UTF-8 with its mark (the literal is UTF-8 whatever the execution character set).
    Load(window, "\xEF\xBB\xBF" + std::string(reinterpret_cast<const char*>(
                                      u8"<p class=\"a b\" id=\"one\">Привет,   мир &amp; всё</p><div>ещё</div>")));
    HELEMENT root = nullptr;
    REQUIRE(HTMLayoutGetRootElement(window, &root) == HTML_DOM_OK);
    REQUIRE(root);
    CHECK(CHtmlPane::FindFirst(root, "body") == nullptr);  // no body made up
    HELEMENT p = CHtmlPane::FindFirst(root, "p.b");
    REQUIRE(p);
    CHECK(CHtmlPane::FindFirst(root, "#%s", "one") == p);
    CHECK(CHtmlPane::FindFirst(root, "div, p") == p);
    WCHAR* text = nullptr;
    REQUIRE(HTMLayoutGetElementInnerText16(p, &text) == HTML_DOM_OK);
    CHECK(std::wstring(text) == L"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440 & \u0432\u0441\u0451");

    // A referenced element outlives its document; given back, it is gone.
    const LRESULT live = Ask(window, kHtmlQueryLiveElements);
    REQUIRE(HTMLayout_UseElement(p) == HTML_DOM_OK);
    CHECK(Ask(window, kHtmlQueryOutsideReferences) == 1);
    Load(window, "<html><body>new</body></html>");
    REQUIRE(HTMLayoutGetElementInnerText16(p, &text) == HTML_DOM_OK);
    CHECK(std::wstring(text).rfind(L"\u041f\u0440\u0438", 0) == 0);
    CHECK(HTMLayout_UnuseElement(p) == HTML_DOM_OK);
    CHECK(Ask(window, kHtmlQueryOutsideReferences) == 0);
    CHECK(HTMLayout_UseElement(p) == HTML_DOM_INVALID_HANDLE);
    CHECK(HTMLayoutGetElementInnerText16(p, &text) == HTML_DOM_INVALID_HANDLE);
    CHECK(Ask(window, kHtmlQueryLiveElements) < live);

    // A window the engine does not serve has no root.
    HELEMENT none = reinterpret_cast<HELEMENT>(0xdeadbeef);
    CHECK(HTMLayoutGetRootElement(parent.handle(), &none) == HTML_DOM_INVALID_HWND);
    CHECK(HTMLayoutLoadFile(window, L"Z:\\no\\such\\page.html") == FALSE);
    CHECK(BodyText(window) == "new");  // a failed load keeps the document
}

TEST_CASE("engine stand-in: pages by name, a local file and a URL of the local service") {
    Parent parent;
    CHtmlPane pane;
    REQUIRE(pane.Create(RECT{0, 0, 300, 200}, parent.handle()));
    HWND window = pane.handle();

    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "pane-news-page.html";
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        REQUIRE(file);
        std::fputs("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
                   "</head><body><p>Новая версия</p></body></html>",
                   file);
        std::fclose(file);
    }
    std::wstring wide(path.begin(), path.end());
    REQUIRE(HTMLayoutLoadFile(window, wide.c_str()));
    CHECK(BodyText(window) == "Новая версия");
    ::DeleteFileA(path.c_str());

    const std::string url = testsupport::Services::Get().HttpUrl("/status/404");
    REQUIRE(HTMLayoutLoadFile(window, std::wstring(url.begin(), url.end()).c_str()));
    CHECK(BodyText(window) == "<no body>");  // a plain-text answer has no body element
    const std::string https = testsupport::Services::Get().HttpsUrl("/status/200");
    CHECK(HTMLayoutLoadFile(window, std::wstring(https.begin(), https.end()).c_str()));
    CHECK(HTMLayoutLoadFile(window, L"http://127.0.0.1:1/") == FALSE);
}

TEST_CASE("the engine paints the built-in page: its background and the body's text") {
    Parent parent;
    CHtmlPane pane;
    REQUIRE(pane.Create(RECT{0, 0, 360, 120}, parent.handle()));
    ::ShowWindow(parent.handle(), SW_SHOWNOACTIVATE);
    pane.CheckPage();
    ::UpdateWindow(pane.handle());
    CHECK(Ask(pane.handle(), kHtmlQueryPaints) >= 1);
    HDC dc = ::GetDC(pane.handle());
    REQUIRE(dc);
    CHECK(::GetPixel(dc, 2, 2) == RGB(0xD4, 0xD0, 0xC8));
    int inked = 0;
    for (int y = 8; y < 30; ++y) {
        for (int x = 8; x < 300; ++x) inked += ::GetPixel(dc, x, y) != RGB(0xD4, 0xD0, 0xC8);
    }
    ::ReleaseDC(pane.handle(), dc);
    CHECK(inked > 50);  // the hint's letters
}

// brasko.dll as the host sees it on load: its exports and ordinals, its plug-in information, its
// action menu, and its version resource.
#include <doctest/doctest.h>

#include <cstring>
#include <set>
#include <string>

#include "tests/action/ActionRig.h"
#include "tests/support/PluginChecks.h"
#include "tests/support/TestPaths.h"

using namespace actiontest;

namespace {

using ActionMenuFn = host::exports::GetActionMenu*;

// A version string read with the wide call and turned into cp1251 here: the narrow call would
// convert through whatever the process's ANSI code page is.
std::string VersionString(const std::vector<char>& block, const wchar_t* name) {
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT size = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size) ||
        size < sizeof *translation)
        return "(no translation)";
    wchar_t path[128];
    ::wsprintfW(path, L"\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage, name);
    wchar_t* value = nullptr;
    if (!::VerQueryValueW(block.data(), path, reinterpret_cast<void**>(&value), &size) || !value) return "(missing)";
    char text[512] = {};
    ::WideCharToMultiByte(1251, 0, value, -1, text, sizeof text - 1, nullptr, nullptr);
    return text;
}

}  // namespace

TEST_CASE("brasko.dll exports its three entry points by name and by the ordinals 1, 2, 3") {
    hoststub::PluginModule plugin(BraskoDll());
    std::set<std::pair<std::string, unsigned>> exports;
    for (const auto& entry : plugin.Exports()) exports.insert({entry.name, entry.ordinal});
    CHECK(exports == std::set<std::pair<std::string, unsigned>>{
                         {"GetActionMenu", 1}, {"GetPluginInfo", 2}, {"RunExternalFunction", 3}});
    CHECK(plugin.ExportModuleName() == "brasko.dll");
    CHECK(reinterpret_cast<void*>(plugin.FindOrdinal(1)) == reinterpret_cast<void*>(plugin.Find("GetActionMenu")));
    CHECK(reinterpret_cast<void*>(plugin.FindOrdinal(2)) == reinterpret_cast<void*>(plugin.Find("GetPluginInfo")));
    CHECK(reinterpret_cast<void*>(plugin.FindOrdinal(3)) == reinterpret_cast<void*>(plugin.Find("RunExternalFunction")));
}

TEST_CASE("every export of brasko.dll leaves its arguments for the host to remove") {
    hoststub::PluginModule plugin(BraskoDll());
    testsupport::CheckCallerRemovesArguments(plugin,
                                             {{"GetActionMenu", 2}, {"GetPluginInfo", 2}, {"RunExternalFunction", 1}});
}

TEST_CASE("GetPluginInfo: kind 3, the same static texts on every call, one empty text for both provider fields") {
    hoststub::PluginModule plugin(BraskoDll());
    const host::PluginInfo first = testsupport::StablePluginInfo(plugin);

    CHECK(first.kind == 3);
    CHECK(testsupport::HexBytes(first.name) ==
          testsupport::HexBytes("\xC0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xED\xE8\xE5 Brasko"));
    CHECK(std::string(first.version) == "1.5");
    CHECK(std::string(first.author) == "Plug-in team");
    REQUIRE(first.providerTitle != nullptr);
    CHECK(first.providerTitle == first.providerId);
    CHECK(first.providerTitle[0] == '\0');
}

TEST_CASE("GetActionMenu follows the cursor protocol over the three actions") {
    hoststub::PluginModule plugin(BraskoDll());
    auto menu = plugin.Resolve<ActionMenuFn>("GetActionMenu");
    const char* captions[] = {
        "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC \"\xCC\xE8\xF0\"",
        "\xC0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xF2\xFC \"\xF1\xE5\xE3\xEC\xE5\xED\xF2\"",
        "\xC2\xFB\xEA\xEB. \"\xCC\xE8\xF0\", \xE0\xEA\xF2\xE8\xE2\xE8\xF0\xEE\xE2\xE0\xF2\xFC \"\xF1\xE5\xE3\xEC\xE5\xED\xF2\"",
    };
    for (int cursor = 0; cursor < 3; ++cursor) {
        CAPTURE(cursor);
        host::ActionMenuItem item{-7, nullptr};
        int value = cursor;
        menu(&item, &value);
        CHECK(item.actionId == cursor + 1);
        CHECK(value == cursor + 1);
        REQUIRE(item.caption != nullptr);
        CHECK(testsupport::HexBytes(item.caption) == testsupport::HexBytes(captions[cursor]));
    }
    testsupport::CheckMenuEnds(menu, {3, 4, -1, 100, static_cast<int>(0x80000000u)});
    // The host walks it from its user-interface thread.
    hoststub::StandInHost host;
    std::vector<host::ActionMenuItem> items;
    host.RunOnUiThread([&] { items = hoststub::WalkMenu<host::ActionMenuItem>(menu); });
    REQUIRE(items.size() == 3);
    CHECK(items[2].actionId == host::ActionWorldOffAndSegmentOn);
}

TEST_CASE("the version resource says 1.5.0.0, what the plug-in is for, and its file name") {
    const std::string path = BraskoDll();
    std::wstring widePath(path.begin(), path.end());
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(widePath.c_str(), &handle);
    REQUIRE(size > 0);
    std::vector<char> block(size);
    REQUIRE(::GetFileVersionInfoW(widePath.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    REQUIRE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    CHECK(fixed->dwFileVersionMS == 0x00010005u);
    CHECK(fixed->dwFileVersionLS == 0u);
    CHECK(fixed->dwProductVersionMS == 0x00010005u);
    CHECK(fixed->dwProductVersionLS == 0u);

    const struct {
        const wchar_t* name;
        const char* value;
    } strings[] = {
        {L"FileVersion", "1.5.0.0"},
        {L"ProductVersion", "1.5.0.0"},
        {L"FileDescription", "Function for Brasko activation"},
        {L"InternalName", "brasko.dll"},
        {L"ProductName", "brasko.dll"},
        {L"OriginalFilename", "brasko.dll"},
        {L"CompanyName", "Plug-in team"},
        {L"LegalCopyright", "\xA9 2026 Plug-in team"},  // the source's UTF-8 sign, through cp1251
    };
    for (const auto& entry : strings) {
        CAPTURE(entry.value);
        CHECK(testsupport::HexBytes(VersionString(block, entry.name)) == testsupport::HexBytes(entry.value));
    }
}

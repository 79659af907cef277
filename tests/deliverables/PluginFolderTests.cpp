// The statistics windows' plug-in folder as the build lays it out and a host uses it: every DLL
// in plugins/ is loaded as the host loads it and its style menu walked through its export, and
// each preview that the menu names must stand below the folder as a JPEG picture that the
// system's imaging codecs decode. The names come from the plug-ins themselves, so a style whose
// picture the build forgets to draw or to copy fails here.
#include <doctest/doctest.h>

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/Unique.h"
#include "hostapi/ExportTypes.h"
#include "hostapi/HostProtocol.h"
#include "statswindows/common/StatsProtocol.h"
#include "testing/host/PluginModule.h"
#include "tests/support/TestPaths.h"

namespace {

template <class T>
void ReleaseCom(T* object) {
    object->Release();
}
template <class T>
using ComRef = kit::Unique<kit::NullTraits<T*, &ReleaseCom<T>>>;

struct ComScope {
    const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ComScope() {
        if (SUCCEEDED(result)) ::CoUninitialize();
    }
};

// A picture file as the imaging codecs read it; `error` names the first step that failed.
struct Decoded {
    std::string error;
    bool jpeg = false;
    UINT width = 0, height = 0;
    std::size_t colours = 0;  // distinct pixel values of the first frame
};

Decoded Decode(const std::string& path) {
    Decoded d;
    ComRef<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.put()))))
        return {"no imaging factory"};
    const std::wstring wide(path.begin(), path.end());  // the build's paths are ASCII
    ComRef<IWICBitmapDecoder> decoder;
    if (FAILED(factory.get()->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand, decoder.put())))
        return {"no decoder takes the file"};
    GUID container{};
    decoder.get()->GetContainerFormat(&container);
    d.jpeg = ::IsEqualGUID(container, GUID_ContainerFormatJpeg) != FALSE;
    ComRef<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder.get()->GetFrame(0, frame.put()))) return {"no first frame"};
    if (FAILED(frame.get()->GetSize(&d.width, &d.height)) || !d.width || !d.height) return {"no size"};
    ComRef<IWICFormatConverter> converter;
    if (FAILED(factory.get()->CreateFormatConverter(converter.put())) ||
        FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                           0.0, WICBitmapPaletteTypeCustom)))
        return {"no conversion to BGRA"};
    std::vector<DWORD> pixels(static_cast<std::size_t>(d.width) * d.height);
    if (FAILED(converter.get()->CopyPixels(nullptr, d.width * 4, static_cast<UINT>(pixels.size() * 4),
                                           reinterpret_cast<BYTE*>(pixels.data()))))
        return {"the pixels do not decode"};
    d.colours = std::set<DWORD>(pixels.begin(), pixels.end()).size();
    return d;
}

std::vector<std::string> PluginDlls(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    kit::UniqueFind find(::FindFirstFileA((folder + "\\*.dll").c_str(), &found));
    if (!find) return names;
    do {
        names.push_back(found.cFileName);
    } while (::FindNextFileA(find.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST_CASE("every style of every plug-in in the plug-in folder names a preview that is there, a JPEG that decodes") {
    const ComScope com;
    REQUIRE(SUCCEEDED(com.result));
    const std::string folder = testsupport::BuildFile("plugins");
    const std::vector<std::string> dlls = PluginDlls(folder);
    // The six statistics windows are all there (and whatever joins them is checked the same way).
    for (const char* shipped : {"mini.dll", "morvik.dll", "ostrel_only.dll", "selvane.dll", "tolvanek.dll", "zol.dll"}) {
        CAPTURE(shipped);
        CHECK(std::find(dlls.begin(), dlls.end(), shipped) != dlls.end());
    }
    for (const std::string& dll : dlls) {
        CAPTURE(dll);
        hoststub::PluginModule plugin(folder + "\\" + dll);
        host::PluginInfo info{};
        int result = 0;
        plugin.Resolve<host::exports::GetPluginInfo*>("GetPluginInfo")(&info, &result);
        CHECK(info.kind == host::PluginKindStatsWindow);
        const auto styles = hoststub::WalkMenu<host::StyleMenuItem>(
            plugin.Resolve<host::exports::GetWndStatsStyleMenu*>("GetWndStatsStyleMenu"));
        CHECK_FALSE(styles.empty());
        for (const host::StyleMenuItem& style : styles) {
            CAPTURE(style.styleId);
            REQUIRE(style.previewPath != nullptr);
            const std::string preview = style.previewPath;
            CAPTURE(preview);
            // A path below the host's plug-in folder: relative, no way up, a ".jpg" file.
            CHECK(preview.find(':') == std::string::npos);
            CHECK(preview.find("..") == std::string::npos);
            CHECK(preview.find('/') == std::string::npos);
            CHECK(preview.rfind('\\', 0) != 0);
            CHECK(EndsWith(preview, ".jpg"));
            // Each file on its own: one missing picture does not hide the state of the others.
            const std::string path = folder + "\\" + preview;
            const DWORD attributes = ::GetFileAttributesA(path.c_str());
            const bool present = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
            CHECK_MESSAGE(present, "the plug-in folder has no file " << preview);
            if (!present) continue;
            const std::string bytes = testsupport::ReadFile(path);
            CHECK(bytes.size() > 4);
            if (bytes.size() <= 4) continue;
            CHECK(testsupport::HexBytes(bytes.substr(0, 3)) == "\\xFF\\xD8\\xFF");  // start of image, then a marker
            CHECK(testsupport::HexBytes(bytes.substr(bytes.size() - 2)) == "\\xFF\\xD9");  // end of image
            const Decoded picture = Decode(path);
            CHECK(picture.error == "");
            CHECK(picture.jpeg);
            CHECK(picture.width > 0);
            CHECK(picture.height > 0);
            CHECK(picture.colours > 1);  // a picture, not an empty frame
        }
    }
}

// What morvik.dll, selvane.dll, mini.dll and zol.dll must be, one row per plug-in, written out
// from their documented constants (not from the plug-ins' own tables): information and menu
// texts in cp1251 bytes, skin picture, placement, label layout, fonts and colours, and the host
// messages of one refresh. The skin tests run every check over these rows.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace statstest {

// A label's rectangle in client pixels after ShowStatsData; fullWidth: width = window width + width.
struct LabelPlace {
    int id;
    int x, y, width, height;
    bool fullWidth = false;
};

// A label's font (face null: the dialog's own font) and text colour.
struct LabelLook {
    int id;
    COLORREF colour;
    const char* face;
    LONG height = 0;
    LONG weight = 0;
    BYTE charSet = 0;
    BYTE outPrecision = 0;
    BYTE quality = 0;
    BYTE pitchAndFamily = 0;
};

struct SkinRow {
    std::string name;  // folder and DLL name
    const char* infoName;
    const char* version;
    const char* caption;
    const char* description;
    const char* preview;
    int bitmapId;
    int width, height, bitsPerPixel;
    COLORREF key;
    int offsetX, offsetY;  // default place: (screen width - offsetX, screen height - offsetY)
    const char* iniFile;   // null: a fixed place, nothing read or saved
    bool layoutOnEveryShow;  // false: once, at the first show
    std::vector<LabelPlace> places;
    std::vector<LabelLook> looks;
    int balanceLabel;        // the label that shows a balance without "грн."; 0: none
    const char* balanceKey;  // its key
    // One refresh as "message:key" lines: with the day switch off, every value known and no
    // alert option on; and with the day switch on, "vptvsaldo" unknown and every alert option on.
    std::vector<std::string> refresh;
    std::vector<std::string> refreshDayFallbackAlerts;
    bool balanceTray;  // the tray text lists the balances (else the traffic classes)
};

const std::vector<SkinRow>& SkinRows();
const SkinRow& SkinNamed(const std::string& name);
std::string SkinDll(const SkinRow& row);

}  // namespace statstest

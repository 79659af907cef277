// The colour picker's drop-down: geometry, painting, hover and keyboard moves, and the end of the
// selection (with the system colour dialog behind the custom box).
#include "statswindows/colourpicker/ColourGridPopup.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "base/Gdi.h"
#include "statswindows/colourpicker/ColourPicker.h"
#include "statswindows/colourpicker/ColourTable.h"
#include "statswindows/colourpicker/PickerMessages.h"

namespace {

constexpr char kClassName[] = "ColourGridPopup";

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool RegisterPopupClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.style = CS_SAVEBITS | CS_CLASSDC | CS_HREDRAW | CS_VREDRAW;
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszClassName = kClassName;
        return kit::Window::RegisterWindowClass(windowClass);
    }();
    return registered;
}

// The custom colours of the system colour dialog, kept for the process as the dialog expects.
COLORREF g_customColours[16];

void FillSysColour(HDC dc, const RECT& r, int index) { ::FillRect(dc, &r, ::GetSysColorBrush(index)); }

}  // namespace

CColourGridPopup::CColourGridPopup(COLORREF colourIn, CColourPicker* parentIn, const std::string& defaultTextIn,
                                   const std::string& customTextIn)
    : colourCount(kColourCount),
      rowCount(kColourCount / 8 + (kColourCount % 8 ? 1 : 0)),
      margin(::GetSystemMetrics(SM_CXEDGE)),
      boxSize(std::max(18, 2 * ::GetSystemMetrics(SM_CXEDGE) + 7)),
      defaultText(defaultTextIn),
      customText(customTextIn),
      initialColour(colourIn),
      colour(colourIn),
      parent(parentIn) {}

bool CColourGridPopup::Open(POINT at) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font.reset(::CreateFontIndirectA(&metrics.lfMessageFont));

    std::vector<unsigned char> block(sizeof(LOGPALETTE) + colourCount * sizeof(PALETTEENTRY));
    auto* logPalette = reinterpret_cast<LOGPALETTE*>(block.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = static_cast<WORD>(colourCount);
    for (int i = 0; i < colourCount; ++i) {
        const COLORREF c = kPickerColours[i].colour;
        logPalette->palPalEntry[i] = PALETTEENTRY{GetRValue(c), GetGValue(c), GetBValue(c), 0};
    }
    palette.reset(::CreatePalette(logPalette));

    if (!RegisterPopupClass()) return false;
    const HWND owner = parent ? parent->handle() : nullptr;
    if (!Create(kClassName, nullptr, WS_POPUP | WS_VISIBLE, RECT{at.x, at.y, at.x + 100, at.y + 100}, owner))
        return false;
    SetWindowSize();
    CreateToolTips();
    chosenSel = FindEntry(colour);
    ::SetCapture(handle());
    return true;
}

void CColourGridPopup::SetWindowSize() {
    int textWidth = 0, boxHeight = 0;
    if (!defaultText.empty() || !customText.empty()) {
        kit::WindowDC dc(handle());
        kit::SelectGuard select(dc.get(), font ? static_cast<HGDIOBJ>(font.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
        SIZE defaultSize{}, customSize{};
        ::GetTextExtentPoint32A(dc.get(), defaultText.c_str(), static_cast<int>(defaultText.size()), &defaultSize);
        ::GetTextExtentPoint32A(dc.get(), customText.c_str(), static_cast<int>(customText.size()), &customSize);
        textWidth = std::max(defaultSize.cx, customSize.cx) + 2 * margin;
        boxHeight = std::max(defaultSize.cy, customSize.cy) + 4 * margin + 2;
    }

    RECT current{};
    ::GetWindowRect(handle(), &current);
    windowRect = RECT{current.left, current.top, current.left + columnCount * boxSize + 2 * margin,
                      current.top + rowCount * boxSize + 2 * margin};
    if (!defaultText.empty()) {
        if (Width(windowRect) < textWidth) windowRect.right = windowRect.left + textWidth;
        defaultRect = RECT{margin, margin, Width(windowRect) - margin, boxHeight + 2 * margin};
        windowRect.bottom += Height(defaultRect) + 2 * margin;
    }
    if (!customText.empty()) {
        if (Width(windowRect) < textWidth) windowRect.right = windowRect.left + textWidth;
        const int h = Height(windowRect);
        customRect = RECT{margin, h, Width(windowRect) - margin, h + margin + boxHeight};
        windowRect.bottom += Height(customRect) + 2 * margin;
    }

    // Keep it on the screen; past the bottom it opens above its button.
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    if (windowRect.right > screenWidth) ::OffsetRect(&windowRect, screenWidth - windowRect.right, 0);
    if (windowRect.left < 0) ::OffsetRect(&windowRect, -windowRect.left, 0);
    if (windowRect.bottom > screenHeight) {
        RECT button{};
        if (parent && parent->handle()) ::GetWindowRect(parent->handle(), &button);
        ::OffsetRect(&windowRect, 0, -(Height(windowRect) + Height(button)));
    }
    ::MoveWindow(handle(), windowRect.left, windowRect.top, Width(windowRect), Height(windowRect), TRUE);
}

void CColourGridPopup::CreateToolTips() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    toolTip.reset(::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, handle(), nullptr, ModuleInstance(), nullptr));
    if (!toolTip || colourCount == 0) return;
    for (int i = 0; i < colourCount; ++i) {
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;  // understood by every version of the control
        tool.hwnd = handle();
        tool.uId = 1;
        tool.rect = EntryRect(i);
        tool.lpszText = const_cast<char*>(kPickerColours[i].name);
        ::SendMessageA(toolTip.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

int CColourGridPopup::FindEntry(COLORREF value) const {
    if (value == kAutomaticColour && !defaultText.empty()) return kDefaultBox;
    for (int i = 0; i < colourCount; ++i)
        if (kPickerColours[i].colour == value) return i;
    return customText.empty() ? kNoEntry : kCustomBox;
}

RECT CColourGridPopup::EntryRect(int entry) const {
    if (entry == kDefaultBox) return defaultRect;
    if (entry == kCustomBox) return customRect;
    if (entry < 0 || entry >= colourCount) return RECT{};
    const int left = (entry % columnCount) * boxSize + margin;
    int top = (entry / columnCount) * boxSize + margin;
    if (!defaultText.empty()) top += Height(defaultRect) + margin;
    return RECT{left, top, left + boxSize, top + boxSize};
}

bool CColourGridPopup::IsEntry(int entry) const {
    return (entry >= 0 && entry < colourCount) || entry == kCustomBox || entry == kDefaultBox;
}

LRESULT CColourGridPopup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool mouse = message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
    if (mouse) RelayToToolTip(message, wParam, lParam);
    if (mouse || (message >= WM_KEYFIRST && message <= WM_KEYLAST) || message == WM_PAINT || message == WM_TIMER) {
        // The popup decides on the next button release wherever it happens, so it takes the
        // capture back on every message from its queue: the button that opened it releases the
        // capture after its click notification, and the popup gives it up when it loses the
        // focus. Not while the colour dialog is open.
        if (!childWindowVisible && ::GetCapture() != handle()) ::SetCapture(handle());
    }
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_LBUTTONUP: {
        const LRESULT result = Default(message, wParam, lParam);
        const DWORD position = ::GetMessagePos();
        const POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
        EndSelection(::PtInRect(&windowRect, at) ? WM_PICKER_SELENDOK : WM_PICKER_SELENDCANCEL);
        return result;
    }
    case WM_KEYDOWN:
        // Enter, Space and Escape end the selection: the window is gone then.
        if (OnKeyDown(static_cast<UINT>(wParam))) return 0;
        break;
    case WM_KILLFOCUS: {
        const LRESULT result = Default(message, wParam, lParam);
        ::ReleaseCapture();
        return result;
    }
    case WM_ACTIVATEAPP: {
        const LRESULT result = Default(message, wParam, lParam);
        if (!wParam) EndSelection(WM_PICKER_SELENDCANCEL);
        return result;
    }
    case WM_QUERYNEWPALETTE:
        ::InvalidateRect(handle(), nullptr, TRUE);
        break;
    case WM_PALETTECHANGED: {
        const LRESULT result = Default(message, wParam, lParam);
        if (reinterpret_cast<HWND>(wParam) != handle()) ::InvalidateRect(handle(), nullptr, TRUE);
        return result;
    }
    default:
        return kit::Window::OnMessage(message, wParam, lParam);
    }
    return Default(message, wParam, lParam);
}

void CColourGridPopup::RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!toolTip) return;
    const DWORD position = ::GetMessagePos();
    MSG msg{handle(), message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()),
            POINT{GET_X_LPARAM(position), GET_Y_LPARAM(position)}};
    ::SendMessageA(toolTip.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

void CColourGridPopup::OnMouseMove(int x, int y) {
    POINT at{x - margin, y - margin};
    int entry;
    if (!customText.empty() && ::PtInRect(&customRect, at)) {
        entry = kCustomBox;
    } else if (!defaultText.empty() && ::PtInRect(&defaultRect, at)) {
        entry = kDefaultBox;
    } else {
        if (!defaultText.empty()) at.y -= Height(defaultRect);
        // Left of or above the grid (the capture brings such points too) is no cell.
        if (at.x < 0 || at.y < 0) return;
        const int row = at.y / boxSize, column = at.x / boxSize;
        if (row >= rowCount || column >= columnCount || row * columnCount + column >= colourCount) return;
        entry = row * columnCount + column;
    }
    if (entry != currentSel) ChangeSelection(entry);
}

void CColourGridPopup::RowAndColumn(int entry, int& row, int& column) const {
    if (entry == kCustomBox || entry == kDefaultBox) {
        const bool hasText = !(entry == kCustomBox ? customText : defaultText).empty();
        row = column = hasText ? entry : kNoEntry;
    } else if (entry >= 0 && entry < colourCount) {
        row = entry / columnCount;
        column = entry % columnCount;
    } else {
        row = column = kNoEntry;
    }
}

int CColourGridPopup::EntryAt(int row, int column) const {
    if (row == kCustomBox && column == kCustomBox) return kCustomBox;
    if (row == kDefaultBox && column == kDefaultBox) return kDefaultBox;
    if (row < 0 || column < 0 || row >= rowCount || column >= columnCount) return kNoEntry;
    const int index = row * columnCount + column;
    return index < colourCount ? index : kNoEntry;
}

bool CColourGridPopup::OnKeyDown(UINT key) {
    const int lastCell = colourCount - 1;
    const bool hasDefault = !defaultText.empty(), hasCustom = !customText.empty();
    int row, column;
    RowAndColumn(currentSel, row, column);
    int next;
    switch (key) {
    case VK_RETURN:
    case VK_SPACE:
        EndSelection(WM_PICKER_SELENDOK);
        return true;
    case VK_ESCAPE:
        colour = initialColour;
        EndSelection(WM_PICKER_SELENDCANCEL);
        return true;
    case VK_DOWN:
        if (row == kDefaultBox) {
            next = 0;
        } else if (row == kCustomBox) {
            next = hasDefault ? kDefaultBox : 0;
        } else {
            next = EntryAt(row + 1, column);
            if (next == kNoEntry) next = hasCustom ? kCustomBox : hasDefault ? kDefaultBox : 0;
        }
        break;
    case VK_UP:
        if (row == kDefaultBox) {
            next = hasCustom ? kCustomBox : lastCell;
        } else if (row == kCustomBox) {
            next = lastCell;
        } else if (row > 0) {
            next = EntryAt(row - 1, column);
        } else {
            next = hasDefault ? kDefaultBox : hasCustom ? kCustomBox : lastCell;
        }
        break;
    case VK_RIGHT:
        if (row == kDefaultBox) {
            next = 0;
        } else if (row == kCustomBox) {
            next = hasDefault ? kDefaultBox : 0;
        } else {
            next = column < columnCount - 1 ? EntryAt(row, column + 1) : EntryAt(row + 1, 0);
            if (row == kNoEntry || next == kNoEntry) next = hasCustom ? kCustomBox : hasDefault ? kDefaultBox : 0;
        }
        break;
    case VK_LEFT:
        if (row == kDefaultBox) {
            next = hasCustom ? kCustomBox : lastCell;
        } else if (row == kCustomBox) {
            next = lastCell;
        } else if (column > 0) {
            next = EntryAt(row, column - 1);
        } else if (row > 0) {
            next = EntryAt(row - 1, columnCount - 1);
        } else {
            next = hasDefault ? kDefaultBox : hasCustom ? kCustomBox : lastCell;
        }
        break;
    default:
        return false;
    }
    ChangeSelection(next);
    return false;
}

void CColourGridPopup::ChangeSelection(int entry) {
    if (entry >= colourCount) entry = kCustomBox;
    if (IsEntry(currentSel)) {
        const int old = currentSel;
        currentSel = kNoEntry;
        RedrawEntry(old);
    }
    currentSel = entry;
    RedrawEntry(entry);

    const HWND target = parent ? parent->handle() : nullptr;
    if (entry == kCustomBox) {
        if (target) ::SendMessageA(target, WM_PICKER_SELCHANGE, initialColour, 0);
    } else if (entry == kDefaultBox) {
        colour = kAutomaticColour;
        if (target) ::SendMessageA(target, WM_PICKER_SELCHANGE, colour, 0);
    } else if (entry >= 0) {
        colour = kPickerColours[entry].colour;
        if (target) ::SendMessageA(target, WM_PICKER_SELCHANGE, colour, 0);
    }
}

void CColourGridPopup::EndSelection(UINT message) {
    ::ReleaseCapture();
    if (message == WM_PICKER_SELENDCANCEL) {
        colour = initialColour;
    } else if (currentSel == kCustomBox) {
        childWindowVisible = true;
        CHOOSECOLORA choose{};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = handle();
        choose.rgbResult = initialColour;
        choose.lpCustColors = g_customColours;
        choose.Flags = CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT;
        if (::ChooseColorA(&choose))
            colour = choose.rgbResult;
        else
            message = WM_PICKER_SELENDCANCEL;
        childWindowVisible = false;
        if (message == WM_PICKER_SELENDCANCEL) colour = initialColour;
    }
    // The picker's parent may do anything on the notification: nothing of this object is used
    // after the send.
    const bool keepWindow = childWindowVisible;
    const HWND self = handle();
    const HWND target = parent ? parent->handle() : nullptr;
    if (target) ::SendMessageA(target, message, colour, 0);
    if (!keepWindow && ::IsWindow(self)) ::DestroyWindow(self);
}

bool CColourGridPopup::OnPaint() {
    kit::PaintDC dc(handle());
    if (!defaultText.empty()) DrawTextBox(dc.get(), kDefaultBox);
    for (int i = 0; i < colourCount; ++i) DrawCell(dc.get(), i);
    if (!customText.empty()) DrawTextBox(dc.get(), kCustomBox);
    RECT client{};
    ::GetClientRect(handle(), &client);
    ::DrawEdge(dc.get(), &client, EDGE_RAISED, BF_RECT);
    return true;
}

void CColourGridPopup::RedrawEntry(int entry) const {
    if (!IsEntry(entry) || !handle()) return;
    kit::WindowDC dc(handle());
    if (dc.get()) DrawEntry(dc.get(), entry);
}

void CColourGridPopup::DrawEntry(HDC dc, int entry) const {
    if (entry == kDefaultBox || entry == kCustomBox) {
        if (!(entry == kDefaultBox ? defaultText : customText).empty()) DrawTextBox(dc, entry);
    } else if (entry >= 0 && entry < colourCount) {
        DrawCell(dc, entry);
    }
}

void CColourGridPopup::DrawCell(HDC dc, int cell) const {
    picker::PaletteGuard paletteGuard(dc, palette.get());
    RECT r = EntryRect(cell);
    FillSysColour(dc, r, cell == chosenSel && cell != currentSel ? COLOR_BTNHIGHLIGHT : COLOR_BTNFACE);
    if (cell == currentSel)
        ::DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    else if (cell == chosenSel)
        ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);

    ::InflateRect(&r, -(margin + 1), -(margin + 1));
    // A palette-relative colour: the nearest entry of our palette on palette devices.
    kit::UniqueBrush brush(::CreateSolidBrush((kPickerColours[cell].colour & 0xFFFFFF) | 0x02000000));
    kit::UniquePen pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW)));
    kit::SelectGuard selectBrush(dc, brush.get());
    kit::SelectGuard selectPen(dc, pen.get());
    ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
}

void CColourGridPopup::DrawTextBox(HDC dc, int entry) const {
    const bool isDefault = entry == kDefaultBox;
    RECT box = isDefault ? defaultRect : customRect;
    if (!isDefault) {
        // The separator above the box: a shadow row and a highlight row.
        const int left = box.left + 2 * margin, width = Width(box) - 4 * margin;
        FillSysColour(dc, RECT{left, box.top, left + width, box.top + 1}, COLOR_BTNSHADOW);
        FillSysColour(dc, RECT{left, box.top + 1, left + width, box.top + 2}, COLOR_BTNHIGHLIGHT);
        box.top += 2 * margin;
    }
    FillSysColour(dc, box, COLOR_BTNFACE);
    RECT inner = box;
    ::InflateRect(&inner, -1, -1);
    FillSysColour(dc, inner, entry == chosenSel && entry != currentSel ? COLOR_3DLIGHT : COLOR_BTNFACE);
    if (isDefault) {
        RECT frame = inner;
        ::InflateRect(&frame, -2 * margin, -2 * margin);
        kit::UniquePen pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW)));
        kit::SelectGuard selectPen(dc, pen.get());
        kit::SelectGuard selectBrush(dc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
    }
    if (entry == currentSel)
        ::DrawEdge(dc, &inner, BDR_RAISEDINNER, BF_RECT);
    else if (entry == chosenSel)
        ::DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT);

    const std::string& text = isDefault ? defaultText : customText;
    kit::SelectGuard selectFont(dc, font ? static_cast<HGDIOBJ>(font.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SetTextColor(dc, oldText);
    ::SetBkMode(dc, oldMode);
}

void CColourGridPopup::OnDestroy() {
    // The tool tip, an owned window, has gone before its owner.
    if (toolTip && !::IsWindow(toolTip.get())) toolTip.release();
    toolTip.reset();
    font.reset();
    palette.reset();
}

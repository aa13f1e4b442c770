#include "win/IconTestSupport.h"

#include <shlobj.h>

#include <cstdio>

#include "win/WinTestSupport.h"

COLORREF IconPixels::centre() const {
    if (!valid || rgb.empty()) return CLR_INVALID;
    uint32_t p = rgb[size_t(height / 2) * size_t(width) + size_t(width / 2)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

IconPixels readIconPixels(HICON icon) {
    IconPixels out;
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return out;
    // GetIconInfo hands out copies of both bitmaps; they are ours to delete.
    HBITMAP colour = info.hbmColor;
    BITMAP bm = {};
    if (colour && GetObject(colour, sizeof(bm), &bm)) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = bm.bmWidth;
        bi.bmiHeader.biHeight = -bm.bmHeight;  // top row first
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        out.rgb.resize(size_t(bm.bmWidth) * size_t(bm.bmHeight));
        HDC dc = GetDC(nullptr);
        int rows = GetDIBits(dc, colour, 0, UINT(bm.bmHeight), out.rgb.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        out.valid = rows == bm.bmHeight;
        out.width = bm.bmWidth;
        out.height = bm.bmHeight;
        for (uint32_t& p : out.rgb) p &= 0x00FFFFFF;
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return out;
}

std::string describeLook(int size, COLORREF colour) {
    char text[64];
    snprintf(text, sizeof(text), "%dx%d #%02X%02X%02X", size, size, GetRValue(colour), GetGValue(colour),
             GetBValue(colour));
    return text;
}

std::string describeIcon(HICON icon) {
    if (!icon) return "null";
    IconPixels p = readIconPixels(icon);
    if (!p.valid) return "invalid";
    if (p.width != p.height) return std::to_string(p.width) + "x" + std::to_string(p.height);
    return describeLook(p.width, p.centre());
}

ExtractResult extractThroughShell(const std::string& path, UINT nIconSize, bool askLarge, bool askSmall) {
    ExtractResult r;
    IExtractIconA* extract = nullptr;
    HRESULT hr = path.empty() ? dll().createObject(IID_IExtractIconA, reinterpret_cast<void**>(&extract))
                              : dll().createLoaded(path, IID_IExtractIconA, reinterpret_cast<void**>(&extract));
    if (FAILED(hr)) {
        r.hr = hr;
        return r;
    }
    // As the shell does: the location first, then the icons.
    char file[MAX_PATH] = "";
    int index = 0;
    UINT flags = 0;
    extract->GetIconLocation(0, file, MAX_PATH, &index, &flags);
    HICON large = nullptr, small = nullptr;
    r.hr = extract->Extract(file, UINT(index), askLarge ? &large : nullptr, askSmall ? &small : nullptr, nIconSize);
    extract->Release();
    r.large.reset(large);
    r.small.reset(small);
    return r;
}

uint32_t runningDepth() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    GetVersionExA(&v);
    return wantedColourDepth(v.dwMajorVersion, v.dwMinorVersion);
}

IconHandle loadModuleIconAt(int size) {
    return IconHandle(static_cast<HICON>(LoadImageA(dll().module(), MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, 0)));
}

namespace {

// Wine's GetGuiResources is a stub that answers 0. Wine does accept a handle
// given without its generation word (the 16-bit form), so the live objects can
// be counted by probing every slot of its handle tables: GDI objects by their
// 16-bit index, icons and cursors by their user-handle slot. Every Wine icon
// also owns GDI bitmaps, so a leaked icon shows in both counts.
constexpr UINT_PTR kGdiSlots = 0x10000;
constexpr UINT_PTR kFirstUserHandle = 0x20;
constexpr UINT_PTR kUserSlots = 0x8000;

typedef HCURSOR(WINAPI* CursorFrameInfoFn)(HCURSOR, DWORD, DWORD, DWORD*, DWORD*);

DWORD countGdiObjects() {
    DWORD n = 0;
    for (UINT_PTR slot = 1; slot < kGdiSlots; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot))) ++n;
    return n;
}

DWORD countIconObjects() {
    // Undocumented but exported on Windows and Wine alike; it only looks the icon up.
    static auto frameInfo = reinterpret_cast<CursorFrameInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetCursorFrameInfo")));
    if (!frameInfo) return 0;
    DWORD n = 0;
    for (UINT_PTR slot = 0; slot < kUserSlots; ++slot) {
        DWORD rate = 0, steps = 0;
        if (frameInfo(reinterpret_cast<HCURSOR>(kFirstUserHandle + slot * 2), 0, 0, &rate, &steps)) ++n;
    }
    return n;
}

}  // namespace

GuiObjectCounts guiObjectCounts() {
    SetLastError(0);
    GuiObjectCounts c = {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                         GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
    if (c.gdi == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) c = {countGdiObjects(), countIconObjects()};
    return c;
}

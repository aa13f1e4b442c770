#pragma once
// Helpers of the icon tests: what an icon looks like (size and pixel colour),
// the solid colours of the icon fixtures, the handler called as the shell
// calls it, and the process's GDI and USER object counts.
#include <windows.h>

#include <string>
#include <vector>

#include "icon/ArchiveIcons.h"

// The colours of tests/fixtures/make_icons.py, as RGB(r, g, b).
namespace fixtureColour {
constexpr COLORREF red = RGB(248, 0, 0), green = RGB(0, 248, 0), blue = RGB(0, 0, 248), yellow = RGB(248, 248, 0),
                   magenta = RGB(248, 0, 248), cyan = RGB(0, 248, 248), orange = RGB(255, 132, 0),
                   purple = RGB(128, 0, 248), teal = RGB(0, 128, 128), olive = RGB(128, 128, 0),
                   pink = RGB(248, 128, 128), navy = RGB(0, 0, 128), brown = RGB(128, 64, 0),
                   lime = RGB(128, 248, 0);
}

// The colour bitmap of an icon read back at 32 bits per pixel, top row first
// (0x00RRGGBB per pixel, alpha dropped). Wine gives every icon's colour bitmap
// the screen's depth, so an entry is told by its size and colours instead.
struct IconPixels {
    bool valid = false;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    COLORREF centre() const;
    bool operator==(const IconPixels& other) const {
        return valid == other.valid && width == other.width && height == other.height && rgb == other.rgb;
    }
};
IconPixels readIconPixels(HICON icon);

// "32x32 #F80000", "null", or "invalid", for failure messages.
std::string describeIcon(HICON icon);
// The same for a wanted look.
std::string describeLook(int size, COLORREF colour);

// The result of IExtractIconA::Extract on a fresh object loaded with path (or
// never loaded, for an empty path); a null slot pointer is passed for a size
// not asked for.
struct ExtractResult {
    HRESULT hr = E_FAIL;
    IconHandle large;
    IconHandle small;
};
ExtractResult extractThroughShell(const std::string& path, UINT nIconSize, bool askLarge = true,
                                  bool askSmall = true);

// The colour depth the handler aims at on the running system.
uint32_t runningDepth();

// The module's icon group 1 at a size, loaded from the DLL under test.
IconHandle loadModuleIconAt(int size);

struct GuiObjectCounts {
    DWORD gdi;
    DWORD user;
    bool operator==(const GuiObjectCounts& o) const { return gdi == o.gdi && user == o.user; }
};
GuiObjectCounts guiObjectCounts();

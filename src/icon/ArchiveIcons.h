#pragma once
// Stage 1 of the icon handler: the icons an archive carries in its member
// "shell-meta-inf/icons/icon.ico", and where it has none, the PNG icon its mod
// descriptor names (with standard metadata on).
#include <windows.h>

#include "base/Holder.h"
#include "base/WideChar.h"
#include "icon/IconDirectory.h"

// Reads the member once and fills *phiconSmall and *phiconLarge with the best
// entry for each size and the wanted depth. Each handle is set to null first
// and stays null when the archive gives no icon for it; a null pointer asks for
// no icon of that size. The heights are accepted but play no part in the
// choice. The icons belong to the caller.
void loadArchiveIcons(const PathChar* archivePath, UINT smallWidth, UINT smallHeight, UINT largeWidth,
                      UINT largeHeight, UINT wantedDepth, HICON* phiconSmall, HICON* phiconLarge);

// An icon at the image's own size, or null.
HICON createIconFromImage(const IconImage& image);

struct IconHandleTraits {
    using Type = HICON;
    static Type invalid() { return nullptr; }
    static void close(Type icon) { DestroyIcon(icon); }
};
using IconHandle = Holder<IconHandleTraits>;

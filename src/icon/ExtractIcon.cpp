#include "icon/ExtractIcon.h"

#include <shellapi.h>

#include "base/Holder.h"
#include "com/Module.h"
#include "diag/Config.h"
#include "diag/Log.h"
#include "icon/ArchiveIcons.h"
#include "icon/IconLocation.h"

namespace {

// The icon belongs to this one file, is no file-and-index location, and must
// not be cached: the shell comes back to Extract every time.
constexpr UINT kIconLocationFlags = GIL_PERINSTANCE | GIL_NOTFILENAME | GIL_DONTCACHE;
// The module's own icon group, the last resort.
constexpr WORD kModuleIconGroup = 1;

#define EXTRACT_STAGE_LOG "IExtractIcon::Extract. stage %d name:\"%s\"   sm:%p, large:%p"

HICON handleIn(HICON* slot) { return slot ? *slot : nullptr; }
bool isMissing(HICON* slot) { return slot && !*slot; }

void logStage(int stage, const char* name, HICON* phiconSmall, HICON* phiconLarge) {
    logPrintf(EXTRACT_STAGE_LOG, stage, name, static_cast<void*>(handleIn(phiconSmall)),
              static_cast<void*>(handleIn(phiconLarge)));
}

// Stage 2: the configured icon location fills the handles still missing, one
// icon each, at the system's standard sizes. Nothing stage 1 made is replaced.
void extractConfiguredIcons(HICON* phiconLarge, HICON* phiconSmall) {
    bool largeMissing = isMissing(phiconLarge);
    bool smallMissing = isMissing(phiconSmall);
    if (!largeMissing && !smallMissing) return;
    CorePtr<char> location(readConfigValue(CONFIG_DEFAULT_ICON));
    if (!location) return;
    int index = splitIconLocation(location.get());
    HICON large = nullptr;
    HICON small = nullptr;
    UINT extracted = ExtractIconExA(location.get(), index, largeMissing ? &large : nullptr,
                                    smallMissing ? &small : nullptr, 1);
    // A location that yields no icon is reported as 0 (or -1 for a missing
    // file), and some systems then leave stray values in the slots: those must
    // never reach the shell as icons, and stage 3 must still fill the gaps.
    if (extracted == 0 || extracted == UINT(-1)) return;
    if (largeMissing) *phiconLarge = large;
    if (smallMissing) *phiconSmall = small;
}

// Stage 3: a new, unshared copy of the module's icon at the requested size.
void loadModuleIcon(HICON* phicon, UINT size) {
    if (!isMissing(phicon)) return;
    *phicon = static_cast<HICON>(LoadImageA(g_hInstance, MAKEINTRESOURCEA(kModuleIconGroup), IMAGE_ICON, int(size),
                                            int(size), 0));
}

}  // namespace

velExtractIcon::velExtractIcon(JarIconObj* owner) : InterfaceObject(owner) {
    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    GetVersionExA(&osvi);
}

STDMETHODIMP velExtractIcon::GetIconLocation(UINT, PSTR, UINT, int*, UINT* pwFlags) {
    if (pwFlags) *pwFlags = kIconLocationFlags;
    return S_OK;
}

STDMETHODIMP velExtractIcon::Extract(PCSTR, UINT, HICON* phiconLarge, HICON* phiconSmall, UINT nIconSize) {
    if (phiconSmall) *phiconSmall = nullptr;
    if (phiconLarge) *phiconLarge = nullptr;
    // The shell asks for the large size in the low word, the small in the high word.
    UINT largeSize = LOWORD(nIconSize);
    UINT smallSize = HIWORD(nIconSize);
    UINT depth = wantedColourDepth(osvi.dwMajorVersion, osvi.dwMinorVersion);
    const char* name = pJarIcon->szFileName;  // for the log

    loadArchiveIcons(pJarIcon->path(), smallSize, smallSize, largeSize, largeSize, depth, phiconSmall, phiconLarge);
    logStage(1, name, phiconSmall, phiconLarge);

    extractConfiguredIcons(phiconLarge, phiconSmall);
    logStage(2, name, phiconSmall, phiconLarge);

    loadModuleIcon(phiconSmall, smallSize);
    loadModuleIcon(phiconLarge, largeSize);
    logStage(3, name, phiconSmall, phiconLarge);
    return S_OK;
}

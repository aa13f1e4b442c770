#include "icon/ArchiveIcons.h"

#include <cstring>

#include "archive/ArchiveReader.h"
#include "base/CoreAlloc.h"

namespace {

// Format version of the icon resource bits, as icon files carry them.
constexpr DWORD kIconResourceVersion = 0x00030000;

HICON createFromPlan(const IconImage& image, const IconCreation& plan) {
    PBYTE bits = const_cast<PBYTE>(image.bits);
    HICON icon = CreateIconFromResourceEx(bits, image.size, TRUE, kIconResourceVersion, plan.desiredWidth,
                                          plan.desiredHeight, 0);
    if (icon || !plan.secondAttempt) return icon;
    return CreateIconFromResource(bits, image.size, TRUE, kIconResourceVersion);
}

void loadOneIcon(const IconDirectory& directory, UINT size, UINT wantedDepth, HICON* phicon) {
    if (!phicon) return;
    IconImage image;
    int index = chooseIconEntry(directory, size, wantedDepth);
    if (locateIconImage(directory.data, directory.length, index, &image)) *phicon = createIconFromImage(image);
}

}  // namespace

HICON createIconFromImage(const IconImage& image) {
    IconCreation plan;
    if (!planIconCreation(image, &plan)) return nullptr;
    if (!plan.needsAlignedCopy) return createFromPlan(image, plan);
    // An image at an odd place in the member is moved to a block of its own,
    // which the allocator aligns.
    CorePtr<uint8_t> copy(static_cast<uint8_t*>(coreAlloc(image.size)));
    if (!copy) return nullptr;
    memcpy(copy.get(), image.bits, image.size);
    return createFromPlan(IconImage{copy.get(), image.size}, plan);
}

void loadArchiveIcons(const PathChar* archivePath, UINT smallWidth, UINT smallHeight, UINT largeWidth,
                      UINT largeHeight, UINT wantedDepth, HICON* phiconSmall, HICON* phiconLarge) {
    if (phiconSmall) *phiconSmall = nullptr;
    if (phiconLarge) *phiconLarge = nullptr;
    if (!phiconSmall && !phiconLarge) return;

    MetadataMember member(archivePath, MEMBER_ICON);
    IconDirectory directory;
    if (!member.present() || !checkIconDirectory(member.data(), member.length(), &directory)) return;
    loadOneIcon(directory, smallWidth, wantedDepth, phiconSmall);
    loadOneIcon(directory, largeWidth, wantedDepth, phiconLarge);
}

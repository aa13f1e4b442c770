#include "icon/ArchiveIcons.h"

#include <cstring>

#include "archive/ArchiveReader.h"
#include "base/CoreAlloc.h"
#include "diag/Config.h"
#include "icon/PngIcon.h"
#include "metadata/JarMetadata.h"

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

// A mod's descriptor names PNG members for its icon; each requested size gets
// the entry nearest at or above it, scaled to the size.
void loadDescriptorIcons(OpenJar& jar, const PathChar* archivePath, UINT smallSize, UINT largeSize,
                         HICON* phiconSmall, HICON* phiconLarge) {
    CorePtr<char> fileName(jarFileNameOf(archivePath));
    JarMetadata metadata;
    if (!jar.reader().readMetadata({fileName.get(), nullptr, kMetadataForTooltip}, &metadata)) return;
    const struct {
        UINT size;
        HICON* icon;
    } wanted[] = {{smallSize, phiconSmall}, {largeSize, phiconLarge}};
    for (const auto& w : wanted) {
        const char* member = w.icon && w.size ? modIconFor(metadata.descriptor(), w.size) : nullptr;
        if (!member) continue;
        MemberBuffer png = {0, nullptr};
        int status = readArchiveMemberFrom(jar.source(), member, &png);
        if (status >= kArchiveUnusable) continue;
        MemberHolder held(&png);
        if (status == kMemberRead) *w.icon = createIconFromPng(png.data, png.length, w.size, w.size);
    }
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

    OpenJar jar(archivePath);
    if (!jar.ready()) return;
    MemberBuffer member = {0, nullptr};
    int status = jar.reader().readShellMember(kShellIcon, &member);
    if (status >= kArchiveUnusable) return;
    MemberHolder held(&member);
    if (status == kMemberRead && member.length > 0) {
        // The jar's own icon file; one that is no icon file gives no icon here.
        IconDirectory directory;
        if (!checkIconDirectory(member.data, member.length, &directory)) return;
        loadOneIcon(directory, smallWidth, wantedDepth, phiconSmall);
        loadOneIcon(directory, largeWidth, wantedDepth, phiconLarge);
        return;
    }
    // Only a mod's descriptor names an icon: other jars cost nothing more here.
    if (jar.reader().hasModDescriptor() && isStandardMetadataOn())
        loadDescriptorIcons(jar, archivePath, smallWidth, largeWidth, phiconSmall, phiconLarge);
}

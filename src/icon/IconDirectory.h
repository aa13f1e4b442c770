#pragma once
// The icon file an archive carries ("shell-meta-inf/icons/icon.ico"): checking
// its directory, choosing the entry for a requested size and colour depth, and
// finding the entry's image inside the member. Everything here reads untrusted
// bytes through ByteCursor and allocates nothing.
//
// Icon file layout (little-endian):
//   header  6 bytes:  reserved u16, type u16 (1 = icon), entry count u16
//   entry  16 bytes each, from byte 6:
//           width u8 (0 counts as 0), height u8, colour count u8, reserved u8,
//           planes u16, bit count u16, image byte count u32, image offset u32
//   image   at its offset, a BITMAPINFOHEADER (biWidth i32 at 4, biHeight i32
//           at 8 covering colour bitmap and mask, biBitCount u16 at 14) and the
//           rest of the bitmap, or a PNG stream.
#include <cstdint>

// A member that passed checkIconDirectory; valid while the member is held.
struct IconDirectory {
    const uint8_t* data;
    uint32_t length;
    uint32_t count;
};

// One directory entry as the file states it.
struct IconEntry {
    uint8_t width;  // the width byte: 0 counts as 0 (a 256-pixel image)
    uint8_t height;
    uint8_t colourCount;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t depth;  // planes × bit count, what the choice compares
    uint32_t imageSize;
    uint32_t imageOffset;
};

// One entry's image inside the member buffer.
struct IconImage {
    const uint8_t* bits;
    uint32_t size;
};

// How the platform is asked to build an icon from an image.
struct IconCreation {
    // Size asked of CreateIconFromResourceEx; 0 and 0 mean the image's own size.
    int32_t desiredWidth;
    int32_t desiredHeight;
    // Whether CreateIconFromResource gets a second try after a refusal.
    bool secondAttempt;
    // The platform wants the image on a four-byte boundary.
    bool needsAlignedCopy;
};

constexpr uint32_t kIconHeaderSize = 6;
constexpr uint32_t kIconEntrySize = 16;
constexpr uint16_t kIconFileTypeIcon = 1;
constexpr uint32_t kBitmapInfoHeaderSize = 40;
// Largest icon side the platform builds; anything else in a header is not a size.
constexpr int32_t kMaxIconSide = 256;

// The directory of an acceptable icon file: at least 22 bytes, type 1, at least
// one entry, and room for the header, every entry and 16 bytes more.
bool checkIconDirectory(const void* data, uint32_t length, IconDirectory* out);

// Entry index of a checked directory; false when index is not an entry.
bool readIconEntry(const IconDirectory& directory, uint32_t index, IconEntry* out);

// Index of the best entry for one requested size and wanted depth: nearest
// width first; among equally near entries the exact depth (lowest index), else
// the deepest below the wanted depth, else the shallowest above it, equal
// depths keeping the lower index. -1 only for a directory without entries.
int chooseIconEntry(const IconDirectory& directory, uint32_t size, uint32_t wantedDepth);

// The image of entry index, or false when the index is not an entry or the
// image does not lie wholly inside the member.
bool locateIconImage(const void* data, uint32_t length, int index, IconImage* out);

// Reads the image's header to decide how to create the icon. False when the
// image is too short to hold a bitmap header, or when its header claims more
// colour table, colour bits or mask than the image holds: it gives no icon.
bool planIconCreation(const IconImage& image, IconCreation* plan);

// Whether the image is a PNG stream rather than a bitmap.
bool isPngImage(const IconImage& image);
// The size of the icon made from the image, which is always the image's own:
// a bitmap's header width and half its height, a PNG's header size. False
// when the image gives no icon (planIconCreation) or states no size that an
// icon can have.
bool iconImageSize(const IconImage& image, int32_t* width, int32_t* height);

// Bits per pixel aimed at on the running system: 32 from version 5.1 (Windows
// XP) on, the version compared as a pair, so 6.0 and 10.0 get 32 too;
// 24 on 5.0 and earlier.
uint32_t wantedColourDepth(uint32_t majorVersion, uint32_t minorVersion);

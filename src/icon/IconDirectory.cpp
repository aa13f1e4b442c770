#include "icon/IconDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/ByteCursor.h"

namespace {

// The directory must hold this much beyond its entries: header plus one spare
// entry's worth of bytes, so a file of 6 + 16·n bytes is refused.
constexpr uint32_t kDirectoryMinimum = kIconHeaderSize + kIconEntrySize;

// Reads entry index of a member; false when the entry does not lie inside it.
bool readEntry(const void* data, uint32_t length, uint32_t index, IconEntry* out) {
    ByteCursor cursor(data, length);
    cursor.seek(uint64_t(kIconHeaderSize) + uint64_t(kIconEntrySize) * index);
    out->width = cursor.u8();
    out->height = cursor.u8();
    out->colourCount = cursor.u8();
    cursor.skip(1);  // reserved
    out->planes = cursor.u16le();
    out->bitCount = cursor.u16le();
    out->depth = uint32_t(out->planes) * out->bitCount;
    out->imageSize = cursor.u32le();
    out->imageOffset = cursor.u32le();
    return cursor.ok();
}

// True when depth a lies nearer the wanted depth than b: anything below the
// wanted depth beats anything above it, then the nearer one wins. Equal depths
// are never nearer, so the earlier entry stays.
bool nearerDepth(uint32_t a, uint32_t b, uint32_t wanted) {
    bool aBelow = a < wanted;
    bool bBelow = b < wanted;
    if (aBelow != bBelow) return aBelow;
    return aBelow ? a > b : a < b;
}

// A PNG stream's header chunk follows its eight-byte signature; the chunk's
// first fields are the width and height, big-endian.
constexpr uint32_t kPngWidthOffset = 16;

bool isPngStream(const uint8_t* bits, uint32_t size) {
    static const uint8_t kPngStart[4] = {0x89, 'P', 'N', 'G'};
    return size >= sizeof(kPngStart) && memcmp(bits, kPngStart, sizeof(kPngStart)) == 0;
}

// The fields of a bitmap image's header that icon creation depends on.
struct BitmapHeader {
    uint32_t headerSize;
    int32_t width;
    int32_t height;  // colour bitmap and mask together
    uint16_t bitCount;
    uint32_t compression;
    uint32_t coloursUsed;
};

bool readBitmapHeader(const IconImage& image, BitmapHeader* out) {
    if (image.size < kBitmapInfoHeaderSize) return false;
    ByteCursor header(image.bits, image.size);
    out->headerSize = header.u32le();
    out->width = header.i32le();
    out->height = header.i32le();
    header.skip(2);  // biPlanes
    out->bitCount = header.u16le();
    out->compression = header.u32le();
    header.skip(12);  // biSizeImage, biXPelsPerMeter, biYPelsPerMeter
    out->coloursUsed = header.u32le();
    return header.ok();
}

// Whether the header claims no more bytes than the image has: the header
// (with the three colour masks of a bit-field image), the colour table, then
// the colour rows and the mask rows, each row padded to four bytes. The
// platform's parser reads whatever the header claims.
bool bitmapFitsItsBytes(const BitmapHeader& header, uint32_t size) {
    constexpr uint32_t kBitFields = 3;
    constexpr uint64_t kBitFieldMasks = 12;
    constexpr uint64_t kColourEntrySize = 4;
    uint64_t width = uint64_t(std::abs(int64_t(header.width)));
    uint64_t rows = uint64_t(std::abs(int64_t(header.height))) / 2;
    uint64_t colours = header.coloursUsed;
    if (colours == 0 && header.bitCount <= 8) colours = uint64_t(1) << header.bitCount;
    uint64_t masks = header.compression == kBitFields ? kBitFieldMasks : 0;
    uint64_t fixed = std::max<uint64_t>(header.headerSize, kBitmapInfoHeaderSize + masks) + colours * kColourEntrySize;
    if (fixed > size) return false;
    uint64_t rowBytes = (width * header.bitCount + 31) / 32 * 4 + (width + 31) / 32 * 4;
    return rows == 0 || rowBytes <= (size - fixed) / rows;
}

bool sideIsIconSize(int64_t side) { return side >= 1 && side <= kMaxIconSide; }

}  // namespace

bool checkIconDirectory(const void* data, uint32_t length, IconDirectory* out) {
    if (length < kDirectoryMinimum) return false;
    ByteCursor cursor(data, length);
    cursor.skip(2);  // reserved
    uint16_t type = cursor.u16le();
    uint32_t count = cursor.u16le();
    if (!cursor.ok() || type != kIconFileTypeIcon || count == 0) return false;
    if (uint64_t(length) < uint64_t(kDirectoryMinimum) + uint64_t(kIconEntrySize) * count) return false;
    *out = {static_cast<const uint8_t*>(data), length, count};
    return true;
}

int chooseIconEntry(const IconDirectory& directory, uint32_t size, uint32_t wantedDepth) {
    // Width step: the smallest distance between the requested size and a width byte.
    int64_t best = -1;
    uint32_t ties = 0;
    int first = -1;
    for (uint32_t i = 0; i < directory.count; ++i) {
        IconEntry e;
        if (!readEntry(directory.data, directory.length, i, &e)) return first;
        int64_t distance = int64_t(size) - int64_t(e.width);
        if (distance < 0) distance = -distance;
        if (best < 0 || distance < best) {
            best = distance;
            ties = 1;
            first = int(i);
        } else if (distance == best) {
            ++ties;
        }
    }
    if (ties <= 1) return first;

    // Depth step over the entries that tie on width, in index order.
    int chosen = first;
    uint32_t chosenDepth = 0;
    for (uint32_t i = uint32_t(first); i < directory.count; ++i) {
        IconEntry e;
        readEntry(directory.data, directory.length, i, &e);
        int64_t distance = int64_t(size) - int64_t(e.width);
        if ((distance < 0 ? -distance : distance) != best) continue;
        if (e.depth == wantedDepth) return int(i);
        if (int(i) == first || nearerDepth(e.depth, chosenDepth, wantedDepth)) {
            chosen = int(i);
            chosenDepth = e.depth;
        }
    }
    return chosen;
}

bool locateIconImage(const void* data, uint32_t length, int index, IconImage* out) {
    ByteCursor header(data, length);
    header.skip(4);
    uint32_t count = header.u16le();
    if (!header.ok() || index < 0 || uint32_t(index) >= count) return false;
    IconEntry e;
    if (!readEntry(data, length, uint32_t(index), &e)) return false;
    if (!rangeInside(e.imageOffset, e.imageSize, length)) return false;
    *out = {static_cast<const uint8_t*>(data) + e.imageOffset, e.imageSize};
    return true;
}

bool planIconCreation(const IconImage& image, IconCreation* plan) {
    BitmapHeader header;
    if (!readBitmapHeader(image, &header)) return false;
    int32_t width = header.width;
    int32_t height = header.height / 2;

    // A PNG stream has no bitmap header: its bytes 4 to 15 read as sizes of
    // hundreds of millions of pixels. Such sizes, and any other that no icon
    // can have, leave the choice of size to the image itself.
    bool png = isPngStream(image.bits, image.size);
    if (!png && !bitmapFitsItsBytes(header, image.size)) return false;
    bool sized = !png && sideIsIconSize(width) && sideIsIconSize(height);
    plan->desiredWidth = sized ? width : 0;
    plan->desiredHeight = sized ? height : 0;
    plan->secondAttempt = header.bitCount != 16;
    plan->needsAlignedCopy = (reinterpret_cast<uintptr_t>(image.bits) & 3u) != 0;
    return true;
}

bool readIconEntry(const IconDirectory& directory, uint32_t index, IconEntry* out) {
    return index < directory.count && readEntry(directory.data, directory.length, index, out);
}

bool isPngImage(const IconImage& image) { return isPngStream(image.bits, image.size); }

bool iconImageSize(const IconImage& image, int32_t* width, int32_t* height) {
    IconCreation plan;
    if (!planIconCreation(image, &plan)) return false;
    int64_t w = plan.desiredWidth;
    int64_t h = plan.desiredHeight;
    if (isPngImage(image)) {
        ByteCursor header(image.bits, image.size);
        header.seek(kPngWidthOffset);
        w = header.u32be();
        h = header.u32be();
    }
    if (!sideIsIconSize(w) || !sideIsIconSize(h)) return false;
    *width = int32_t(w);
    *height = int32_t(h);
    return true;
}

uint32_t wantedColourDepth(uint32_t majorVersion, uint32_t minorVersion) {
    // Windows XP (5.1) brought icons with an alpha channel; every later
    // version, whatever its minor number, shows them.
    const bool fromXp = majorVersion > 5 || (majorVersion == 5 && minorVersion >= 1);
    return fromXp ? 32 : 24;
}

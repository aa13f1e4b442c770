#include "icon/PngLayout.h"

#include <cstring>

#include "base/ByteCursor.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr uint32_t kIhdrLength = 13;
constexpr uint32_t kMaxPngSideStated = 0x7fffffffu;

// The other side of an image scaled so that side becomes target, rounded, and
// never below one pixel.
uint32_t scaledSide(uint32_t other, uint32_t side, uint32_t target) {
    uint64_t scaled = (uint64_t(other) * target * 2 + side) / (uint64_t(side) * 2);
    return scaled == 0 ? 1 : uint32_t(scaled);
}

}  // namespace

bool pngDimensions(const void* png, size_t size, uint32_t* width, uint32_t* height) {
    ByteCursor cursor(png, size);
    const uint8_t* signature = cursor.bytes(sizeof(kPngSignature));
    if (!signature || memcmp(signature, kPngSignature, sizeof(kPngSignature)) != 0) return false;
    uint32_t length = cursor.u32be();
    const uint8_t* type = cursor.bytes(4);
    uint32_t w = cursor.u32be();
    uint32_t h = cursor.u32be();
    // The rest of the chunk: depth, colour type, methods, and its CRC.
    if (!cursor.skip(kIhdrLength - 8 + 4) || length != kIhdrLength || memcmp(type, "IHDR", 4) != 0) return false;
    if (w == 0 || h == 0 || w > kMaxPngSideStated || h > kMaxPngSideStated) return false;
    *width = w;
    *height = h;
    return true;
}

bool planPngIcon(size_t size, uint32_t imageWidth, uint32_t imageHeight, uint32_t iconWidth, uint32_t iconHeight,
                 PngIconLayout* out) {
    if (size > kMaxPngBytes || imageWidth == 0 || imageHeight == 0) return false;
    if (imageWidth > kMaxPngSide || imageHeight > kMaxPngSide) return false;
    if (imageWidth > 2 * imageHeight || imageHeight > 2 * imageWidth) return false;
    if (iconWidth == 0 || iconHeight == 0 || iconWidth > kMaxPngIconSide || iconHeight > kMaxPngIconSide) return false;
    // The image is relatively wider than the icon when w / h >= W / H.
    PngIconLayout layout;
    if (uint64_t(imageWidth) * iconHeight >= uint64_t(imageHeight) * iconWidth) {
        layout.scaledWidth = iconWidth;
        layout.scaledHeight = scaledSide(imageHeight, imageWidth, iconWidth);
    } else {
        layout.scaledHeight = iconHeight;
        layout.scaledWidth = scaledSide(imageWidth, imageHeight, iconHeight);
    }
    layout.left = (iconWidth - layout.scaledWidth) / 2;
    layout.top = (iconHeight - layout.scaledHeight) / 2;
    *out = layout;
    return true;
}

#pragma once
// PNG images that an archive names as its icon: the size a stream's header
// states, read before anything decodes it, the bounds such an image must keep,
// and where the scaled image sits on the icon the shell asks for.
#include <cstddef>
#include <cstdint>

// Bounds of a PNG that is decoded at all: the stream's bytes and each side
// its header states.
constexpr size_t kMaxPngBytes = 1024 * 1024;
constexpr uint32_t kMaxPngSide = 1024;
// Largest icon side made from a PNG (the shell asks for 256 at most today).
constexpr uint32_t kMaxPngIconSide = 1024;

// The width and height a PNG stream states: the eight-byte signature, then
// the IHDR chunk, 13 bytes long, each side from 1 to 2^31 - 1. False for
// anything else.
bool pngDimensions(const void* png, size_t size, uint32_t* width, uint32_t* height);

// An image scaled to fit the icon and its place on the icon, in pixels.
struct PngIconLayout {
    uint32_t scaledWidth;
    uint32_t scaledHeight;
    uint32_t left;
    uint32_t top;
};

// How a PNG of size bytes and imageWidth x imageHeight pixels becomes an icon
// of iconWidth x iconHeight: scaled so that it fills the icon in one direction
// and keeps its proportions, centred in the other. False when the PNG breaks
// a bound above, when one side is more than twice the other, or when the icon
// has a side of 0 or more than kMaxPngIconSide.
bool planPngIcon(size_t size, uint32_t imageWidth, uint32_t imageHeight, uint32_t iconWidth, uint32_t iconHeight,
                 PngIconLayout* out);

#include "icon/PngIcon.h"

#include <wincodec.h>

#include <cstring>

#include "base/CoreAlloc.h"
#include "base/WinHolders.h"
#include "icon/PngLayout.h"

namespace {

// COM for the length of one call: entered when the thread has not entered it
// yet (or has, in the same kind of apartment, which only counts it once more)
// and left again exactly as often. A thread in the other kind of apartment is
// used as it is.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT hr_;
};

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type invalid() { return nullptr; }
    static void close(Type object) { DeleteObject(object); }
};
using GdiObject = Holder<GdiObjectTraits>;

constexpr uint32_t kBytesPerPixel = 4;

// Decodes the PNG and writes it, scaled, premultiplied BGRA, into the
// rectangle of the layout inside pixels (iconWidth pixels a row).
bool decodeScaled(const void* png, size_t size, uint32_t width, uint32_t height, const PngIconLayout& layout,
                  uint32_t iconWidth, uint8_t* pixels, size_t pixelBytes) {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.put()))))
        return false;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(png)), DWORD(size))))
        return false;
    // The PNG decoder only: the bytes never reach another codec.
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.put())) ||
        FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, frame.put())))
        return false;
    UINT frameWidth = 0, frameHeight = 0;
    if (FAILED(frame->GetSize(&frameWidth, &frameHeight)) || frameWidth != width || frameHeight != height)
        return false;
    // Scaling premultiplied colours keeps the colour of transparent pixels
    // out of their visible neighbours.
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)))
        return false;
    ComPtr<IWICBitmapScaler> scaler;
    if (FAILED(factory->CreateBitmapScaler(scaler.put())) ||
        FAILED(scaler->Initialize(converter.get(), layout.scaledWidth, layout.scaledHeight,
                                  WICBitmapInterpolationModeFant)))
        return false;
    const size_t stride = size_t(iconWidth) * kBytesPerPixel;
    const size_t first = size_t(layout.top) * stride + size_t(layout.left) * kBytesPerPixel;
    const size_t span = size_t(layout.scaledHeight - 1) * stride + size_t(layout.scaledWidth) * kBytesPerPixel;
    if (first + span > pixelBytes) return false;
    return SUCCEEDED(scaler->CopyPixels(nullptr, UINT(stride), UINT(span), pixels + first));
}

// Icons take straight alpha: each colour is divided by its pixel's alpha.
void unpremultiply(uint8_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i, pixels += kBytesPerPixel) {
        uint32_t alpha = pixels[3];
        if (alpha == 0 || alpha == 255) continue;
        for (int c = 0; c < 3; ++c) {
            uint32_t value = (pixels[c] * 255u + alpha / 2) / alpha;
            pixels[c] = uint8_t(value > 255 ? 255 : value);
        }
    }
}

// The mask is drawn where the alpha channel is not: set where a pixel is
// wholly transparent. Rows are padded to 16 bits.
HBITMAP createMask(const uint8_t* pixels, uint32_t width, uint32_t height) {
    const size_t stride = (size_t(width) + 15) / 16 * 2;
    CorePtr<uint8_t> bits(coreAllocArray<uint8_t>(stride * height));
    if (!bits) return nullptr;
    memset(bits.get(), 0, stride * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (pixels[(size_t(y) * width + x) * kBytesPerPixel + 3] == 0)
                bits.get()[y * stride + x / 8] |= uint8_t(0x80u >> (x % 8));
    return CreateBitmap(int(width), int(height), 1, 1, bits.get());
}

}  // namespace

HICON createIconFromPng(const void* png, size_t size, UINT width, UINT height) {
    uint32_t imageWidth = 0, imageHeight = 0;
    PngIconLayout layout;
    if (!png || !pngDimensions(png, size, &imageWidth, &imageHeight) ||
        !planPngIcon(size, imageWidth, imageHeight, width, height, &layout))
        return nullptr;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = LONG(width);
    info.bmiHeader.biHeight = -LONG(height);  // top row first, as the decoder writes
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject colour(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || !bits) return nullptr;
    const size_t pixelCount = size_t(width) * height;
    uint8_t* pixels = static_cast<uint8_t*>(bits);
    memset(pixels, 0, pixelCount * kBytesPerPixel);
    {
        ComScope com;
        if (!com.usable() ||
            !decodeScaled(png, size, imageWidth, imageHeight, layout, width, pixels, pixelCount * kBytesPerPixel))
            return nullptr;
    }
    GdiFlush();
    unpremultiply(pixels, pixelCount);
    GdiObject mask(createMask(pixels, width, height));
    if (!mask) return nullptr;
    ICONINFO icon = {TRUE, 0, 0, static_cast<HBITMAP>(mask.get()), static_cast<HBITMAP>(colour.get())};
    return CreateIconIndirect(&icon);
}

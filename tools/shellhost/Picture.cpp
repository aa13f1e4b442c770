#include "Picture.h"

#include <cstdio>

#include "Host.h"
#include "base/WinHolders.h"

bool writePngFile(const std::wstring& path,
                  const std::function<HRESULT(IWICImagingFactory* factory, IWICBitmap** bitmap)>& makeBitmap) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  outPtr(factory));
    if (SUCCEEDED(hr)) hr = makeBitmap(factory.get(), bitmap.put());
    if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.put());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.put(), nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->WriteSource(bitmap.get(), nullptr);
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (FAILED(hr)) fwprintf(stderr, L"shellhost: PNG encoding failed: %ls\n", hresultText(hr).c_str());
    return SUCCEEDED(hr);
}

namespace {

bool endsWith(const std::wstring& text, const wchar_t* suffix) {
    size_t n = wcslen(suffix);
    return text.size() >= n && _wcsicmp(text.c_str() + text.size() - n, suffix) == 0;
}

bool saveBmp(const Picture& picture, const std::wstring& path) {
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = picture.width;
    info.biHeight = -picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = DWORD(file.bfOffBits + picture.pixels.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    bool ok = fwrite(&file, sizeof(file), 1, out) == 1 && fwrite(&info, sizeof(info), 1, out) == 1 &&
              fwrite(picture.pixels.data(), 1, picture.pixels.size(), out) == picture.pixels.size();
    return fclose(out) == 0 && ok;
}

bool savePng(const Picture& picture, const std::wstring& path) {
    return writePngFile(path, [&picture](IWICImagingFactory* factory, IWICBitmap** bitmap) {
        return factory->CreateBitmapFromMemory(UINT(picture.width), UINT(picture.height), GUID_WICPixelFormat24bppBGR,
                                               picture.stride, UINT(picture.pixels.size()),
                                               const_cast<BYTE*>(picture.pixels.data()), bitmap);
    });
}

}  // namespace

bool captureWindow(HWND window, Picture* picture) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 10; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(50);
    }
    RECT rect;
    GetWindowRect(window, &rect);
    picture->width = rect.right - rect.left;
    picture->height = rect.bottom - rect.top;
    if (picture->width <= 0 || picture->height <= 0) return false;
    picture->stride = (UINT(picture->width) * 3 + 3) & ~3u;
    picture->pixels.assign(size_t(picture->stride) * picture->height, 0);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = -picture->height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, picture->width, picture->height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        memcpy(picture->pixels.data(), bits, picture->pixels.size());
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool savePicture(const Picture& picture, const std::wstring& path) {
    return endsWith(path, L".bmp") ? saveBmp(picture, path) : savePng(picture, path);
}

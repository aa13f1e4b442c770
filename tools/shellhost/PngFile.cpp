#include "PngFile.h"

#include <cstdio>

#include "Host.h"

namespace {
template <typename T>
void releaseAll(T*& p) {
    if (p) p->Release();
    p = nullptr;
}
}  // namespace

bool writePngFile(const std::wstring& path,
                  const std::function<HRESULT(IWICImagingFactory* factory, IWICBitmap** bitmap)>& makeBitmap) {
    IWICImagingFactory* factory = nullptr;
    IWICBitmap* bitmap = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) hr = makeBitmap(factory, &bitmap);
    if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->WriteSource(bitmap, nullptr);
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    releaseAll(frame);
    releaseAll(encoder);
    releaseAll(stream);
    releaseAll(bitmap);
    releaseAll(factory);
    if (FAILED(hr)) fwprintf(stderr, L"shellhost: PNG encoding failed: %ls\n", hresultText(hr).c_str());
    return SUCCEEDED(hr);
}

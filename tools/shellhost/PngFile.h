#pragma once
// Writes pictures as PNG files through the Windows Imaging Component.
#include <windows.h>
#include <wincodec.h>

#include <functional>
#include <string>

// makeBitmap creates the picture with the factory it is given; false (with a
// message on stderr) when any step fails.
bool writePngFile(const std::wstring& path,
                  const std::function<HRESULT(IWICImagingFactory* factory, IWICBitmap** bitmap)>& makeBitmap);

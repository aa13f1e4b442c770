#pragma once
// Pictures the shell host writes: icons and windows as PNG files (through the
// Windows Imaging Component) and a window copied off the screen.
#include <windows.h>
#include <wincodec.h>

#include <functional>
#include <string>
#include <vector>

// makeBitmap creates the picture with the factory it is given; false (with a
// message on stderr) when any step fails.
bool writePngFile(const std::wstring& path,
                  const std::function<HRESULT(IWICImagingFactory* factory, IWICBitmap** bitmap)>& makeBitmap);

// Top-down 24-bit rows, each padded to four bytes.
struct Picture {
    int width = 0, height = 0;
    UINT stride = 0;
    std::vector<BYTE> pixels;
};

// What the display shows of the window: it is raised, redrawn and given a
// moment, then copied off the screen.
bool captureWindow(HWND window, Picture* picture);
// A .bmp path gets a bitmap file, any other a PNG file.
bool savePicture(const Picture& picture, const std::wstring& path);

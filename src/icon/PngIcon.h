#pragma once
// Icons made from a PNG image by the platform's own decoder.
#include <windows.h>

#include <cstddef>

// A 32-bit icon with alpha of width x height pixels made from the PNG stream
// png of size bytes, or null. The stream is bounded before it is decoded (see
// planPngIcon); the image is scaled with the decoder's area filter so that it
// fills the icon one way and is centred, on transparent pixels, the other.
// Works whether or not the calling thread has entered COM. The icon belongs
// to the caller.
HICON createIconFromPng(const void* png, size_t size, UINT width, UINT height);

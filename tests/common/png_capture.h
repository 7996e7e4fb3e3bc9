// png_capture.h - saves what a window shows to a PNG file.
//
// Used by the dialog tests and the demo host to let a person look at a dialog's
// layout. The PNG is written by our own small encoder (stored deflate blocks,
// CRC-32 and Adler-32): 24-bit RGB, no compression worth the name, but every
// viewer reads it.
#ifndef DERAR_PNG_CAPTURE_H
#define DERAR_PNG_CAPTURE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace png_capture {

// An image in memory: rows top to bottom, 3 bytes (R, G, B) per pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Paints the window (frame and children included) into an image. Repaints the
// window first so the picture is current. False: the window is gone or has no size.
bool CaptureWindow(HWND hwnd, Image& image);

// Encodes an image as PNG bytes.
std::vector<uint8_t> EncodePng(const Image& image);

// Writes an image to a PNG file; false if the file cannot be written.
bool WritePng(const Image& image, const std::string& path);

// CaptureWindow followed by WritePng.
bool SaveWindowPng(HWND hwnd, const std::string& path);

// The checksums of the format, exposed for tests.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

}  // namespace png_capture

#endif

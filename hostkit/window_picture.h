// window_picture.h - what a window shows, as pixels, and saved as a PNG file.
//
// The screenshot tours and the dialog tests both take pictures of the library's dialogs
// so that a person can look at the layout, and the tests also look at the pixels.
#ifndef HOSTKIT_WINDOW_PICTURE_H
#define HOSTKIT_WINDOW_PICTURE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hostkit {

// Pixels top row first, 3 bytes (R, G, B) each.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool operator==(const Picture& other) const
    {
        return width == other.width && height == other.height && rgb == other.rgb;
    }
    // The pixel at (x, y) as 0xRRGGBB.
    std::uint32_t At(int x, int y) const;
    // The part of the picture at (left, top), width x height, clipped to the picture.
    Picture Part(int left, int top, int width, int height) const;
};

// Repaints hwnd, its frame and its children now, so that a capture is current.
void RepaintWindow(HWND hwnd);

// The window's rectangle, frame and children included, as last painted. On failure
// returns false and says why in error.
bool CaptureWindow(HWND hwnd, Picture& picture, std::string& error);

// The pixels of a bitmap (a button's image, say), as the screen shows them.
Picture PictureOfBitmap(HBITMAP bitmap);

// The PNG file of a picture (8-bit RGB), encoded by the platform's imaging
// component. Empty, with the reason in error, when the platform cannot encode.
std::vector<std::uint8_t> EncodePng(const Picture& picture, std::string& error);

// Writes EncodePng's result through a temporary file that then replaces path, so a
// picture is either whole or not there.
bool SavePicture(const Picture& picture, const std::string& path, std::string& error);

// RepaintWindow, CaptureWindow and SavePicture in one.
bool SaveWindowPicture(HWND hwnd, const std::string& path, std::string& error);

// Takes a window's picture once it has been shown a while and two captures in a row
// agree: a dialog fills its lists and sizes its columns after it first appears, so a
// single copy can catch it half drawn.
class SteadyCapture {
public:
    static const DWORD kSettleMs = 400;  // a window is painted this long after it appears

    bool Poll(HWND hwnd, Picture& picture);  // true: picture is steady

private:
    HWND m_hwnd = nullptr;
    DWORD m_seen = 0;
    Picture m_last;
};

}  // namespace hostkit

#endif

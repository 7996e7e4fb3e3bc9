// window_capture.h - takes what a top-level window shows on the screen, for PNG files.
#ifndef DERARDEMO_WINDOW_CAPTURE_H
#define DERARDEMO_WINDOW_CAPTURE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Pixels top row first, 3 bytes (R, G, B) each.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool operator==(const Picture& other) const
    {
        return width == other.width && height == other.height && rgb == other.rgb;
    }
};

// Repaints hwnd and its children now, so that a capture a moment later is current.
void RepaintWindow(HWND hwnd);

// Copies the window's rectangle (frame included) from the screen. The window should
// be on top and painted. On failure returns false and says why in error.
bool CaptureWindow(HWND hwnd, Picture& picture, std::string& error);

bool SavePicture(const Picture& picture, const std::string& path, std::string& error);

// Takes a window's picture once it has been on the screen a while and two captures
// in a row agree: the platform puts a painted window on the screen a moment later,
// so a single copy can catch it half drawn.
class SteadyCapture {
public:
    static const DWORD kSettleMs = 400; // a window is painted and on the screen this long after it appears

    bool Poll(HWND hwnd, Picture& picture); // true: picture is steady

private:
    HWND m_hwnd = nullptr;
    DWORD m_seen = 0;
    Picture m_last;
};

#endif

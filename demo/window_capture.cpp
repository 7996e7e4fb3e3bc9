// window_capture.cpp - screen copy of a window into a DIB; PNG files through the encoder.
#include "window_capture.h"

#include <utility>

#include "png_writer.h"

void RepaintWindow(HWND hwnd)
{
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
}

namespace {

// Reads width x height pixels at (left, top) of source into rgb (top row first).
bool CopyPixels(HDC source, int left, int top, int width, int height, std::vector<std::uint8_t>& rgb)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory && bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, source, left, top, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (copied) {
        const std::uint8_t* bgrx = static_cast<const std::uint8_t*>(bits);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            rgb[i * 3 + 0] = bgrx[i * 4 + 2];
            rgb[i * 3 + 1] = bgrx[i * 4 + 1];
            rgb[i * 3 + 2] = bgrx[i * 4 + 0];
        }
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return copied;
}

} // namespace

bool CaptureWindow(HWND hwnd, Picture& picture, std::string& error)
{
    RECT rect;
    if (!IsWindow(hwnd) || !GetWindowRect(hwnd, &rect)) {
        error = "the window is gone";
        return false;
    }
    // Only the part on the screen can be copied.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (rect.left < 0) rect.left = 0;
    if (rect.top < 0) rect.top = 0;
    if (rect.right > screenWidth) rect.right = screenWidth;
    if (rect.bottom > screenHeight) rect.bottom = screenHeight;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        error = "the window has no size on the screen";
        return false;
    }
    HDC screen = GetDC(nullptr);
    const bool copied = screen && CopyPixels(screen, rect.left, rect.top, width, height, picture.rgb);
    if (screen) ReleaseDC(nullptr, screen);
    if (!copied) {
        error = "the screen could not be read";
        return false;
    }
    picture.width = width;
    picture.height = height;
    return true;
}

bool SavePicture(const Picture& picture, const std::string& path, std::string& error)
{
    if (!WritePngFile(path, picture.width, picture.height, picture.rgb.data(),
                      static_cast<size_t>(picture.width) * 3)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool SteadyCapture::Poll(HWND hwnd, Picture& picture)
{
    if (hwnd != m_hwnd) {
        m_hwnd = hwnd;
        m_seen = GetTickCount();
        m_last = Picture();
        RepaintWindow(hwnd);
        return false;
    }
    if (GetTickCount() - m_seen < kSettleMs) return false;
    Picture now;
    std::string error;
    if (!CaptureWindow(hwnd, now, error)) return false;
    if (!m_last.rgb.empty() && now == m_last) {
        picture = std::move(now);
        return true;
    }
    m_last = std::move(now);
    return false;
}

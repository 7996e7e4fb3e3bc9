// window_picture.cpp - a window's pixels from its own surface; PNG through WIC.
#include "window_picture.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <utility>

namespace hostkit {

std::uint32_t Picture::At(int x, int y) const
{
    const std::uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

Picture Picture::Part(int left, int top, int partWidth, int partHeight) const
{
    Picture part;
    const int right = std::min(width, left + partWidth), bottom = std::min(height, top + partHeight);
    left = std::max(0, left);
    top = std::max(0, top);
    if (right <= left || bottom <= top) return part;
    part.width = right - left;
    part.height = bottom - top;
    for (int y = top; y < bottom; ++y) {
        auto row = rgb.begin() + (static_cast<size_t>(y) * width + left) * 3;
        part.rgb.insert(part.rgb.end(), row, row + static_cast<size_t>(part.width) * 3);
    }
    return part;
}

void RepaintWindow(HWND hwnd)
{
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
}

namespace {

// A 32-bit top-down DIB section selected into a memory DC, freed on scope exit.
class PixelBuffer {
public:
    PixelBuffer(int width, int height) : m_width(width), m_height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (m_dc && m_bitmap) m_old = SelectObject(m_dc, m_bitmap);
    }
    ~PixelBuffer()
    {
        if (m_old) SelectObject(m_dc, m_old);
        if (m_bitmap) DeleteObject(m_bitmap);
        if (m_dc) DeleteDC(m_dc);
    }
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    bool Ready() const { return m_old != nullptr && m_bits != nullptr; }
    HDC Dc() const { return m_dc; }

    void Read(Picture& picture) const
    {
        GdiFlush();
        const std::uint8_t* bgrx = static_cast<const std::uint8_t*>(m_bits);
        const size_t count = static_cast<size_t>(m_width) * m_height;
        picture.width = m_width;
        picture.height = m_height;
        picture.rgb.resize(count * 3);
        for (size_t i = 0; i < count; ++i) {
            picture.rgb[i * 3 + 0] = bgrx[i * 4 + 2];
            picture.rgb[i * 3 + 1] = bgrx[i * 4 + 1];
            picture.rgb[i * 3 + 2] = bgrx[i * 4 + 0];
        }
    }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
};

bool IsOneColour(const Picture& picture)
{
    for (size_t i = 3; i < picture.rgb.size(); ++i)
        if (picture.rgb[i] != picture.rgb[i % 3]) return false;
    return true;
}

// Releases a COM interface on scope exit.
template <class T>
struct ComRef {
    T* p = nullptr;
    ~ComRef()
    {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

// COM for the calling thread while a picture is encoded; left as it was found.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    // RPC_E_CHANGED_MODE: the thread already has COM, in the other model; that serves too.
    bool Ready() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};

std::string Failed(const char* what, HRESULT hr)
{
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    return std::string(what) + " failed (" + code + ")";
}

}  // namespace

bool CaptureWindow(HWND hwnd, Picture& picture, std::string& error)
{
    RECT rect;
    if (!IsWindow(hwnd) || !GetWindowRect(hwnd, &rect)) {
        error = "the window is gone";
        return false;
    }
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        error = "the window has no size";
        return false;
    }
    PixelBuffer buffer(width, height);
    if (!buffer.Ready()) {
        error = "no memory for the pixels";
        return false;
    }
    // The window's own surface holds what it last painted, frame and children
    // included, whatever lies above it on the screen.
    HDC window = GetWindowDC(hwnd);
    const bool copied = window && BitBlt(buffer.Dc(), 0, 0, width, height, window, 0, 0, SRCCOPY);
    if (window) ReleaseDC(hwnd, window);
    if (copied) buffer.Read(picture);
    if (!copied || IsOneColour(picture)) {
        // A hidden window has nothing on its surface: let it paint itself.
        PrintWindow(hwnd, buffer.Dc(), 0);
        buffer.Read(picture);
    }
    return true;
}

Picture PictureOfBitmap(HBITMAP bitmap)
{
    Picture picture;
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return picture;
    PixelBuffer buffer(info.bmWidth, info.bmHeight);
    HDC source = CreateCompatibleDC(nullptr);
    if (buffer.Ready() && source) {
        HGDIOBJ old = SelectObject(source, bitmap);
        BitBlt(buffer.Dc(), 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        buffer.Read(picture);
    }
    if (source) DeleteDC(source);
    return picture;
}

std::vector<std::uint8_t> EncodePng(const Picture& picture, std::string& error)
{
    std::vector<std::uint8_t> png;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
        error = "the picture has no pixels";
        return png;
    }
    ComScope com;
    if (!com.Ready()) {
        error = "COM is not available";
        return png;
    }
    ComRef<IWICImagingFactory> factory;
    ComRef<IStream> stream;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        error = Failed("creating the imaging factory", hr);
        return png;
    }
    // The encoder takes B, G, R; our pixels are R, G, B.
    const UINT stride = static_cast<UINT>(picture.width) * 3;
    std::vector<BYTE> bgr(picture.rgb.size());
    for (size_t i = 0; i < bgr.size(); i += 3) {
        bgr[i] = picture.rgb[i + 2];
        bgr[i + 1] = picture.rgb[i + 1];
        bgr[i + 2] = picture.rgb[i];
    }
    // Each call in turn; the first that fails names itself in error.
    auto done = [&error](HRESULT hr, const char* what) {
        if (FAILED(hr)) error = Failed(what, hr);
        return SUCCEEDED(hr);
    };
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    const bool encoded =
        done(CreateStreamOnHGlobal(nullptr, TRUE, &stream), "creating a memory stream") &&
        done(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), "creating the PNG encoder") &&
        done(encoder->Initialize(stream.p, WICBitmapEncoderNoCache), "starting the PNG file") &&
        done(encoder->CreateNewFrame(&frame, &options), "adding the frame") &&
        done(frame->Initialize(options.p), "starting the frame") &&
        done(frame->SetSize(picture.width, picture.height), "sizing the frame") &&
        done(frame->SetPixelFormat(&format), "choosing the pixel format") &&
        // An encoder that offers another format would want other bytes.
        done(IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) ? S_OK : E_NOTIMPL, "taking 24-bit pixels") &&
        done(frame->WritePixels(picture.height, stride, static_cast<UINT>(bgr.size()), bgr.data()),
             "writing the pixels") &&
        done(frame->Commit(), "finishing the frame") && done(encoder->Commit(), "finishing the PNG file") &&
        done(GetHGlobalFromStream(stream.p, &memory), "reading the stream") &&
        done(stream->Stat(&stat, STATFLAG_NONAME), "measuring the stream");
    if (!encoded) return png;
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (!bytes) {
        error = "reading the stream failed";
        return png;
    }
    png.assign(bytes, bytes + static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return png;
}

bool SavePicture(const Picture& picture, const std::string& path, std::string& error)
{
    const std::vector<std::uint8_t> png = EncodePng(picture, error);
    if (png.empty()) return false;
    const std::string temporary = path + ".part";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot write " + temporary;
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) &&
              written == png.size() && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        error = "cannot write " + path;
    }
    return ok;
}

bool SaveWindowPicture(HWND hwnd, const std::string& path, std::string& error)
{
    RepaintWindow(hwnd);
    Picture picture;
    return CaptureWindow(hwnd, picture, error) && SavePicture(picture, path, error);
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

}  // namespace hostkit

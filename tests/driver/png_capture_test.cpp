// The PNG writer: checksums of the format and a stream that a decoder reads back.
#include <gtest/gtest.h>

#include <png_capture.h>

#include <cstring>

namespace {

using png_capture::Image;

uint32_t Big32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

TEST(PngCapture, ChecksumsOfKnownTexts)
{
    struct Case {
        const char* text;
        uint32_t crc;
        uint32_t adler;
    };
    const Case cases[] = {
        {"", 0x00000000u, 0x00000001u},
        {"123456789", 0xCBF43926u, 0x091E01DEu},
        {"Wikipedia", 0xADAAC02Eu, 0x11E60398u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto* bytes = reinterpret_cast<const uint8_t*>(c.text);
        EXPECT_EQ(png_capture::Crc32(bytes, strlen(c.text)), c.crc);
        EXPECT_EQ(png_capture::Adler32(bytes, strlen(c.text)), c.adler);
    }
}

// Reads back the chunks and the stored deflate blocks, checking every length and checksum.
TEST(PngCapture, EncodesAStreamThatDecodesToTheSamePixels)
{
    struct Case {
        const char* name;
        int width, height;
    };
    const Case cases[] = {{"one pixel", 1, 1}, {"one block", 40, 30}, {"several blocks", 300, 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image;
        image.width = c.width;
        image.height = c.height;
        for (int i = 0; i < c.width * c.height * 3; ++i)
            image.rgb.push_back(uint8_t(i * 7 + i / 3));
        std::vector<uint8_t> png = png_capture::EncodePng(image);

        ASSERT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1A\n", 8), 0);
        std::vector<uint8_t> zlib;
        size_t at = 8;
        std::string order;
        while (at + 12 <= png.size()) {
            uint32_t length = Big32(png, at);
            std::string type(png.begin() + at + 4, png.begin() + at + 8);
            order += type + " ";
            ASSERT_LE(at + 12 + length, png.size());
            EXPECT_EQ(Big32(png, at + 8 + length), png_capture::Crc32(&png[at + 4], length + 4)) << type;
            if (type == "IHDR") {
                EXPECT_EQ(Big32(png, at + 8), uint32_t(c.width));
                EXPECT_EQ(Big32(png, at + 12), uint32_t(c.height));
            }
            if (type == "IDAT")
                zlib.insert(zlib.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
            at += 12 + length;
        }
        EXPECT_EQ(order, "IHDR IDAT IEND ");
        EXPECT_EQ(at, png.size());

        ASSERT_GE(zlib.size(), 6u);
        EXPECT_EQ((zlib[0] * 256 + zlib[1]) % 31, 0);  // the zlib header check
        std::vector<uint8_t> raw;
        size_t pos = 2;
        bool last = false;
        while (!last) {
            ASSERT_LE(pos + 5, zlib.size());
            last = zlib[pos] & 1;
            ASSERT_EQ(zlib[pos] >> 1, 0) << "only stored blocks";
            size_t n = zlib[pos + 1] | zlib[pos + 2] << 8;
            ASSERT_EQ(n ^ 0xFFFF, size_t(zlib[pos + 3] | zlib[pos + 4] << 8));
            raw.insert(raw.end(), zlib.begin() + pos + 5, zlib.begin() + pos + 5 + n);
            pos += 5 + n;
        }
        ASSERT_EQ(pos + 4, zlib.size());
        EXPECT_EQ(Big32(zlib, pos), png_capture::Adler32(raw.data(), raw.size()));

        size_t stride = size_t(c.width) * 3;
        ASSERT_EQ(raw.size(), (stride + 1) * c.height);
        for (int y = 0; y < c.height; ++y) {
            EXPECT_EQ(raw[y * (stride + 1)], 0) << "row " << y << " filter";
            ASSERT_EQ(std::memcmp(&raw[y * (stride + 1) + 1], &image.rgb[y * stride], stride), 0) << "row " << y;
        }
    }
}

TEST(PngCapture, CapturesWhatAWindowShows)
{
    HWND window = CreateWindowExA(0, "Button", "Capture me", WS_POPUP | WS_VISIBLE | BS_PUSHBUTTON, 10, 10,
                                  120, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Image image;
    ASSERT_TRUE(png_capture::CaptureWindow(window, image));
    EXPECT_EQ(image.width, 120);
    EXPECT_EQ(image.height, 40);
    size_t differing = 0;
    for (size_t i = 3; i < image.rgb.size(); ++i)
        differing += image.rgb[i] != image.rgb[i % 3];
    EXPECT_GT(differing, 100u) << "the caption and the frame should show";
    DestroyWindow(window);
}

}  // namespace

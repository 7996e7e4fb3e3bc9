// png_patterns.cpp - writes test pictures through the PNG encoder; check_png.py decodes them
// with an independent decoder and compares every pixel with the same formulas.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "window_picture.h"

namespace {

struct Pattern {
    const char* name;
    int width, height;
    // Fills one channel; noise keeps its state across calls, in row, pixel, channel order.
    std::uint8_t (*value)(int x, int y, int c, std::uint32_t& state);
};

// Each case stresses one part of the way to the encoder and back: a lone pixel, the channel
// order, flat areas, every row filter, noise that does not compress, very long rows.
const Pattern kPatterns[] = {
    {"one-pixel", 1, 1, [](int, int, int c, std::uint32_t&) { return std::uint8_t(12 + 22 * c); }},
    {"flat", 640, 480, [](int, int, int, std::uint32_t&) { return std::uint8_t(192); }},
    {"gradient", 300, 200,
     [](int x, int y, int c, std::uint32_t&) { return std::uint8_t((x * 7 + y * 3 + c * 50) & 255); }},
    {"noise", 257, 129,
     [](int, int, int, std::uint32_t& s) {
         s = s * 1103515245u + 12345u;
         return std::uint8_t((s >> 16) & 255);
     }},
    {"checker", 300, 260,
     [](int x, int y, int, std::uint32_t&) { return std::uint8_t(((x / 10 + y / 20) & 1) ? 200 : 30); }},
    {"wide", 5000, 3, [](int x, int y, int c, std::uint32_t&) { return std::uint8_t((x % 7) * 30 + y + c); }},
    {"tall", 1, 3000, [](int, int y, int c, std::uint32_t&) { return std::uint8_t((y % 251) ^ c); }},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: png_patterns DIRECTORY\\\n");
        return 2;
    }
    std::string directory = argv[1];
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') directory += '\\';
    CreateDirectoryA(directory.c_str(), nullptr);
    int failures = 0;
    for (const Pattern& pattern : kPatterns) {
        hostkit::Picture picture;
        picture.width = pattern.width;
        picture.height = pattern.height;
        picture.rgb.resize(static_cast<size_t>(pattern.width) * pattern.height * 3);
        std::uint32_t state = 1;
        for (int y = 0; y < pattern.height; ++y)
            for (int x = 0; x < pattern.width; ++x)
                for (int c = 0; c < 3; ++c)
                    picture.rgb[(static_cast<size_t>(y) * pattern.width + x) * 3 + c] = pattern.value(x, y, c, state);
        const std::string path = directory + pattern.name + ".png";
        std::string error;
        if (!hostkit::SavePicture(picture, path, error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            ++failures;
        }
    }
    if (failures == 0) std::printf("%d patterns saved\n", static_cast<int>(sizeof kPatterns / sizeof kPatterns[0]));
    return failures == 0 ? 0 : 1;
}

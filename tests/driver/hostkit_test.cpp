// The shared pictures and warning kinds: what the tours and the tests rely on.
#include <gtest/gtest.h>

#include <warning_text.h>
#include <window_picture.h>

#include "test_fixtures.h"

namespace {

using hostkit::Picture;
using hostkit::WarningKind;

uint32_t Big32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

Picture Filled(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    Picture p;
    p.width = width;
    p.height = height;
    for (int i = 0; i < width * height; ++i)
        p.rgb.insert(p.rgb.end(), { r, g, b });
    return p;
}

TEST(Warnings, KindAndObjectOfEachText)
{
    struct Case {
        const char* name;
        const char* text;
        WarningKind kind;
        const char* object;
    };
    const Case cases[] = {
        { "author", "Object = Alpha\nObject date = Tuesday, December 05, 2000  14:07\nAuthor = kim does not match "
                    "the\nCurrent Author = jdoe.\nThis may result in the incorrect overwriting of the data.\n\n"
                    "Do you wish to overwrite data?", WarningKind::Author, "Alpha" },
        { "well identifier", "Object = Beta two\nObject date = \nWell Identifier = W 18 does not match the\n"
                             "Current Well Identifier = W-17.\n", WarningKind::WellId, "Beta two" },
        { "current data", "Object = GR\nObject date = x.\nThis may result in the incorrect overwriting of "
                          "current data.\n\nDo you wish to overwrite Data?", WarningKind::CurrentData, "GR" },
        { "an object named like a label", "Object = Author = x\nObject date = .\nThis may result in the "
                                          "incorrect overwriting of current data.", WarningKind::CurrentData,
          "Author = x" },
        { "an empty name", "Object = \nAuthor = New does not match the", WarningKind::Author, "" },
        { "no warning at all", "Do you wish to continue?", WarningKind::Unknown, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hostkit::KindOfWarning(c.text), c.kind) << hostkit::WarningKindName(hostkit::KindOfWarning(c.text));
        EXPECT_EQ(hostkit::WarnedObject(c.text), c.object);
    }
}

TEST(Pictures, PngHeaderNamesTheSizeAndRgb)
{
    std::string error;
    std::vector<uint8_t> png = hostkit::EncodePng(Filled(7, 3, 10, 20, 30), error);
    ASSERT_GT(png.size(), 33u) << error;
    EXPECT_EQ(std::string(png.begin(), png.begin() + 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(Big32(png, 16), 7u);
    EXPECT_EQ(Big32(png, 20), 3u);
    EXPECT_EQ(png[24], 8) << "bits per channel";
    EXPECT_EQ(png[25], 2) << "RGB";
}

TEST(Pictures, NothingToEncodeSaysSo)
{
    struct Case {
        const char* name;
        Picture picture;
    };
    Picture short_of_pixels = Filled(4, 4, 1, 2, 3);
    short_of_pixels.rgb.pop_back();
    const Case cases[] = { { "no size", Picture() }, { "fewer pixels than its size", short_of_pixels } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_TRUE(hostkit::EncodePng(c.picture, error).empty());
        EXPECT_EQ(error, "the picture has no pixels");
    }
}

TEST(Pictures, SaveReplacesAnEarlierFileAndLeavesNoTemporary)
{
    fixtures::TempFolder folder;
    const std::string path = folder.Path() + "shot.png";
    folder.Write("shot.png", "an older picture");
    std::string error;
    ASSERT_TRUE(hostkit::SavePicture(Filled(5, 5, 200, 0, 0), path, error)) << error;
    EXPECT_EQ(fixtures::ReadFile(path).substr(1, 3), "PNG");
    EXPECT_FALSE(fixtures::FileExists(path + ".part"));

    EXPECT_FALSE(hostkit::SavePicture(Filled(5, 5, 0, 0, 0), folder.Path() + "missing\\shot.png", error));
    EXPECT_NE(error.find("missing\\shot.png"), std::string::npos) << error;
}

TEST(Pictures, PartIsClippedToThePicture)
{
    Picture p = Filled(4, 3, 0, 0, 0);
    p.rgb[(1 * 4 + 2) * 3] = 0xAB;   // (2, 1) red
    Picture part = p.Part(2, 1, 5, 5);
    EXPECT_EQ(part.width, 2);
    EXPECT_EQ(part.height, 2);
    EXPECT_EQ(part.At(0, 0), 0xAB0000u);
    EXPECT_EQ(p.Part(4, 0, 1, 1).width, 0) << "outside";
}

TEST(Pictures, CapturesWhatAWindowShows)
{
    HWND window = CreateWindowExA(0, "Button", "Capture me", WS_POPUP | WS_VISIBLE | BS_PUSHBUTTON, 10, 10,
                                  120, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    hostkit::RepaintWindow(window);
    Picture picture;
    std::string error;
    ASSERT_TRUE(hostkit::CaptureWindow(window, picture, error)) << error;
    EXPECT_EQ(picture.width, 120);
    EXPECT_EQ(picture.height, 40);
    size_t differing = 0;
    for (size_t i = 3; i < picture.rgb.size(); ++i)
        differing += picture.rgb[i] != picture.rgb[i % 3];
    EXPECT_GT(differing, 100u) << "the caption and the frame should show";
    DestroyWindow(window);
    EXPECT_FALSE(hostkit::CaptureWindow(window, picture, error));
    EXPECT_EQ(error, "the window is gone");
}

}  // namespace

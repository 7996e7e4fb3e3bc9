// The stage-setting helpers: the last file key holds exactly the bytes a test
// stores, and a temporary folder leaves nothing behind.
#include <gtest/gtest.h>

#include <test_fixtures.h>

namespace {

namespace key = fixtures::last_file_key;

TEST(LastFileKey, StoresAndReadsRawValues)
{
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        std::string text;  // up to the first zero byte
    };
    const Case cases[] = {
        {"text with its terminator", REG_SZ, std::string("C:\\data\\\0", 9), "C:\\data\\"},
        {"text without terminator", REG_SZ, "a.kvd", "a.kvd"},
        {"empty text", REG_SZ, std::string("\0", 1), ""},
        {"no bytes at all", REG_SZ, "", ""},
        {"binary with a zero inside", REG_BINARY, std::string("ab\0cd", 5), "ab"},
        {"expandable text", REG_EXPAND_SZ, std::string("%TEMP%\0", 7), "%TEMP%"},
    };
    key::Remove();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        key::SetRaw("PathName", c.type, c.bytes);
        std::optional<key::RawValue> raw = key::GetRaw("PathName");
        ASSERT_TRUE(raw.has_value());
        EXPECT_EQ(raw->type, c.type);
        EXPECT_EQ(raw->bytes, c.bytes);
        EXPECT_EQ(key::GetText("PathName"), c.text);
    }
    key::SetText("FileName", "b.kvd");
    EXPECT_EQ(key::GetRaw("FileName")->bytes, std::string("b.kvd\0", 6));
    EXPECT_FALSE(key::GetRaw("Missing").has_value());

    key::Remove();
    EXPECT_FALSE(key::Exists());
    EXPECT_FALSE(key::GetText("PathName").has_value());
}

TEST(TempFolder, IsFreshAndGoesAway)
{
    std::string path;
    {
        fixtures::TempFolder folder;
        path = folder.Path();
        EXPECT_EQ(path.back(), '\\');
        EXPECT_NE(path.find("TempFolder-IsFreshAndGoesAway"), std::string::npos);
        std::string file = folder.Write("x.kvd", std::string("a\0b", 3));
        EXPECT_EQ(fixtures::ReadFile(file), std::string("a\0b", 3));
        std::string sub = folder.MakeFolder("sub");
        EXPECT_TRUE(fixtures::FileExists(sub));
        EXPECT_EQ(folder.CopyIn(file, "sub\\y.kvd"), sub + "y.kvd");
        EXPECT_TRUE(fixtures::FileExists(sub + "y.kvd"));
    }
    EXPECT_FALSE(fixtures::FileExists(path));
}

}  // namespace

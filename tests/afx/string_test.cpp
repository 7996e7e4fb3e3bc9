// CString: construction, the buffer protocol, substrings, concatenation, comparison, formatting.
#include <afxwin.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::string Bytes(const CString& s) { return std::string(static_cast<LPCSTR>(s), s.GetLength()); }

TEST(CString, ConstructionGivesTheExpectedBytes)
{
    struct Case
    {
        const char* name;
        CString value;
        std::string expected;
    } cases[] = {
        { "NULL pointer", CString((LPCSTR)NULL), "" },
        { "NULL macro", CString(NULL), "" },
        { "empty text", CString(""), "" },
        { "text", CString("abc"), "abc" },
        { "counted prefix", CString("abcdef", 3), "abc" },
        { "counted with zero byte", CString("a\0b", 3), std::string("a\0b", 3) },
        { "counted from NULL", CString(NULL, 5), "" },
        { "character", CString('x'), "x" },
        { "repeated character", CString('x', 3), "xxx" },
        { "bytes above 127", CString("\xC4\xD6\xFF"), "\xC4\xD6\xFF" },
        { "copy", CString(CString("copy")), "copy" },
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Bytes(c.value), c.expected) << c.name;
        EXPECT_EQ(c.value.IsEmpty() != FALSE, c.expected.empty()) << c.name;
    }
}

TEST(CString, ReleaseBufferEndsAtTheFirstZeroOrKeepsTheCount)
{
    struct Case
    {
        const char* name;
        std::string written;   // bytes written into GetBufferSetLength(written.size())
        int nRelease;
        std::string expected;
    } cases[] = {
        { "embedded zero, -1", std::string("ab\0cd", 5), -1, "ab" },
        { "embedded zero, full count", std::string("ab\0cd", 5), 5, std::string("ab\0cd", 5) },
        { "no zero at all, -1", "abcde", -1, "abcde" },
        { "shorter count", "abcde", 3, "abc" },
        { "zero length", "", -1, "" },
        { "zero first", std::string("\0xyz", 4), -1, "" },
    };
    for (const Case& c : cases)
    {
        CString s("previous text that is longer");
        char* p = s.GetBufferSetLength((int)c.written.size());
        EXPECT_EQ(s.GetLength(), (int)c.written.size()) << c.name;
        memcpy(p, c.written.data(), c.written.size());
        s.ReleaseBuffer(c.nRelease);
        EXPECT_EQ(Bytes(s), c.expected) << c.name;
        EXPECT_EQ(static_cast<LPCSTR>(s)[s.GetLength()], '\0') << c.name << ": terminated";
    }
}

TEST(CString, GetBufferKeepsTheTextAndGrows)
{
    CString s("abc");
    char* p = s.GetBuffer(100);
    EXPECT_STREQ(p, "abc");
    strcpy(p, "a much longer text than before");
    s.ReleaseBuffer();
    EXPECT_EQ(Bytes(s), "a much longer text than before");
}

TEST(CString, SubstringsClampToTheText)
{
    const CString s("abc");
    struct Case
    {
        const char* name;
        CString value;
        const char* expected;
    } cases[] = {
        { "Left within", s.Left(2), "ab" },
        { "Left beyond the length", s.Left(5), "abc" },
        { "Left zero", s.Left(0), "" },
        { "Left negative", s.Left(-1), "" },
        { "Mid from 1", s.Mid(1), "bc" },
        { "Mid one byte", s.Mid(1, 1), "b" },
        { "Mid past the end", s.Mid(5), "" },
        { "Mid negative start", s.Mid(-2, 2), "ab" },
        { "Mid count beyond", s.Mid(2, 10), "c" },
        { "Right within", s.Right(2), "bc" },
        { "Right beyond", s.Right(9), "abc" },
        { "Right negative", s.Right(-3), "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bytes(c.value), c.expected) << c.name;
}

TEST(CString, ConcatenationInEveryCombination)
{
    const CString a("ab");
    const CString b("cd");
    CString self("xy");
    self += self;
    CString appended("12");
    appended += "34";
    appended += '5';
    appended += CString("6");
    struct Case
    {
        const char* name;
        CString value;
        const char* expected;
    } cases[] = {
        { "CString + CString", a + b, "abcd" },
        { "CString + text", a + "cd", "abcd" },
        { "text + CString", "ab" + b, "abcd" },
        { "CString + char", a + 'c', "abc" },
        { "char + CString", 'z' + a, "zab" },
        { "CString + NULL", a + (LPCSTR)NULL, "ab" },
        { "chain", a + "-" + b + '!', "ab-cd!" },
        { "append to itself", self, "xyxy" },
        { "+= each kind", appended, "123456" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bytes(c.value), c.expected) << c.name;
}

TEST(CString, AssignmentReplacesTheText)
{
    CString s("long text first");
    s = "b";
    EXPECT_EQ(Bytes(s), "b");
    s = 'c';
    EXPECT_EQ(Bytes(s), "c");
    s = (LPCSTR)NULL;
    EXPECT_TRUE(s.IsEmpty());
    CString t("assigned");
    s = t;
    t.Empty();
    EXPECT_EQ(Bytes(s), "assigned");
    s = s;
    EXPECT_EQ(Bytes(s), "assigned");
    s = s.Mid(2);   // from a part of itself
    EXPECT_EQ(Bytes(s), "signed");
}

TEST(CString, MovingHandsTheBytesOverAndLeavesTheSourceEmpty)
{
    CString source("moved text");
    LPCSTR bytes = source;
    CString moved(std::move(source));
    EXPECT_EQ(static_cast<LPCSTR>(moved), bytes) << "the bytes themselves, not a copy";
    EXPECT_TRUE(source.IsEmpty());
    source += "usable again";   // an emptied text is an ordinary empty text
    EXPECT_EQ(Bytes(source), "usable again");

    CString target("old text");
    target = std::move(moved);
    EXPECT_EQ(static_cast<LPCSTR>(target), bytes);
    EXPECT_TRUE(moved.IsEmpty());
    target = std::move(target);   // onto itself: unchanged
    EXPECT_EQ(Bytes(target), "moved text");

    std::vector<CString> texts;
    for (int i = 0; i < 100; ++i)   // the vector grows by moving its texts
        texts.push_back(CString('x', i));
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(texts[static_cast<size_t>(i)].GetLength(), i);
}

TEST(CString, ComparisonIsByteForByte)
{
    struct Case
    {
        const char* name;
        const char* left;
        const char* right;
        int sign;         // of Compare
        int signNoCase;   // of CompareNoCase
    } cases[] = {
        { "equal", "Well", "Well", 0, 0 },
        { "case differs", "Well", "well", -1, 0 },
        { "prefix", "Wel", "Well", -1, -1 },
        { "trailing blank counts", "Well ", "Well", 1, 1 },
        { "empty texts", "", "", 0, 0 },
        { "byte above 127 sorts after ASCII", "\xE9", "e", 1, 1 },
    };
    auto sign = [](int n) { return n < 0 ? -1 : n > 0 ? 1 : 0; };
    for (const Case& c : cases)
    {
        const CString left(c.left), right(c.right);
        EXPECT_EQ(sign(left.Compare(c.right)), c.sign) << c.name;
        EXPECT_EQ(sign(left.CompareNoCase(c.right)), c.signNoCase) << c.name;
        EXPECT_EQ(left == right, c.sign == 0) << c.name;
        EXPECT_EQ(left == c.right, c.sign == 0) << c.name;
        EXPECT_EQ(c.left == right, c.sign == 0) << c.name;
        EXPECT_EQ(left != right, c.sign != 0) << c.name;
        EXPECT_EQ(left < right, c.sign < 0) << c.name;
        EXPECT_EQ(c.left < right, c.sign < 0) << c.name;
        EXPECT_EQ(left > c.right, c.sign > 0) << c.name;
    }
}

TEST(CString, FindAndCase)
{
    const CString s("abcabc");
    EXPECT_EQ(s.Find('c'), 2);
    EXPECT_EQ(s.Find("bc"), 1);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.ReverseFind('a'), 3);
    EXPECT_EQ(CString("").Find('a'), -1);

    CString mixed("aBc\xE9-Z");
    mixed.MakeUpper();
    EXPECT_EQ(Bytes(mixed), "ABC\xE9-Z");
    mixed.MakeLower();
    EXPECT_EQ(Bytes(mixed), "abc\xE9-z");
}

TEST(CString, FormatGrowsToAnyLength)
{
    CString s;
    s.Format("%s-%d-%c", "abc", 42, 'z');
    EXPECT_EQ(Bytes(s), "abc-42-z");

    const std::string longText(5000, 'w');
    s.Format("[%s]", longText.c_str());
    EXPECT_EQ(Bytes(s), "[" + longText + "]");

    CString arg("from a CString");
    s.Format("%s", static_cast<LPCSTR>(arg));
    EXPECT_EQ(Bytes(s), "from a CString");
    s.Format("<%s|%s|%d>", arg, CString("temporary"), 7);   // CString passed directly, as MFC code does
    EXPECT_EQ(Bytes(s), "<from a CString|temporary|7>");
    s.Format("%s and %s", s, arg);   // the text being replaced as an argument
    EXPECT_EQ(Bytes(s), "<from a CString|temporary|7> and from a CString");
}

TEST(CString, IndexingReadsBytes)
{
    const CString s("\xC4z");
    EXPECT_EQ(s.GetAt(0), '\xC4');
    EXPECT_EQ(s[1], 'z');
    CString t("abc");
    t.SetAt(1, 'X');
    EXPECT_EQ(Bytes(t), "aXc");
}

}  // namespace

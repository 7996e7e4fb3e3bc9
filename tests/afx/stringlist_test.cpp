// CStringList: exact search, removal anywhere, and order that the block size never changes.
#include <afxwin.h>

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Forward(const CStringList& list)
{
    std::vector<std::string> v;
    for (POSITION pos = list.GetHeadPosition(); pos != NULL;)
        v.push_back(static_cast<LPCSTR>(list.GetNext(pos)));
    return v;
}

std::vector<std::string> Backward(const CStringList& list)
{
    std::vector<std::string> v;
    for (POSITION pos = list.GetTailPosition(); pos != NULL;)
        v.insert(v.begin(), static_cast<LPCSTR>(list.GetPrev(pos)));
    return v;
}

// The index of a position in the list, -1 for NULL.
int IndexOf(const CStringList& list, POSITION target)
{
    int i = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != NULL; ++i)
    {
        if (pos == target)
            return i;
        list.GetNext(pos);
    }
    return -1;
}

TEST(CStringList, FindIsExactAndCaseSensitive)
{
    CStringList list;
    for (const char* s : { "Alpha", "alpha", "Beta", "Alpha", "Alpha ", "\xC4rger" })
        list.AddTail(s);
    POSITION first = list.Find("Alpha");
    struct Case
    {
        const char* name;
        const char* value;
        POSITION startAfter;
        int expectedIndex;
    } cases[] = {
        { "first of two", "Alpha", NULL, 0 },
        { "lower case is another name", "alpha", NULL, 1 },
        { "upper case matches nothing", "ALPHA", NULL, -1 },
        { "prefix matches nothing", "Alph", NULL, -1 },
        { "trailing blank is part of the name", "Alpha ", NULL, 4 },
        { "after the first", "Alpha", first, 3 },
        { "bytes above 127", "\xC4rger", NULL, 5 },
        { "empty text", "", NULL, -1 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(IndexOf(list, list.Find(c.value, c.startAfter)), c.expectedIndex) << c.name;
}

TEST(CStringList, RemoveAtKeepsTheLinksBothWays)
{
    struct Case
    {
        const char* name;
        int removeIndex;
        std::vector<std::string> expected;
    } cases[] = {
        { "head", 0, { "b", "c", "d" } },
        { "middle", 2, { "a", "b", "d" } },
        { "tail", 3, { "a", "b", "c" } },
    };
    for (const Case& c : cases)
    {
        CStringList list;
        for (const char* s : { "a", "b", "c", "d" })
            list.AddTail(s);
        POSITION pos = list.GetHeadPosition();
        for (int i = 0; i < c.removeIndex; ++i)
            list.GetNext(pos);
        list.RemoveAt(pos);
        EXPECT_EQ(Forward(list), c.expected) << c.name;
        EXPECT_EQ(Backward(list), c.expected) << c.name;
        EXPECT_EQ(list.GetCount(), 3) << c.name;
        EXPECT_EQ(std::string(list.GetHead()), c.expected.front()) << c.name;
        EXPECT_EQ(std::string(list.GetTail()), c.expected.back()) << c.name;
    }
}

TEST(CStringList, HeadAndTailOperations)
{
    CStringList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), (POSITION)NULL);
    list.AddTail("b");
    list.AddHead("a");
    list.AddTail("c");
    EXPECT_EQ(Forward(list), (std::vector<std::string>{ "a", "b", "c" }));
    EXPECT_EQ(std::string(list.RemoveHead()), "a");
    EXPECT_EQ(std::string(list.RemoveTail()), "c");
    EXPECT_EQ(std::string(list.RemoveTail()), "b");
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetTailPosition(), (POSITION)NULL);
    list.AddTail("again");   // usable after being emptied
    EXPECT_EQ(Forward(list), (std::vector<std::string>{ "again" }));
    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    list.AddHead("after RemoveAll");
    EXPECT_EQ(Forward(list), (std::vector<std::string>{ "after RemoveAll" }));
}

TEST(CStringList, BlockSizeNeverChangesTheContent)
{
    for (int nBlockSize : { 1, 2, 3, 10, 1000, 0, -5 })
    {
        CStringList list(nBlockSize);
        std::list<std::string> model;
        for (int i = 0; i < 40; ++i)
        {
            std::string s = "name" + std::to_string(i);
            if (i % 3 == 0)
            {
                list.AddHead(s.c_str());
                model.push_front(s);
            }
            else
            {
                list.AddTail(s.c_str());
                model.push_back(s);
            }
            if (i % 7 == 6)   // freed nodes are reused by later additions
            {
                list.RemoveHead();
                model.pop_front();
                list.RemoveTail();
                model.pop_back();
            }
        }
        const std::vector<std::string> expected(model.begin(), model.end());
        EXPECT_EQ(Forward(list), expected) << "block size " << nBlockSize;
        EXPECT_EQ(Backward(list), expected) << "block size " << nBlockSize;
        EXPECT_EQ(list.GetCount(), (int)expected.size()) << "block size " << nBlockSize;
    }
}

TEST(CStringList, GetAtAndSetAtWorkOnTheElement)
{
    CStringList list;
    POSITION pos = list.AddTail("old");
    list.SetAt(pos, "new");
    EXPECT_EQ(std::string(list.GetAt(pos)), "new");
    list.GetAt(pos) += "er";
    EXPECT_EQ(std::string(list.GetHead()), "newer");
}

}  // namespace

// The order in which the transfer dialog hands rows to its sorted lists: descending as the
// list view compares them (lstrcmpW, the platform's linguistic order), equal names in their
// original order, so that each row lands with one comparison and the list ends as adding
// the rows one by one in their original order leaves it.
#include <gtest/gtest.h>

#include <afxwin.h>

#include <random>
#include <string>
#include <vector>

#include "SortedListOrder.h"

namespace {

std::wstring Wide(const CString& text)
{
    std::wstring wide(static_cast<size_t>(text.GetLength()) + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

// What the list view needs: each name not greater than the one before it, and names that
// compare equal in their original order.
void ExpectCheapestOrder(const std::vector<CString>& names, const std::vector<size_t>& order)
{
    ASSERT_EQ(order.size(), names.size());
    std::vector<bool> seen(names.size(), false);
    for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_LT(order[i], names.size());
        EXPECT_FALSE(seen[order[i]]) << "position " << order[i] << " twice";
        seen[order[i]] = true;
        if (i == 0)
            continue;
        const int nOrder = lstrcmpW(Wide(names[order[i - 1]]).c_str(), Wide(names[order[i]]).c_str());
        EXPECT_TRUE(nOrder > 0 || (nOrder == 0 && order[i - 1] < order[i]))
            << "\"" << static_cast<LPCSTR>(names[order[i - 1]]) << "\" (" << order[i - 1] << ") before \""
            << static_cast<LPCSTR>(names[order[i]]) << "\" (" << order[i] << ")";
    }
}

TEST(CheapestSortedInsertOrder, DescendsAsTheListViewComparesEqualNamesInTheirOrder)
{
    struct Case {
        const char* name;
        std::vector<CString> names;
        std::vector<size_t> expected;
    } cases[] = {
        { "none", {}, {} },
        { "one", { "Alpha" }, { 0 } },
        { "letters", { "b", "a", "c" }, { 2, 0, 1 } },
        { "equal names keep their order", { "x", "y", "x", "x" }, { 1, 0, 2, 3 } },
        { "lower case before upper case", { "A", "a", "b", "B" }, { 3, 2, 0, 1 } },
        { "digits before letters", { "Log-2", "Log-10", "Log-A" }, { 2, 0, 1 } },
        { "empty name first", { "a", "", "b" }, { 2, 0, 1 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<size_t> order = CheapestSortedInsertOrder(c.names);
        EXPECT_EQ(order, c.expected);
        ExpectCheapestOrder(c.names, order);
    }
}

// Names of every kind the platform weighs apart from their bytes: case, hyphens and
// apostrophes (which weigh little), spaces, digits, letters of the code page with accents,
// and names that come more than once.
TEST(CheapestSortedInsertOrder, HoldsForMixedNamesOfTheCodePage)
{
    const char* const parts[] = { "a", "A", "b",    "B",    "-", "'", " ",    "0",  "1",  "9",
                                  "z", "Z", "\xE9", "\xC9", "e", "E", "\xDF", "ss", "co", "op" };
    std::mt19937 random(25);
    std::vector<CString> names;
    for (int i = 0; i < 2000; ++i) {
        std::string name;
        const int nParts = 1 + static_cast<int>(random() % 5);
        for (int p = 0; p < nParts; ++p)
            name += parts[random() % (sizeof parts / sizeof parts[0])];
        names.push_back(CString(name.c_str()));
        if (random() % 10 == 0)
            names.push_back(CString(name.c_str()));  // the same name again
    }
    ExpectCheapestOrder(names, CheapestSortedInsertOrder(names));
}

}  // namespace

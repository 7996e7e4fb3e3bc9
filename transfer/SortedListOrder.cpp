// SortedListOrder.cpp - descending by the list view's own comparison.
#include "SortedListOrder.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace {

// The list view keeps its texts in UTF-16, converted from the ANSI code page, and
// compares them with lstrcmpW: compare the same texts the same way.
std::wstring ListViewText(const CString& text)
{
    const int nLength = text.GetLength();
    if (nLength == 0)
        return std::wstring();
    const int nWide = ::MultiByteToWideChar(CP_ACP, 0, text, nLength, NULL, 0);
    std::wstring wide(static_cast<size_t>(nWide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, nLength, &wide[0], nWide);
    return wide;
}

}  // namespace

std::vector<size_t> CheapestSortedInsertOrder(const std::vector<CString>& names)
{
    std::vector<std::wstring> keys;
    keys.reserve(names.size());
    for (const CString& name : names)
        keys.push_back(ListViewText(name));

    std::vector<size_t> order(names.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
        return ::lstrcmpW(keys[a].c_str(), keys[b].c_str()) > 0;
    });
    return order;
}

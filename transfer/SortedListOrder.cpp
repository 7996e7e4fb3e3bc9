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

// The text's sort key in the locale lstrcmpW compares by (the thread's), with its flags
// (none): the platform's linguistic order as bytes. Empty when the platform gives none.
std::string SortKey(LCID lcid, const std::wstring& text)
{
    const int nBytes = ::LCMapStringW(lcid, LCMAP_SORTKEY, text.c_str(), -1, NULL, 0);
    if (nBytes <= 0)
        return std::string();
    std::string key(static_cast<size_t>(nBytes), '\0');
    if (::LCMapStringW(lcid, LCMAP_SORTKEY, text.c_str(), -1, reinterpret_cast<LPWSTR>(&key[0]), nBytes) != nBytes)
        return std::string();
    return key;
}

// Descending by lstrcmpW, equal texts in their original order: what the list view needs.
bool IsCheapestOrder(const std::vector<std::wstring>& keys, const std::vector<size_t>& order)
{
    for (size_t i = 1; i < order.size(); ++i)
    {
        const int nOrder = ::lstrcmpW(keys[order[i - 1]].c_str(), keys[order[i]].c_str());
        if (nOrder < 0 || (nOrder == 0 && order[i - 1] > order[i]))
            return false;
    }
    return true;
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

    // Sorting by lstrcmpW walks the platform's tables for every comparison: 5,000 names
    // took 25 ms under Wine, 200 ms in the emulated 32-bit one, most of what listing them
    // costs the dialog. Sort keys of the same order compare as bytes, made once a name;
    // the order they give is then checked with lstrcmpW itself, one comparison a name, and
    // used only where the two agree everywhere.
    const LCID lcid = ::GetThreadLocale();
    std::vector<std::string> sortKeys;
    sortKeys.reserve(keys.size());
    bool bKeyed = true;
    for (const std::wstring& key : keys)
    {
        sortKeys.push_back(SortKey(lcid, key));
        bKeyed = bKeyed && !sortKeys.back().empty();
    }
    if (bKeyed)
    {
        std::stable_sort(order.begin(), order.end(),
                         [&sortKeys](size_t a, size_t b) { return sortKeys[a] > sortKeys[b]; });
        if (IsCheapestOrder(keys, order))
            return order;
        std::iota(order.begin(), order.end(), size_t(0));
    }
    std::stable_sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
        return ::lstrcmpW(keys[a].c_str(), keys[b].c_str()) > 0;
    });
    return order;
}

// TreeModel.cpp - the labels kept in one buffer, searched as UTF-16 text; the tree view filled
// with items that have children first, level by level, then the leaves.
#include "TreeModel.h"

#include <algorithm>
#include <new>
#include <string_view>

namespace {

std::wstring Widen(const char* psz, size_t nLength)
{
    if (nLength == 0)
        return std::wstring();
    const int nWide = MultiByteToWideChar(CP_ACP, 0, psz, static_cast<int>(nLength), NULL, 0);
    std::wstring wide(static_cast<size_t>(nWide > 0 ? nWide : 0), L'\0');
    if (nWide > 0)
        MultiByteToWideChar(CP_ACP, 0, psz, static_cast<int>(nLength), &wide[0], nWide);
    return wide;
}

void Fold(std::wstring& text)
{
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
}

bool IsWordCharacter(wchar_t ch)
{
    return ch == L'_' || IsCharAlphaNumericW(ch);
}

}  // namespace

void CTreeModel::Clear()
{
    m_text.clear();
    m_starts.clear();
    m_depths.clear();
    m_handles.clear();
    m_bWide = m_bFolded = false;
    m_wide.clear();
    m_folded.clear();
    m_wideStarts.clear();
}

void CTreeModel::Add(const char* pszLabel, size_t nLength, int nDepth)
{
    nDepth = std::max(0, std::min(nDepth, m_depths.empty() ? 0 : m_depths.back() + 1));
    if (m_text.size() + nLength >= UINT32_MAX)
        throw std::bad_alloc();
    m_depths.push_back(nDepth);
    m_starts.push_back(static_cast<uint32_t>(m_text.size()));
    m_text.append(pszLabel, nLength);
    m_text.push_back('\0');
    m_handles.push_back(NULL);
    m_bWide = m_bFolded = false;
}

void CTreeModel::Release()
{
    Clear();
    std::string().swap(m_text);
    std::vector<uint32_t>().swap(m_starts);
    std::vector<int>().swap(m_depths);
    std::vector<HTREEITEM>().swap(m_handles);
    std::wstring().swap(m_wide);
    std::wstring().swap(m_folded);
    std::vector<size_t>().swap(m_wideStarts);
}

int CTreeModel::GetParent(int nItem) const
{
    const int nDepth = m_depths[static_cast<size_t>(nItem)];
    while (nDepth > 0 && nItem-- > 0)
        if (m_depths[static_cast<size_t>(nItem)] < nDepth)
            return nItem;
    return -1;
}

int CTreeModel::IndexOf(HTREEITEM hItem) const
{
    if (hItem == NULL)
        return -1;
    auto it = std::find(m_handles.begin(), m_handles.end(), hItem);
    return it == m_handles.end() ? -1 : static_cast<int>(it - m_handles.begin());
}

// Wine's tree view finds the item behind a handle by scanning its items in the order they
// were made. Made in the order of the file, every item's parent is one of the latest, and
// each insert scans nearly the whole tree. Made with every item that has children first,
// level by level, and then the leaves, a parent is found among the first third or so of the
// items. The tree ends the same: every item under the same parent, siblings in the order of
// the file.
int CTreeModel::InsertInto(CTreeCtrl* pTree)
{
    const int nCount = GetCount();
    // Every item's parent, and the children of every item as a chain in the order added (the
    // top level's in the last slot): three numbers an item, only while inserting.
    std::vector<int> parents(static_cast<size_t>(nCount), -1);
    std::vector<int> firstChild(static_cast<size_t>(nCount) + 1, -1);
    std::vector<int> nextSibling(static_cast<size_t>(nCount), -1);
    {
        std::vector<int> path;  // the last item and its ancestors, by depth
        std::vector<int> lastChild(static_cast<size_t>(nCount) + 1, -1);
        for (int nItem = 0; nItem < nCount; ++nItem)
        {
            path.resize(static_cast<size_t>(m_depths[static_cast<size_t>(nItem)]));
            parents[static_cast<size_t>(nItem)] = path.empty() ? -1 : path.back();
            path.push_back(nItem);
            const size_t nSlot = static_cast<size_t>(path.size() > 1 ? path[path.size() - 2] : nCount);
            if (lastChild[nSlot] < 0)
                firstChild[nSlot] = nItem;
            else
                nextSibling[static_cast<size_t>(lastChild[nSlot])] = nItem;
            lastChild[nSlot] = nItem;
        }
    }
    auto hasChildren = [&firstChild](int nItem) { return firstChild[static_cast<size_t>(nItem)] >= 0; };
    auto insert = [&](int nItem, HTREEITEM hParent, HTREEITEM hAfter) {
        m_handles[static_cast<size_t>(nItem)] =
            pTree->InsertItem(m_text.c_str() + m_starts[static_cast<size_t>(nItem)], hParent, hAfter);
    };

    // The items with children, level by level: each after its parent, and among its
    // siblings with children in the order added.
    std::vector<int> levelOrder;
    for (int nItem = firstChild[static_cast<size_t>(nCount)]; nItem >= 0; nItem = nextSibling[static_cast<size_t>(nItem)])
        if (hasChildren(nItem))
            levelOrder.push_back(nItem);
    for (size_t nNext = 0; nNext < levelOrder.size(); ++nNext)
    {
        const int nItem = levelOrder[nNext];
        const int nParent = parents[static_cast<size_t>(nItem)];
        HTREEITEM hParent = nParent >= 0 ? m_handles[static_cast<size_t>(nParent)] : TVI_ROOT;
        if (hParent == NULL)
            continue;  // its parent was refused
        insert(nItem, hParent, TVI_LAST);
        for (int nChild = firstChild[static_cast<size_t>(nItem)]; nChild >= 0; nChild = nextSibling[static_cast<size_t>(nChild)])
            if (hasChildren(nChild))
                levelOrder.push_back(nChild);
    }
    std::vector<int>().swap(levelOrder);

    // The leaves, between their siblings with children: a run of leaves that follows such a
    // sibling goes in after it, last leaf first, a run before the first one goes in first
    // last leaf first, and the run at the end goes in last. The tree view then looks up only
    // the parent and that sibling, both among the first items made.
    std::vector<int> run;
    for (int nSlot = 0; nSlot <= nCount; ++nSlot)
    {
        HTREEITEM hParent = nSlot < nCount ? m_handles[static_cast<size_t>(nSlot)] : TVI_ROOT;
        if (firstChild[static_cast<size_t>(nSlot)] < 0 || hParent == NULL)
            continue;
        HTREEITEM hAfter = TVI_FIRST;
        run.clear();
        for (int nSibling = firstChild[static_cast<size_t>(nSlot)];; nSibling = nextSibling[static_cast<size_t>(nSibling)])
        {
            if (nSibling < 0)
            {
                for (int nLeaf : run)
                    insert(nLeaf, hParent, TVI_LAST);
                break;
            }
            if (!hasChildren(nSibling))
            {
                run.push_back(nSibling);
                continue;
            }
            if (hAfter != NULL)
                for (size_t nLeaf = run.size(); nLeaf-- > 0;)
                    insert(run[nLeaf], hParent, hAfter);
            hAfter = m_handles[static_cast<size_t>(nSibling)];
            run.clear();
        }
    }
    std::vector<int>().swap(parents);
    std::vector<int>().swap(firstChild);
    std::vector<int>().swap(nextSibling);
    const int nRefused = static_cast<int>(std::count(m_handles.begin(), m_handles.end(), static_cast<HTREEITEM>(NULL)));
    if (nRefused > 0)
        DropRefused();
    m_text.shrink_to_fit();
    m_starts.shrink_to_fit();
    m_depths.shrink_to_fit();
    m_handles.shrink_to_fit();
    return nRefused;
}

void CTreeModel::DropRefused()
{
    // A refused item's subtree was never inserted: the items kept stay in display order and
    // keep their depths.
    std::string text;
    size_t nKept = 0;
    for (size_t nItem = 0; nItem < m_handles.size(); ++nItem)
    {
        if (m_handles[nItem] == NULL)
            continue;
        m_depths[nKept] = m_depths[nItem];
        m_handles[nKept] = m_handles[nItem];
        const char* pszLabel = m_text.c_str() + m_starts[nItem];
        m_starts[nKept] = static_cast<uint32_t>(text.size());
        text.append(pszLabel);
        text.push_back('\0');
        ++nKept;
    }
    m_text.swap(text);
    m_depths.resize(nKept);
    m_handles.resize(nKept);
    m_starts.resize(nKept);
    m_bWide = m_bFolded = false;
}

CString CTreeModel::GetLabel(int nItem) const
{
    return CString(m_text.c_str() + m_starts[static_cast<size_t>(nItem)]);
}

int CTreeModel::GetSubtreeEnd(int nItem) const
{
    const int nCount = GetCount();
    int nEnd = nItem + 1;
    while (nEnd < nCount && m_depths[static_cast<size_t>(nEnd)] > m_depths[static_cast<size_t>(nItem)])
        ++nEnd;
    return nEnd;
}

bool CTreeModel::HasGrandchildren(int nItem) const
{
    const int nEnd = GetSubtreeEnd(nItem);
    for (int n = nItem + 1; n < nEnd; ++n)
        if (m_depths[static_cast<size_t>(n)] > m_depths[static_cast<size_t>(nItem)] + 1)
            return true;
    return false;
}

CString CTreeModel::GetBranchText(int nItem) const
{
    std::string text;
    const int nEnd = GetSubtreeEnd(nItem);
    for (int n = nItem; n < nEnd; ++n)
    {
        text.append(static_cast<size_t>(m_depths[static_cast<size_t>(n)] - m_depths[static_cast<size_t>(nItem)]), '\t');
        text.append(m_text.c_str() + m_starts[static_cast<size_t>(n)]);
        text.append("\r\n");
    }
    return CString(text.data(), static_cast<int>(text.size()));
}

void CTreeModel::PrepareWide()
{
    if (m_bWide)
        return;
    // One conversion for all the labels; the zero after each one stays a zero.
    m_wide = Widen(m_text.data(), m_text.size());
    m_wideStarts.clear();
    m_wideStarts.reserve(m_starts.size());
    size_t nStart = 0;
    for (size_t n = 0; n < m_wide.size(); ++n)
    {
        if (m_wide[n] != L'\0')
            continue;
        m_wideStarts.push_back(nStart);
        nStart = n + 1;
    }
    if (m_wideStarts.size() != m_starts.size())
    {
        // A label that ends inside a character of a double-byte code page can take its zero
        // along: convert each label on its own instead.
        m_wide.clear();
        m_wideStarts.clear();
        for (size_t n = 0; n < m_starts.size(); ++n)
        {
            const char* pszLabel = m_text.c_str() + m_starts[n];
            m_wideStarts.push_back(m_wide.size());
            std::wstring label = Widen(pszLabel, std::char_traits<char>::length(pszLabel));
            label.erase(std::remove(label.begin(), label.end(), L'\0'), label.end());
            m_wide += label;
            m_wide.push_back(L'\0');
        }
    }
    m_bWide = true;
}

void CTreeModel::PrepareFolded()
{
    PrepareWide();
    if (m_bFolded)
        return;
    m_folded = m_wide;
    Fold(m_folded);
    m_bFolded = true;
}

size_t CTreeModel::WideEnd(int nItem) const
{
    const size_t nNext = static_cast<size_t>(nItem) + 1;
    return (nNext < m_wideStarts.size() ? m_wideStarts[nNext] : m_wide.size()) - 1;
}

int CTreeModel::ItemAt(size_t nPosition) const
{
    auto it = std::upper_bound(m_wideStarts.begin(), m_wideStarts.end(), nPosition);
    return static_cast<int>(it - m_wideStarts.begin()) - 1;
}

int CTreeModel::Find(const CString& strText, bool bMatchCase, bool bWholeWord, int nFrom, bool bDown, bool* pbWrapped)
{
    if (pbWrapped != NULL)
        *pbWrapped = false;
    const int nCount = GetCount();
    if (strText.IsEmpty() || nCount == 0)
        return -1;
    if (nFrom >= nCount)
        nFrom = -1;
    bMatchCase ? PrepareWide() : PrepareFolded();
    std::wstring needle = Widen(strText, static_cast<size_t>(strText.GetLength()));
    needle.erase(std::remove(needle.begin(), needle.end(), L'\0'), needle.end());
    if (needle.empty())
        return -1;
    if (!bMatchCase)
        Fold(needle);
    const std::wstring_view text(bMatchCase ? m_wide : m_folded);
    const size_t nLength = needle.size();

    // A match never spans two labels: the zero between them is in no needle.
    auto isWhole = [&](size_t nAt) {
        return (nAt == 0 || !IsWordCharacter(text[nAt - 1])) &&
               (nAt + nLength >= text.size() || !IsWordCharacter(text[nAt + nLength]));
    };
    auto firstIn = [&](size_t nBegin, size_t nEnd) -> size_t {
        for (size_t nAt = text.find(needle, nBegin); nAt != std::wstring_view::npos && nAt + nLength <= nEnd;
             nAt = text.find(needle, nAt + 1))
            if (!bWholeWord || isWhole(nAt))
                return nAt;
        return std::wstring_view::npos;
    };
    auto lastIn = [&](size_t nBegin, size_t nEnd) -> size_t {
        if (nEnd < nBegin + nLength)
            return std::wstring_view::npos;
        const wchar_t chFirst = needle[0];
        for (size_t nAt = nEnd - nLength + 1; nAt-- > nBegin;)
            if (text[nAt] == chFirst && text.compare(nAt, nLength, needle) == 0 && (!bWholeWord || isWhole(nAt)))
                return nAt;
        return std::wstring_view::npos;
    };

    size_t nAt;
    if (bDown)
    {
        const size_t nAfter = nFrom < 0 ? 0 : WideEnd(nFrom) + 1;
        nAt = firstIn(nAfter, text.size());
        if (nAt == std::wstring_view::npos && nFrom >= 0)
        {
            nAt = firstIn(0, nAfter);
            if (pbWrapped != NULL)
                *pbWrapped = nAt != std::wstring_view::npos;
        }
    }
    else
    {
        const size_t nBefore = nFrom < 0 ? text.size() : m_wideStarts[static_cast<size_t>(nFrom)];
        nAt = lastIn(0, nBefore);
        if (nAt == std::wstring_view::npos && nFrom >= 0)
        {
            nAt = lastIn(nBefore, text.size());
            if (pbWrapped != NULL)
                *pbWrapped = nAt != std::wstring_view::npos;
        }
    }
    return nAt == std::wstring_view::npos ? -1 : ItemAt(nAt);
}

// TreeLabels.cpp - the labels kept in one buffer, searched as UTF-16 text.
#include "TreeLabels.h"

#include <algorithm>
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

void CTreeLabels::Clear()
{
    m_text.clear();
    m_starts.clear();
    m_depths.clear();
    m_parents.clear();
    m_path.clear();
    m_bWide = m_bFolded = false;
    m_wide.clear();
    m_folded.clear();
    m_wideStarts.clear();
}

void CTreeLabels::Add(const CString& strLabel, int nDepth)
{
    nDepth = std::max(0, std::min(nDepth, static_cast<int>(m_path.size())));
    m_path.resize(static_cast<size_t>(nDepth));
    m_parents.push_back(nDepth > 0 ? m_path.back() : -1);
    m_path.push_back(GetCount());
    m_depths.push_back(nDepth);
    m_starts.push_back(m_text.size());
    m_text.append(static_cast<LPCSTR>(strLabel), static_cast<size_t>(strLabel.GetLength()));
    m_text.push_back('\0');
    m_bWide = m_bFolded = false;
}

CString CTreeLabels::GetLabel(int nItem) const
{
    return CString(m_text.c_str() + m_starts[static_cast<size_t>(nItem)]);
}

int CTreeLabels::GetSubtreeEnd(int nItem) const
{
    const int nCount = GetCount();
    int nEnd = nItem + 1;
    while (nEnd < nCount && m_depths[static_cast<size_t>(nEnd)] > m_depths[static_cast<size_t>(nItem)])
        ++nEnd;
    return nEnd;
}

bool CTreeLabels::HasGrandchildren(int nItem) const
{
    const int nEnd = GetSubtreeEnd(nItem);
    for (int n = nItem + 1; n < nEnd; ++n)
        if (m_depths[static_cast<size_t>(n)] > m_depths[static_cast<size_t>(nItem)] + 1)
            return true;
    return false;
}

CString CTreeLabels::GetBranchText(int nItem) const
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

void CTreeLabels::PrepareWide()
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

void CTreeLabels::PrepareFolded()
{
    PrepareWide();
    if (m_bFolded)
        return;
    m_folded = m_wide;
    Fold(m_folded);
    m_bFolded = true;
}

size_t CTreeLabels::WideEnd(int nItem) const
{
    const size_t nNext = static_cast<size_t>(nItem) + 1;
    return (nNext < m_wideStarts.size() ? m_wideStarts[nNext] : m_wide.size()) - 1;
}

int CTreeLabels::ItemAt(size_t nPosition) const
{
    auto it = std::upper_bound(m_wideStarts.begin(), m_wideStarts.end(), nPosition);
    return static_cast<int>(it - m_wideStarts.begin()) - 1;
}

int CTreeLabels::Find(const CString& strText, bool bMatchCase, bool bWholeWord, int nFrom, bool bDown, bool* pbWrapped)
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

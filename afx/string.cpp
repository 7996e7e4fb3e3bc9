// CString: one pointer to zero-terminated bytes, preceded by a header with the sizes.
#include "afx.h"
#include "afximpl.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct CStringData
{
    int nDataLength;    // bytes in use, without the terminator
    int nAllocLength;   // bytes available, without the terminator
    char* data() { return reinterpret_cast<char*>(this + 1); }
};

// Every empty CString that owns no buffer points here; it is never written.
struct
{
    CStringData header;
    char zero;
} g_empty = { { 0, 0 }, 0 };

char* EmptyData() { return g_empty.header.data(); }

CStringData* HeaderOf(const char* p) { return reinterpret_cast<CStringData*>(const_cast<char*>(p)) - 1; }

int SafeLength(const char* psz) { return psz != NULL ? (int)strlen(psz) : 0; }

// Out of memory is not a C++ exception here: one could not cross the DLL boundary.
void NoMemory() { RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, NULL); }

char* AllocData(int nLength)
{
    if (nLength < 0 || nLength > 0x3FFFFFF0)
        NoMemory();
    CStringData* p = static_cast<CStringData*>(AfxAllocOrNewHandler(sizeof(CStringData) + nLength + 1));
    if (p == NULL)
        NoMemory();
    p->nDataLength = nLength;
    p->nAllocLength = nLength;
    p->data()[nLength] = '\0';
    return p->data();
}

void FreeData(char* p)
{
    if (p != EmptyData())
        free(HeaderOf(p));
}

}  // namespace

namespace {
_PNH volatile s_pfnNewHandler = NULL;
}

_PNH AFXAPI AfxSetNewHandler(_PNH pfnNewHandler)
{
    return reinterpret_cast<_PNH>(InterlockedExchangePointer(
        reinterpret_cast<PVOID volatile*>(&s_pfnNewHandler), reinterpret_cast<PVOID>(pfnNewHandler)));
}

_PNH AFXAPI AfxGetNewHandler() { return s_pfnNewHandler; }

void* AfxAllocOrNewHandler(size_t nBytes)
{
    for (;;)
    {
        void* p = malloc(nBytes);
        if (p != NULL)
            return p;
        _PNH pfnHandler = s_pfnNewHandler;
        if (pfnHandler == NULL || pfnHandler(nBytes) == 0)
            return NULL;
    }
}

CString::CString() : m_pchData(EmptyData()) {}

CString::CString(const CString& stringSrc) : m_pchData(EmptyData())
{
    AllocCopy(stringSrc.m_pchData, stringSrc.GetLength());
}

CString::CString(CString&& stringSrc) noexcept : m_pchData(stringSrc.m_pchData)
{
    stringSrc.m_pchData = EmptyData();
}

CString::CString(LPCSTR lpsz) : m_pchData(EmptyData())
{
    AllocCopy(lpsz, SafeLength(lpsz));
}

CString::CString(LPCSTR lpch, int nLength) : m_pchData(EmptyData())
{
    AllocCopy(lpch, lpch != NULL && nLength > 0 ? nLength : 0);
}

CString::~CString() { FreeData(m_pchData); }

void CString::InitRepeat(char ch, int nRepeat)
{
    m_pchData = EmptyData();
    if (nRepeat > 0)
    {
        m_pchData = AllocData(nRepeat);
        memset(m_pchData, ch, nRepeat);
    }
}

// Replaces the text with nLength bytes from pch (which may point into this string).
void CString::AllocCopy(const char* pch, int nLength)
{
    if (nLength <= 0)
    {
        Empty();
        return;
    }
    if (nLength <= AllocLength())
    {
        memmove(m_pchData, pch, nLength);
        SetLength(nLength);
        return;
    }
    char* pNew = AllocData(nLength);
    memcpy(pNew, pch, nLength);
    FreeData(m_pchData);
    m_pchData = pNew;
}

void CString::ConcatInPlace(const char* pch, int nLength)
{
    if (nLength <= 0)
        return;
    int nOld = GetLength();
    if (nOld + nLength <= AllocLength())
    {
        memmove(m_pchData + nOld, pch, nLength);
        SetLength(nOld + nLength);
        return;
    }
    int nAlloc = nOld + nLength;
    nAlloc += nAlloc / 2;   // geometric growth keeps repeated += linear
    char* pNew = AllocData(nAlloc);
    memcpy(pNew, m_pchData, nOld);
    memcpy(pNew + nOld, pch, nLength);
    FreeData(m_pchData);
    m_pchData = pNew;
    SetLength(nOld + nLength);
}

int CString::AllocLength() const { return HeaderOf(m_pchData)->nAllocLength; }

void CString::SetLength(int nLength)
{
    if (m_pchData == EmptyData())
        return;
    HeaderOf(m_pchData)->nDataLength = nLength;
    m_pchData[nLength] = '\0';
}

int CString::GetLength() const { return HeaderOf(m_pchData)->nDataLength; }
BOOL CString::IsEmpty() const { return GetLength() == 0; }

void CString::Empty()
{
    FreeData(m_pchData);
    m_pchData = EmptyData();
}

char CString::GetAt(int nIndex) const
{
    ASSERT(nIndex >= 0 && nIndex < GetLength());
    return nIndex >= 0 && nIndex < GetLength() ? m_pchData[nIndex] : '\0';
}

char CString::operator[](int nIndex) const { return GetAt(nIndex); }

void CString::SetAt(int nIndex, char ch)
{
    ASSERT(nIndex >= 0 && nIndex < GetLength());
    if (nIndex >= 0 && nIndex < GetLength())
        m_pchData[nIndex] = ch;
}

const CString& CString::operator=(const CString& stringSrc)
{
    if (this != &stringSrc)
        AllocCopy(stringSrc.m_pchData, stringSrc.GetLength());
    return *this;
}

const CString& CString::operator=(CString&& stringSrc) noexcept
{
    if (this != &stringSrc)
    {
        FreeData(m_pchData);
        m_pchData = stringSrc.m_pchData;
        stringSrc.m_pchData = EmptyData();
    }
    return *this;
}

const CString& CString::operator=(LPCSTR lpsz)
{
    AllocCopy(lpsz, SafeLength(lpsz));
    return *this;
}

const CString& CString::operator+=(const CString& string)
{
    ConcatInPlace(string.m_pchData, string.GetLength());
    return *this;
}

const CString& CString::operator+=(LPCSTR lpsz)
{
    ConcatInPlace(lpsz, SafeLength(lpsz));
    return *this;
}

const CString& CString::operator+=(char ch)
{
    ConcatInPlace(&ch, 1);
    return *this;
}

static CString Concat(const char* p1, int n1, const char* p2, int n2)
{
    CString s;
    char* p = s.GetBufferSetLength(n1 + n2);
    memcpy(p, p1, n1);
    memcpy(p + n1, p2, n2);
    return s;
}

CString AFXAPI operator+(const CString& s1, const CString& s2)
{
    return Concat(s1, s1.GetLength(), s2, s2.GetLength());
}
CString AFXAPI operator+(const CString& s, LPCSTR lpsz)
{
    return Concat(s, s.GetLength(), lpsz != NULL ? lpsz : "", SafeLength(lpsz));
}
CString AFXAPI operator+(LPCSTR lpsz, const CString& s)
{
    return Concat(lpsz != NULL ? lpsz : "", SafeLength(lpsz), s, s.GetLength());
}
CString AFXAPI operator+(const CString& s, char ch) { return Concat(s, s.GetLength(), &ch, 1); }
CString AFXAPI operator+(char ch, const CString& s) { return Concat(&ch, 1, s, s.GetLength()); }

int CString::Compare(LPCSTR lpsz) const { return strcmp(m_pchData, lpsz != NULL ? lpsz : ""); }
// ASCII letters fold; every other byte compares by its unsigned value, whatever the locale.
int CString::CompareNoCase(LPCSTR lpsz) const
{
    const unsigned char* p1 = reinterpret_cast<const unsigned char*>(m_pchData);
    const unsigned char* p2 = reinterpret_cast<const unsigned char*>(lpsz != NULL ? lpsz : "");
    for (;; ++p1, ++p2)
    {
        int c1 = *p1 >= 'A' && *p1 <= 'Z' ? *p1 + ('a' - 'A') : *p1;
        int c2 = *p2 >= 'A' && *p2 <= 'Z' ? *p2 + ('a' - 'A') : *p2;
        if (c1 != c2 || c1 == 0)
            return c1 - c2;
    }
}

bool AFXAPI operator==(const CString& s1, const CString& s2) { return s1.Compare(s2) == 0; }
bool AFXAPI operator==(const CString& s1, LPCSTR s2) { return s1.Compare(s2) == 0; }
bool AFXAPI operator==(LPCSTR s1, const CString& s2) { return s2.Compare(s1) == 0; }
bool AFXAPI operator!=(const CString& s1, const CString& s2) { return s1.Compare(s2) != 0; }
bool AFXAPI operator!=(const CString& s1, LPCSTR s2) { return s1.Compare(s2) != 0; }
bool AFXAPI operator!=(LPCSTR s1, const CString& s2) { return s2.Compare(s1) != 0; }
bool AFXAPI operator<(const CString& s1, const CString& s2) { return s1.Compare(s2) < 0; }
bool AFXAPI operator<(const CString& s1, LPCSTR s2) { return s1.Compare(s2) < 0; }
bool AFXAPI operator<(LPCSTR s1, const CString& s2) { return s2.Compare(s1) > 0; }
bool AFXAPI operator>(const CString& s1, const CString& s2) { return s1.Compare(s2) > 0; }
bool AFXAPI operator>(const CString& s1, LPCSTR s2) { return s1.Compare(s2) > 0; }
bool AFXAPI operator>(LPCSTR s1, const CString& s2) { return s2.Compare(s1) < 0; }

CString CString::Mid(int nFirst, int nCount) const
{
    int nLength = GetLength();
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > nLength)
        nFirst = nLength;
    if (nCount < 0)
        nCount = 0;
    if (nCount > nLength - nFirst)
        nCount = nLength - nFirst;
    return CString(m_pchData + nFirst, nCount);
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }
CString CString::Left(int nCount) const { return Mid(0, nCount); }

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return CString(m_pchData + GetLength() - nCount, nCount);
}

// Byte-wise, so that texts with bytes above 127 keep those bytes unchanged.
void CString::MakeUpper()
{
    for (int i = 0; i < GetLength(); ++i)
        if (m_pchData[i] >= 'a' && m_pchData[i] <= 'z')
            m_pchData[i] = (char)(m_pchData[i] - 'a' + 'A');
}

void CString::MakeLower()
{
    for (int i = 0; i < GetLength(); ++i)
        if (m_pchData[i] >= 'A' && m_pchData[i] <= 'Z')
            m_pchData[i] = (char)(m_pchData[i] - 'A' + 'a');
}

int CString::Find(char ch) const
{
    const char* p = static_cast<const char*>(memchr(m_pchData, ch, GetLength()));
    return p != NULL ? (int)(p - m_pchData) : -1;
}

int CString::Find(LPCSTR lpszSub) const
{
    if (lpszSub == NULL)
        return -1;
    const char* p = strstr(m_pchData, lpszSub);
    return p != NULL ? (int)(p - m_pchData) : -1;
}

int CString::ReverseFind(char ch) const
{
    for (int i = GetLength() - 1; i >= 0; --i)
        if (m_pchData[i] == ch)
            return i;
    return -1;
}

void CString::FormatArgs(LPCSTR lpszFormat, ...)
{
    va_list args;
    va_start(args, lpszFormat);
    FormatV(lpszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCSTR lpszFormat, va_list argList)
{
    if (lpszFormat == NULL)
    {
        Empty();
        return;
    }
    // Grow until the text fits: some C runtimes answer -1 instead of the needed size.
    int nSize = 256;
    for (;;)
    {
        CString result;
        char* p = result.GetBuffer(nSize);
        va_list args;
        va_copy(args, argList);
        int n = vsnprintf(p, nSize + 1, lpszFormat, args);
        va_end(args);
        if (n >= 0 && n <= nSize)
        {
            result.ReleaseBuffer(n);
            *this = result;
            return;
        }
        if (nSize > 0x3FFFFFF0 / 2)
            NoMemory();
        nSize = n > nSize ? n : nSize * 2;
    }
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength < 0)
        nMinBufLength = 0;
    if (nMinBufLength > AllocLength() || m_pchData == EmptyData())
    {
        int nOld = GetLength();
        char* pNew = AllocData(nMinBufLength > nOld ? nMinBufLength : nOld);
        memcpy(pNew, m_pchData, nOld + 1);
        FreeData(m_pchData);
        m_pchData = pNew;
        HeaderOf(m_pchData)->nDataLength = nOld;
    }
    return m_pchData;
}

LPSTR CString::GetBufferSetLength(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = 0;
    GetBuffer(nNewLength);
    SetLength(nNewLength);
    return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (m_pchData == EmptyData())
        return;
    if (nNewLength < 0)
        nNewLength = (int)strnlen(m_pchData, AllocLength());
    if (nNewLength > AllocLength())
        nNewLength = AllocLength();
    SetLength(nNewLength);
}

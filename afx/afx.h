// derafx core: export macros, CString, CTime, CFile. The window classes are in afxwin.h,
// which includes this header; dialog code includes afxwin.h (or afxext.h) as with MFC.
#ifndef DERAFX_AFX_H
#define DERAFX_AFX_H

#ifndef STRICT
#define STRICT
#endif
#include <windows.h>
#include <stdarg.h>
#include <stddef.h>
#include <type_traits>

// Classes and functions of derafx.dll: exported while building it, imported everywhere else.
#ifdef DERAFX_BUILD
#define AFX_CLASS_EXPORT __declspec(dllexport)
#else
#define AFX_CLASS_EXPORT __declspec(dllimport)
#endif
#define AFX_API AFX_CLASS_EXPORT
#ifndef AFXAPI
#define AFXAPI __stdcall
#endif
#define afx_msg

// Debug checks. They cost nothing in release builds (NDEBUG); VERIFY still evaluates its argument.
#ifndef ASSERT
#ifdef NDEBUG
#define ASSERT(f) ((void)0)
#else
#include <assert.h>
#define ASSERT(f) assert(f)
#endif
#endif
#ifndef VERIFY
#ifdef NDEBUG
#define VERIFY(f) ((void)(f))
#else
#define VERIFY(f) ASSERT(f)
#endif
#endif

/////////////////////////////////////////////////////////////////////////////
// CString: an ANSI text of any bytes (including bytes above 127), one pointer wide.
// The bytes live on the C runtime heap, which every module of the process shares.
// Allocation failure raises the structured exception STATUS_NO_MEMORY (never a C++
// exception, which could not cross the DLL boundary).

class AFX_CLASS_EXPORT CString
{
public:
    CString();
    CString(const CString& stringSrc);
    // Takes the other's bytes without copying them; the other is left empty. Texts in
    // containers and temporaries then move instead of being copied byte by byte.
    CString(CString&& stringSrc) noexcept;
    CString(LPCSTR lpsz);               // NULL gives the empty text
    CString(LPCSTR lpch, int nLength);  // exactly nLength bytes (may include zeros)
    // One character, repeated. A template only so that CString(NULL) stays the empty text
    // instead of being ambiguous between a character and a pointer.
    template <class Ch, class = typename std::enable_if<std::is_same<Ch, char>::value>::type>
    CString(Ch ch, int nRepeat = 1) : m_pchData(NULL) { InitRepeat(ch, nRepeat); }
    ~CString();

    int GetLength() const;
    BOOL IsEmpty() const;
    void Empty();

    char GetAt(int nIndex) const;
    char operator[](int nIndex) const;
    void SetAt(int nIndex, char ch);
    operator LPCSTR() const { return m_pchData; }

    const CString& operator=(const CString& stringSrc);
    const CString& operator=(CString&& stringSrc) noexcept;
    const CString& operator=(LPCSTR lpsz);
    template <class Ch, class = typename std::enable_if<std::is_same<Ch, char>::value>::type>
    const CString& operator=(Ch ch) { return *this = CString(ch); }

    const CString& operator+=(const CString& string);
    const CString& operator+=(LPCSTR lpsz);
    const CString& operator+=(char ch);

    friend AFX_API CString AFXAPI operator+(const CString& string1, const CString& string2);
    friend AFX_API CString AFXAPI operator+(const CString& string, LPCSTR lpsz);
    friend AFX_API CString AFXAPI operator+(LPCSTR lpsz, const CString& string);
    friend AFX_API CString AFXAPI operator+(const CString& string, char ch);
    friend AFX_API CString AFXAPI operator+(char ch, const CString& string);

    // Byte comparison (strcmp): case-sensitive, no locale.
    int Compare(LPCSTR lpsz) const;
    // Comparison with the ASCII letters folded; other bytes compare by value, whatever the locale.
    int CompareNoCase(LPCSTR lpsz) const;

    CString Mid(int nFirst, int nCount) const;
    CString Mid(int nFirst) const;
    CString Left(int nCount) const;   // a count beyond the length gives the whole text
    CString Right(int nCount) const;

    void MakeUpper();
    void MakeLower();

    int Find(char ch) const;          // index of the first match, or -1
    int Find(LPCSTR lpszSub) const;
    int ReverseFind(char ch) const;

    // printf-style formatting. CString arguments may be passed directly, as in MFC: they are
    // handed on as their text (GCC would otherwise pass the object by hidden reference).
    template <class... Args>
    void Format(LPCSTR lpszFormat, const Args&... args)
    {
        FormatArgs(lpszFormat, FormatArg(args)...);
    }
    void FormatV(LPCSTR lpszFormat, va_list argList);

    // Direct access. GetBuffer makes room for at least nMinBufLength bytes plus a terminator;
    // ReleaseBuffer(-1) ends the text at its first zero byte, ReleaseBuffer(n) keeps n bytes.
    LPSTR GetBuffer(int nMinBufLength);
    LPSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    static LPCSTR FormatArg(const CString& s) { return s.m_pchData; }
    template <class T>
    static const T& FormatArg(const T& value) { return value; }
    void FormatArgs(LPCSTR lpszFormat, ...);
    void InitRepeat(char ch, int nRepeat);
    void AllocCopy(const char* pch, int nLength);
    void ConcatInPlace(const char* pch, int nLength);
    int AllocLength() const;
    void SetLength(int nLength);

    LPSTR m_pchData;   // the text, zero-terminated; a small header before it holds the sizes
};

AFX_API bool AFXAPI operator==(const CString& s1, const CString& s2);
AFX_API bool AFXAPI operator==(const CString& s1, LPCSTR s2);
AFX_API bool AFXAPI operator==(LPCSTR s1, const CString& s2);
AFX_API bool AFXAPI operator!=(const CString& s1, const CString& s2);
AFX_API bool AFXAPI operator!=(const CString& s1, LPCSTR s2);
AFX_API bool AFXAPI operator!=(LPCSTR s1, const CString& s2);
AFX_API bool AFXAPI operator<(const CString& s1, const CString& s2);
AFX_API bool AFXAPI operator<(const CString& s1, LPCSTR s2);
AFX_API bool AFXAPI operator<(LPCSTR s1, const CString& s2);
AFX_API bool AFXAPI operator>(const CString& s1, const CString& s2);
AFX_API bool AFXAPI operator>(const CString& s1, LPCSTR s2);
AFX_API bool AFXAPI operator>(LPCSTR s1, const CString& s2);

/////////////////////////////////////////////////////////////////////////////
// The function that CString and CStringList call when memory runs out, as MFC's: nonzero when it
// gave memory back and the allocation is to be tried again, 0 when it has none to give (the
// allocation then ends the process, as no C++ exception may cross the DLL boundary). Returns the
// one set before; NULL, the start, is no handler.
#ifndef _PNH_DEFINED
typedef int (__cdecl* _PNH)(size_t);
#define _PNH_DEFINED
#endif
AFX_API _PNH AFXAPI AfxSetNewHandler(_PNH pfnNewHandler);
AFX_API _PNH AFXAPI AfxGetNewHandler();

// CTime: a point in time, built from local calendar fields.
// Unlike a 32-bit time_t it covers the years 1601 to 9999 (before 1970 and after 2038 too).

class AFX_CLASS_EXPORT CTime
{
public:
    // The fields are a local time; nDST -1 lets the platform's time zone rules decide
    // whether daylight saving time applies, 0 forces standard time, 1 daylight time.
    // Fields that form no valid time (year outside 1601..9999, month 0 or 13, day 31 in
    // April, 29 February outside leap years, hour 24, minute or second 60, ...) make an
    // invalid CTime; nothing asserts.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

    // strftime-style formatting in local time with English names: %a %A %b %B %c %d %H %I
    // %j %m %M %p %S %w %x %X %y %Y %% (and the '#' flag, which drops leading zeros); other
    // sequences are copied unchanged. Returns the empty text for an invalid CTime.
    CString Format(LPCSTR pFormat) const;

private:
    __int64 m_utc;     // seconds since 1 January 1970, 00:00 UTC (negative before)
    BOOL m_bValid;
};

/////////////////////////////////////////////////////////////////////////////
// CFile: only the status query the dialogs need.

struct CFileStatus
{
    ULONGLONG m_size;                 // file size in bytes
    BYTE m_attribute;                 // FILE_ATTRIBUTE_* bits (low byte), as CFile::Attribute
    BYTE _m_padding;
    char m_szFullName[MAX_PATH];      // absolute path
};

class AFX_CLASS_EXPORT CFile
{
public:
    // TRUE when a file or directory exists at the path, as the platform resolves it for an
    // open: relative, UNC, "\\?\" (of any length) and "\\.\" paths, forward slashes, trailing
    // dots and spaces. A path ending in a separator (so a drive root) or holding wildcards
    // gives FALSE. A device or pipe ("CON", "COM1", "\\.\pipe\x") gives TRUE without being
    // opened: it is there, and whoever opens it says what it is. m_szFullName is empty when
    // the absolute path does not fit in it.
    static BOOL PASCAL GetStatus(LPCSTR lpszFileName, CFileStatus& rStatus);
};

#endif

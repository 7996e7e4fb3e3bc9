// CTime over the proleptic Gregorian calendar of Win32 (years 1601 to 9999), with the
// platform's time zone rules converting between local time and UTC.
#include "afx.h"

#include <stdio.h>

namespace {

const __int64 kSecondsPerDay = 86400;

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int kDays[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days from 1 January 1970 to the given date (negative before).
__int64 DaysFromCivil(int y, int m, int d)
{
    // Count from 1 March of year 0 so that the leap day ends each counted year.
    __int64 yy = m <= 2 ? y - 1 : y;
    __int64 era = (yy >= 0 ? yy : yy - 399) / 400;
    __int64 yoe = yy - era * 400;                          // 0..399
    __int64 doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    __int64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;   // 0..146096
    return era * 146097 + doe - 719468;                    // 719468: 0000-03-01 to 1970-01-01
}

struct Fields
{
    int year, month, day, hour, minute, second;
    int weekday;   // 0 = Sunday
    int yearday;   // 0 = 1 January
};

Fields FieldsFromSeconds(__int64 t)
{
    __int64 days = t >= 0 ? t / kSecondsPerDay : -((-t + kSecondsPerDay - 1) / kSecondsPerDay);
    __int64 secs = t - days * kSecondsPerDay;
    Fields f;
    f.hour = (int)(secs / 3600);
    f.minute = (int)(secs / 60 % 60);
    f.second = (int)(secs % 60);
    f.weekday = (int)(((days % 7) + 11) % 7);   // 1 January 1970 was a Thursday (4)
    __int64 z = days + 719468;
    __int64 era = (z >= 0 ? z : z - 146096) / 146097;
    __int64 doe = z - era * 146097;
    __int64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    __int64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    __int64 mp = (5 * doy + 2) / 153;
    f.day = (int)(doy - (153 * mp + 2) / 5 + 1);
    f.month = (int)(mp < 10 ? mp + 3 : mp - 9);
    f.year = (int)(yoe + era * 400 + (f.month <= 2 ? 1 : 0));
    f.yearday = (int)(days - DaysFromCivil(f.year, 1, 1));
    return f;
}

__int64 SecondsFromFields(int y, int m, int d, int h, int mi, int s)
{
    return DaysFromCivil(y, m, d) * kSecondsPerDay + h * 3600 + mi * 60 + s;
}

SYSTEMTIME SystemTimeFromFields(const Fields& f)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)f.year;
    st.wMonth = (WORD)f.month;
    st.wDay = (WORD)f.day;
    st.wDayOfWeek = (WORD)f.weekday;
    st.wHour = (WORD)f.hour;
    st.wMinute = (WORD)f.minute;
    st.wSecond = (WORD)f.second;
    return st;
}

// The platform's time zone rules, read again when the last read is a second old. A read
// costs far more than a conversion with the rules at hand (5 to 12 microseconds under Wine,
// against a few hundredths): a dialog that shows thousands of dates paid tens of
// milliseconds for reading the same rules twice a date. NULL when the platform has none.
const TIME_ZONE_INFORMATION* CurrentTimeZone(TIME_ZONE_INFORMATION& tzi)
{
    static SRWLOCK s_lock = SRWLOCK_INIT;
    static TIME_ZONE_INFORMATION s_tzi;
    static ULONGLONG s_nReadAt;  // GetTickCount64 of the last read
    static bool s_bRead, s_bValid;
    const ULONGLONG nNow = GetTickCount64();
    AcquireSRWLockExclusive(&s_lock);
    if (!s_bRead || nNow - s_nReadAt >= 1000)
    {
        s_bValid = GetTimeZoneInformation(&s_tzi) != TIME_ZONE_ID_INVALID;
        s_nReadAt = nNow;
        s_bRead = true;
    }
    const bool bValid = s_bValid;
    tzi = s_tzi;
    ReleaseSRWLockExclusive(&s_lock);
    return bValid ? &tzi : NULL;
}

// UTC = local + bias (minutes), for the standard or the daylight part of the year.
__int64 FixedBiasSeconds(bool bDaylight)
{
    TIME_ZONE_INFORMATION tzi;
    if (CurrentTimeZone(tzi) == NULL)
        return 0;
    return (__int64)(tzi.Bias + (bDaylight ? tzi.DaylightBias : tzi.StandardBias)) * 60;
}

// The platform's conversions work on SYSTEMTIME, which ends at 30827 and begins at 1601;
// near those ends a fixed standard bias is used instead.
bool InPlatformRange(int year) { return year > 1601 && year < 30000; }

const char* const kDayNames[7] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };
const char* const kMonthNames[12] = { "January", "February", "March", "April", "May", "June", "July",
                                      "August", "September", "October", "November", "December" };

void AppendNumber(CString& out, int value, int width, bool bNoPad)
{
    char sz[16];
    if (bNoPad)
        snprintf(sz, sizeof(sz), "%d", value);
    else
        snprintf(sz, sizeof(sz), "%0*d", width, value);
    out += sz;
}

void AppendAbbreviation(CString& out, const char* pszName)
{
    out += CString(pszName, 3);
}

}  // namespace

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST)
    : m_utc(0), m_bValid(FALSE)
{
    if (nYear < 1601 || nYear > 9999 || nMonth < 1 || nMonth > 12 || nDay < 1 ||
        nDay > DaysInMonth(nYear, nMonth) || nHour < 0 || nHour > 23 || nMin < 0 || nMin > 59 ||
        nSec < 0 || nSec > 59)
        return;
    __int64 local = SecondsFromFields(nYear, nMonth, nDay, nHour, nMin, nSec);
    if (nDST < 0 && InPlatformRange(nYear))
    {
        Fields f = FieldsFromSeconds(local);
        SYSTEMTIME stLocal = SystemTimeFromFields(f), stUtc;
        TIME_ZONE_INFORMATION tzi;
        if (TzSpecificLocalTimeToSystemTime(CurrentTimeZone(tzi), &stLocal, &stUtc))
        {
            m_utc = SecondsFromFields(stUtc.wYear, stUtc.wMonth, stUtc.wDay, stUtc.wHour, stUtc.wMinute,
                                      stUtc.wSecond);
            m_bValid = TRUE;
            return;
        }
    }
    m_utc = local + FixedBiasSeconds(nDST > 0);
    m_bValid = TRUE;
}

CString CTime::Format(LPCSTR pFormat) const
{
    CString out;
    if (!m_bValid || pFormat == NULL)
        return out;

    Fields f = FieldsFromSeconds(m_utc);
    bool bConverted = false;
    if (InPlatformRange(f.year))
    {
        SYSTEMTIME stUtc = SystemTimeFromFields(f), stLocal;
        TIME_ZONE_INFORMATION tzi;
        if (SystemTimeToTzSpecificLocalTime(CurrentTimeZone(tzi), &stUtc, &stLocal))
        {
            f = FieldsFromSeconds(SecondsFromFields(stLocal.wYear, stLocal.wMonth, stLocal.wDay, stLocal.wHour,
                                                    stLocal.wMinute, stLocal.wSecond));
            bConverted = true;
        }
    }
    if (!bConverted)
        f = FieldsFromSeconds(m_utc - FixedBiasSeconds(false));

    for (const char* p = pFormat; *p != '\0'; ++p)
    {
        if (*p != '%')
        {
            out += *p;
            continue;
        }
        const char* pStart = p;
        bool bNoPad = false;
        if (p[1] == '#')
        {
            bNoPad = true;
            ++p;
        }
        switch (*++p)
        {
        case 'a': AppendAbbreviation(out, kDayNames[f.weekday]); break;
        case 'A': out += kDayNames[f.weekday]; break;
        case 'b': AppendAbbreviation(out, kMonthNames[f.month - 1]); break;
        case 'B': out += kMonthNames[f.month - 1]; break;
        case 'd': AppendNumber(out, f.day, 2, bNoPad); break;
        case 'H': AppendNumber(out, f.hour, 2, bNoPad); break;
        case 'I': AppendNumber(out, f.hour % 12 == 0 ? 12 : f.hour % 12, 2, bNoPad); break;
        case 'j': AppendNumber(out, f.yearday + 1, 3, bNoPad); break;
        case 'm': AppendNumber(out, f.month, 2, bNoPad); break;
        case 'M': AppendNumber(out, f.minute, 2, bNoPad); break;
        case 'p': out += f.hour < 12 ? "AM" : "PM"; break;
        case 'S': AppendNumber(out, f.second, 2, bNoPad); break;
        case 'w': AppendNumber(out, f.weekday, 1, bNoPad); break;
        case 'y': AppendNumber(out, f.year % 100, 2, bNoPad); break;
        case 'Y': AppendNumber(out, f.year, 4, bNoPad); break;
        case 'x':   // the C locale's date and time
            AppendNumber(out, f.month, 2, false), out += '/', AppendNumber(out, f.day, 2, false), out += '/';
            AppendNumber(out, f.year % 100, 2, false);
            break;
        case 'X':
            AppendNumber(out, f.hour, 2, false), out += ':', AppendNumber(out, f.minute, 2, false), out += ':';
            AppendNumber(out, f.second, 2, false);
            break;
        case 'c':
            out += Format("%x %X");
            break;
        case '%': out += '%'; break;
        case '\0':   // a lone '%' at the end
            out += CString(pStart, (int)(p - pStart));
            return out;
        default:
            out += CString(pStart, (int)(p - pStart) + 1);
            break;
        }
    }
    return out;
}

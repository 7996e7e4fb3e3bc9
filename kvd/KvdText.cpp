// KvdText.cpp - one-line texts, UTF-8 checks and repairs, JSON strings and refusals.
#include "KvdText.h"

namespace {

const char kHex[] = "0123456789ABCDEF";

void AppendUtf8(std::string& out, unsigned codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Reads the decimal number at `at`; false when there is none or it overflows.
bool ReadNumber(std::string_view text, size_t& at, unsigned long long& number)
{
    const size_t start = at;
    number = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        const unsigned digit = static_cast<unsigned>(text[at] - '0');
        if (number > (~0ull - digit) / 10)
            return false;
        number = number * 10 + digit;
        ++at;
    }
    return at > start;
}

bool Skip(std::string_view text, size_t& at, std::string_view word)
{
    if (text.substr(at, word.size()) != word)
        return false;
    at += word.size();
    return true;
}

void AppendHex(std::string& out, unsigned char c)
{
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

// True when the UTF-8 bytes at `at` are a C1 control: C2 followed by 80 to 9F.
bool C1At(const unsigned char* s, size_t n, size_t at)
{
    return s[at] == 0xC2 && at + 1 < n && s[at + 1] >= 0x80 && s[at + 1] <= 0x9F;
}

// The UTF-8 sequence that starts at s[at], a byte of 0x80 or above: its length when
// it is well formed, else 0. `span` is the bytes it covers: all of them, or the lead
// and the continuation bytes that fit before it breaks off (at least 1).
size_t SequenceAt(const unsigned char* s, size_t n, size_t at, size_t& span)
{
    const unsigned char c = s[at];
    span = 1;
    size_t length;
    unsigned low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0)
            low = 0xA0;   // no overlong form
        else if (c == 0xED)
            high = 0x9F;  // no surrogate
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if (at + k >= n)
            return 0;
        const unsigned char next = s[at + k];
        if (next < (k == 1 ? low : 0x80u) || next > (k == 1 ? high : 0xBFu))
            return 0;
        span = k + 1;
    }
    return length;
}

}  // namespace

std::string KvdOneLine(std::string_view text)
{
    std::string out;
    AppendOneLine(out, text);
    return out;
}

void AppendOneLine(std::string& out, std::string_view utf8)
{
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = s[i];
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            AppendHex(out, c);
        } else if (C1At(s, n, i)) {
            out += "\\x";
            AppendHex(out, s[++i]);
        } else {
            out += static_cast<char>(c);
        }
    }
}

bool HasC1Control(std::string_view utf8)
{
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t at = utf8.find('\xC2'); at != std::string_view::npos; at = utf8.find('\xC2', at + 1)) {
        if (C1At(s, utf8.size(), at))
            return true;
    }
    return false;
}

void AppendFieldC1Escaped(std::string& out, std::string_view field)
{
    if (!HasC1Control(field)) {
        out.append(field);
        return;
    }
    // A bare field holds no quote, backslash, blank or control byte: in quotes it
    // reads back the same.
    const bool quoted = field.front() == '"';
    if (!quoted)
        out += '"';
    const auto* s = reinterpret_cast<const unsigned char*>(field.data());
    for (size_t i = 0; i < field.size(); ++i) {
        if (C1At(s, field.size(), i)) {
            out += "\\xC2\\x";
            AppendHex(out, s[++i]);
        } else {
            out += static_cast<char>(s[i]);
        }
    }
    if (!quoted)
        out += '"';
}

bool IsUtf8(std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t span;
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < 0x80)
            continue;
        const size_t length = SequenceAt(s, n, i, span);
        if (length == 0)
            return false;
        i += length - 1;
    }
    return true;
}

void AppendUtf8OrReplacement(std::string& out, std::string_view text)
{
    if (IsUtf8(text)) {
        out.append(text);
        return;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t span;
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            out += static_cast<char>(s[i++]);
        } else if (const size_t length = SequenceAt(s, n, i, span)) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD
            i += span;
        }
    }
}

std::string Utf8FromWindows1252(std::string_view text)
{
    std::string out;
    AppendUtf8FromWindows1252(out, text);
    return out;
}

void AppendUtf8FromWindows1252(std::string& out, std::string_view text)
{
    // 0x80 to 0x9F; the other bytes are the code points of the same number.
    static const unsigned short kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    out.reserve(out.size() + text.size());
    for (unsigned char c : text)
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
}

void AppendJsonString(std::string& out, std::string_view utf8)
{
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    out += '"';
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = s[i];
        switch (c) {
        case '"':  out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                AppendHex(out, c);
            } else if (C1At(s, n, i)) {
                out += "\\u00";
                AppendHex(out, s[++i]);
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

std::string KvdRefusalMessage(std::string_view utf8Message)
{
    if (utf8Message.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return "The exchange library refused the file without saying why.";
    return std::string(utf8Message);
}

bool KvdMessagePlace(std::string_view message, std::string_view after, unsigned long long& line,
                     unsigned long long& column)
{
    size_t from = after.empty() ? std::string_view::npos : message.find(after);
    from = from == std::string_view::npos ? 0 : from + after.size();
    for (size_t start = message.find("line ", from); start != std::string_view::npos;
         start = message.find("line ", start + 1)) {
        size_t at = start;
        if (Skip(message, at, "line ") && ReadNumber(message, at, line) && Skip(message, at, ", column ") &&
            ReadNumber(message, at, column) && Skip(message, at, ":"))
            return true;
    }
    return false;
}

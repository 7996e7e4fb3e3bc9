// KvdText.cpp - one-line texts, UTF-8 checks and JSON strings.
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

}  // namespace

std::string KvdOneLine(std::string_view text)
{
    std::string out;
    AppendOneLine(out, text);
    return out;
}

void AppendOneLine(std::string& out, std::string_view text)
{
    out.reserve(out.size() + text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

bool IsUtf8(std::string_view text)
{
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
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
            return false;
        }
        if (n - i < length || s[i + 1] < low || s[i + 1] > high)
            return false;
        for (size_t k = 2; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

std::string Utf8FromWindows1252(std::string_view text)
{
    // 0x80 to 0x9F; the other bytes are the code points of the same number.
    static const unsigned short kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
    return out;
}

void AppendJsonString(std::string& out, std::string_view utf8)
{
    out += '"';
    for (unsigned char c : utf8) {
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
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
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

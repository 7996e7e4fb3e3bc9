// KvdWriter.cpp - the quoting rule, written out.
#include "KvdWriter.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// Exact byte tests, eight bytes at a time: a high bit for each byte that is zero,
// or that is below 0x21 (blanks and control bytes); bytes above 127 are neither.
inline uint64_t ZeroBytes(uint64_t x) { return ~(((x & ~kHighs) + ~kHighs) | x) & kHighs; }
inline uint64_t BytesBelow21(uint64_t x) { return ~((((x & ~kHighs) + kOnes * (0x80 - 0x21)) & kHighs) | x) & kHighs; }

inline bool AnyNotBare(uint64_t v)
{
    return (BytesBelow21(v) | ZeroBytes(v ^ (kOnes * '"')) | ZeroBytes(v ^ (kOnes * '\\'))) != 0;
}

}  // namespace

namespace {

// Bytes that keep a text from standing bare: blanks, control bytes, '"' and '\\'.
struct BareTable {
    bool bare[256];
    constexpr BareTable() : bare()
    {
        for (int c = 0; c < 256; ++c)
            bare[c] = c > ' ' && c != '"' && c != '\\';
    }
};
constexpr BareTable kBare;

}  // namespace

namespace {

// The short texts that most fields are, a byte at a time; longer ones eight at a time.
inline bool IsBare(const char* p, size_t n)
{
    if (n == 0)
        return false;
    if (n < 8) {
        for (size_t i = 0; i < n; ++i)
            if (!kBare.bare[static_cast<unsigned char>(p[i])])
                return false;
        return true;
    }
    return IsBareKvdText(std::string_view(p, n));
}

// Copies a few bytes without a call: most fields are short.
inline char* CopyShort(char* out, const char* from, size_t n)
{
    if (n >= 4 && n <= 8) {
        uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(out, &head, 4);
        std::memcpy(out + n - 4, &tail, 4);
    } else if (n < 4) {
        for (size_t i = 0; i < n; ++i)
            out[i] = from[i];
    } else {
        std::memcpy(out, from, n);
    }
    return out + n;
}

}  // namespace

bool IsBareKvdText(std::string_view text)
{
    if (text.empty())
        return false;
    const char* p = text.data();
    size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        if (AnyNotBare(v))
            return false;
    }
    for (; n > 0; ++p, --n)
        if (!kBare.bare[static_cast<unsigned char>(*p)])
            return false;
    return true;
}

namespace {

// The bytes of a text in its quoted form: the quotes, and two for \" \\ \t \n \r,
// four for \xHH. `zero`: the text holds a zero byte.
size_t QuotedSize(std::string_view text, bool& zero)
{
    size_t size = 2 + text.size();
    for (unsigned char c : text) {
        if (c == '"' || c == '\\' || c == '\t' || c == '\n' || c == '\r')
            size += 1;
        else if (c < ' ')
            size += 3, zero = zero || c == 0;
    }
    return size;
}

// Writes byte c as the quoted form holds it (at most four bytes) and returns the end.
inline char* PutEscaped(char* out, unsigned char c)
{
    static const char kHex[] = "0123456789ABCDEF";
    switch (c) {
    case '"': *out++ = '\\'; *out++ = '"'; break;
    case '\\': *out++ = '\\'; *out++ = '\\'; break;
    case '\t': *out++ = '\\'; *out++ = 't'; break;
    case '\n': *out++ = '\\'; *out++ = 'n'; break;
    case '\r': *out++ = '\\'; *out++ = 'r'; break;
    default:
        if (c < ' ') {
            *out++ = '\\';
            *out++ = 'x';
            *out++ = kHex[c >> 4];
            *out++ = kHex[c & 15];
        } else {
            *out++ = static_cast<char>(c);
        }
    }
    return out;
}

// Writes the quoted form at `out` and returns its end.
char* PutQuoted(char* out, std::string_view text)
{
    *out++ = '"';
    for (unsigned char c : text) {
        out = PutEscaped(out, c);
    }
    *out++ = '"';
    return out;
}

}  // namespace

// Each field counts one blank before it; the first field's is the line end's room.
void KvdLine::Raw(std::string_view bytes)
{
    fields_[count_++] = {bytes.data(), bytes.size(), kBare};
    size_ += 1 + bytes.size();
}

void KvdLine::Text(std::string_view text)
{
    bool bare = IsBare(text.data(), text.size());
    fields_[count_++] = {text.data(), text.size(), bare ? kBare : kQuoted};
    bool zero = false;
    size_ += 1 + (bare ? text.size() : QuotedSize(text, zero));
    sound_ = sound_ && !zero;
}

void KvdLine::WriteTo(char* out) const
{
    for (size_t i = 0; i < count_; ++i) {
        if (i > 0)
            *out++ = ' ';
        const Field& f = fields_[i];
        if (f.kind == kQuoted) {
            out = PutQuoted(out, std::string_view(f.data, f.size));
        } else {
            out = CopyShort(out, f.kind == kNumber ? digits_ + sizeof digits_ - f.size : f.data, f.size);
        }
    }
    *out = '\n';
}

KvdLine KvdLine::Object(std::string_view name, std::string_view author, std::string_view version,
                        std::string_view wellId, std::string_view date)
{
    KvdLine line;
    line.Raw("object");
    for (std::string_view field : {name, author, version, wellId, date})
        line.Text(field);
    return line;
}

KvdLine KvdLine::Value(std::string_view group, std::string_view parentGroup, int record, std::string_view name,
                       std::string_view value, std::string_view suffix, std::string_view extra)
{
    KvdLine line;
    line.Raw("value");
    line.Text(group);
    line.Text(parentGroup);
    char* end = line.digits_ + sizeof line.digits_;
    char* p = end;
    uint32_t magnitude = record < 0 ? 0u - static_cast<uint32_t>(record) : static_cast<uint32_t>(record);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (record < 0)
        *--p = '-';
    size_t digits = static_cast<size_t>(end - p);
    line.fields_[line.count_++] = {nullptr, digits, kNumber};  // in digits_: copies of the line stay sound
    line.size_ += 1 + digits;
    line.Text(name);
    line.Text(value);
    // Trailing empty fields may be left out; the extra text needs the suffix before it.
    if (!suffix.empty() || !extra.empty())
        line.Text(suffix);
    if (!extra.empty())
        line.Text(extra);
    return line;
}

namespace {

// One field from a zero-terminated text, at `out`: bare while every byte may stand so,
// begun again in quotes at the first that may not. nullptr: `limit` would be passed.
// `length`: the text's; `bits`: every byte of it or'ed (kHigh: the caller wants to know).
template <bool kHigh>
inline char* PutField(char* out, char* limit, const char* text, size_t& length, unsigned& bits)
{
    if (text == nullptr)
        text = "";
    const char* s = text;
    char* start = out;
    // The zero byte that ends the text is no bare byte either: one test stops at both.
    for (unsigned char c; kBare.bare[c = static_cast<unsigned char>(*s)]; ++s) {
        if (out == limit)
            return nullptr;
        *out++ = static_cast<char>(c);
        if (kHigh)
            bits |= c;
    }
    if (*s == 0 && s != text) {
        length = static_cast<size_t>(s - text);
        return out;
    }
    // Empty, or a byte that may not stand bare: the whole text in quotes.
    out = start;
    s = text;
    if (limit - out < 2)
        return nullptr;
    *out++ = '"';
    for (unsigned char c; (c = static_cast<unsigned char>(*s)) != 0; ++s) {
        if (limit - out < 5)
            return nullptr;
        if (kHigh)
            bits |= c;
        out = PutEscaped(out, c);
    }
    *out++ = '"';
    length = static_cast<size_t>(s - text);
    return out;
}

inline char* PutByte(char* out, char* limit, char c)
{
    if (out == nullptr || out == limit)
        return nullptr;
    *out++ = c;
    return out;
}

}  // namespace

namespace {

template <bool kHigh>
char* WriteValueLine(char* out, char* limit, const KvdValueTexts& t, std::string_view& group,
                     std::string_view& parent, bool& high)
{
    if (limit - out < 32)
        return nullptr;
    std::memcpy(out, "value ", 6);
    out += 6;
    unsigned bits = 0;
    size_t length = 0;
    out = PutField<kHigh>(out, limit, t.group, length, bits);
    if (out == nullptr)
        return nullptr;
    group = std::string_view(t.group != nullptr ? t.group : "", length);
    out = PutByte(out, limit, ' ');
    out = out != nullptr ? PutField<kHigh>(out, limit, t.parent, length, bits) : nullptr;
    if (out == nullptr)
        return nullptr;
    parent = std::string_view(t.parent != nullptr ? t.parent : "", length);
    char digits[12];
    char* end = digits + sizeof digits;
    char* p = end;
    uint32_t magnitude = t.record < 0 ? 0u - static_cast<uint32_t>(t.record) : static_cast<uint32_t>(t.record);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (t.record < 0)
        *--p = '-';
    if (limit - out < 1 + (end - p))
        return nullptr;
    *out++ = ' ';
    std::memcpy(out, p, static_cast<size_t>(end - p));
    out += end - p;
    bool suffix = t.suffix != nullptr && *t.suffix != 0, extra = t.extra != nullptr && *t.extra != 0;
    // Trailing empty fields may be left out; the extra text needs the suffix before it.
    const char* rest[4] = {t.name, t.value, t.suffix, t.extra};
    size_t fields = extra ? 4 : suffix ? 3 : 2;
    for (size_t i = 0; i < fields && out != nullptr; ++i) {
        out = PutByte(out, limit, ' ');
        out = out != nullptr ? PutField<kHigh>(out, limit, rest[i], length, bits) : nullptr;
    }
    out = PutByte(out, limit, '\n');
    high = bits >= 0x80;
    return out;
}

}  // namespace

char* WriteKvdValueLine(char* out, char* limit, const KvdValueTexts& texts, std::string_view& group,
                        std::string_view& parent, bool& high)
{
    return WriteValueLine<true>(out, limit, texts, group, parent, high);
}

char* WriteKvdValueLineUtf8(char* out, char* limit, const KvdValueTexts& texts, std::string_view& group,
                            std::string_view& parent)
{
    bool high = false;
    return WriteValueLine<false>(out, limit, texts, group, parent, high);
}

void AppendKvdText(std::string& out, std::string_view text)
{
    if (IsBareKvdText(text)) {
        out += text;
        return;
    }
    bool zero = false;
    size_t at = out.size();
    out.resize(at + QuotedSize(text, zero));
    PutQuoted(&out[at], text);
}

namespace {

bool Append(std::string& out, const KvdLine& line)
{
    size_t at = out.size();
    out.resize(at + line.Size());
    line.WriteTo(&out[at]);
    return line.Sound();
}

}  // namespace

bool AppendKvdObjectLine(std::string& out, std::string_view name, std::string_view author,
                         std::string_view version, std::string_view wellId, std::string_view date)
{
    return Append(out, KvdLine::Object(name, author, version, wellId, date));
}

bool AppendKvdValueLine(std::string& out, std::string_view group, std::string_view parentGroup, int record,
                        std::string_view name, std::string_view value, std::string_view suffix,
                        std::string_view extra)
{
    return Append(out, KvdLine::Value(group, parentGroup, record, name, value, suffix, extra));
}

std::string KvdObjectLine(std::string_view name, std::string_view author, std::string_view version,
                          std::string_view wellId, std::string_view date)
{
    std::string line;
    AppendKvdObjectLine(line, name, author, version, wellId, date);
    return line;
}

std::string KvdValueLine(std::string_view group, std::string_view parentGroup, int record,
                         std::string_view name, std::string_view value, std::string_view suffix,
                         std::string_view extra)
{
    std::string line;
    AppendKvdValueLine(line, group, parentGroup, record, name, value, suffix, extra);
    return line;
}

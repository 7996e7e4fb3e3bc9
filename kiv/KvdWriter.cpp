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
    for (; n > 0; ++p, --n) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c <= ' ' || c == '"' || c == '\\')
            return false;
    }
    return true;
}

namespace {

// The quoted form; false when the text holds a zero byte (written as \x00, which no
// reader accepts, so the caller must not use the line).
bool AppendQuoted(std::string& out, std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    bool sound = true;
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"':  out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < ' ') {
                sound = sound && c != 0;
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return sound;
}

inline bool AppendText(std::string& out, std::string_view text)
{
    if (IsBareKvdText(text)) {
        out += text;
        return true;
    }
    return AppendQuoted(out, text);
}

}  // namespace

void AppendKvdText(std::string& out, std::string_view text) { AppendText(out, text); }

bool AppendKvdObjectLine(std::string& out, std::string_view name, std::string_view author,
                         std::string_view version, std::string_view wellId, std::string_view date)
{
    bool sound = true;
    out += "object";
    for (std::string_view field : {name, author, version, wellId, date}) {
        out += ' ';
        sound &= AppendText(out, field);
    }
    out += '\n';
    return sound;
}

bool AppendKvdValueLine(std::string& out, std::string_view group, std::string_view parentGroup, int record,
                        std::string_view name, std::string_view value, std::string_view suffix,
                        std::string_view extra)
{
    bool sound = true;
    out += "value ";
    sound &= AppendText(out, group);
    out += ' ';
    sound &= AppendText(out, parentGroup);
    out += ' ';
    char digits[12];
    char* end = digits + sizeof digits;
    char* p = end;
    uint32_t magnitude = record < 0 ? 0u - static_cast<uint32_t>(record) : static_cast<uint32_t>(record);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (record < 0)
        *--p = '-';
    out.append(p, static_cast<size_t>(end - p));
    for (std::string_view field : {name, value}) {
        out += ' ';
        sound &= AppendText(out, field);
    }
    // Trailing empty fields may be left out; the extra text needs the suffix before it.
    if (!suffix.empty() || !extra.empty()) {
        out += ' ';
        sound &= AppendText(out, suffix);
    }
    if (!extra.empty()) {
        out += ' ';
        sound &= AppendText(out, extra);
    }
    out += '\n';
    return sound;
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

std::string KvdGroupPath::Shown() const
{
    std::string shown;
    for (size_t level = 0; level < depth_; ++level) {
        if (level > 0)
            shown += " > ";
        shown += '"' + path_[level] + '"';
    }
    return shown;
}

bool KvdGroupPath::Enter(std::string_view group, std::string_view parent, std::string& why)
{
    if (group.empty()) {
        why = "its group name is empty; every value needs a group.";
        return false;
    }
    if (depth_ > 0 && path_[depth_ - 1] == group && (parent.empty() || (depth_ >= 2 && path_[depth_ - 2] == parent)))
        return true;  // the common case: another value of the same group
    if (depth_ == 0) {
        if (!parent.empty()) {
            why = "it is the first value of its object, so its group must be a top-level group (parent group "
                  "\"\"), and its parent group is \"" + std::string(parent) + "\".";
            return false;
        }
        path_[0].assign(group);
        depth_ = 1;
        return true;
    }
    size_t parentLevel = depth_;  // depth_ means: not on the path
    size_t groupLevel = depth_;
    for (size_t level = 0; level < depth_; ++level) {
        if (!parent.empty() && path_[level] == parent)
            parentLevel = level;
        if (path_[level] == group)
            groupLevel = level;
    }
    if (!parent.empty() && parentLevel == depth_) {
        why = "its parent group \"" + std::string(parent) + "\" is not on the group path of the value before (" +
              Shown() + "); values come depth first, so a parent group is \"\" (top level) or a group on that path.";
        return false;
    }
    if (groupLevel < depth_) {
        depth_ = groupLevel + 1;  // back in a group on the path
    } else if (parent.empty()) {
        path_[0].assign(group);  // a new top-level group
        depth_ = 1;
    } else {
        if (parentLevel + 1 >= kMaxDepth) {
            why = "its group would be nested " + std::to_string(kMaxDepth + 1) + " levels deep, and groups nest at most " +
                  std::to_string(kMaxDepth) + " levels.";
            return false;
        }
        path_[parentLevel + 1].assign(group);  // nested in its parent
        depth_ = parentLevel + 2;
    }
    return true;
}

// KvdWriter.cpp - the quoting rule, written out.
#include "KvdWriter.h"

bool IsBareKvdText(std::string_view text)
{
    if (text.empty())
        return false;
    for (unsigned char c : text) {
        if (c <= ' ' || c == '"' || c == '\\')
            return false;
    }
    return true;
}

void AppendKvdText(std::string& out, std::string_view text)
{
    if (IsBareKvdText(text)) {
        out += text;
        return;
    }
    static const char kHex[] = "0123456789ABCDEF";
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
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

std::string KvdObjectLine(std::string_view name, std::string_view author, std::string_view version,
                          std::string_view wellId, std::string_view date)
{
    std::string line = "object";
    for (std::string_view field : {name, author, version, wellId, date}) {
        line += ' ';
        AppendKvdText(line, field);
    }
    line += '\n';
    return line;
}

std::string KvdValueLine(std::string_view group, std::string_view parentGroup, int record,
                         std::string_view name, std::string_view value, std::string_view suffix,
                         std::string_view extra)
{
    std::string line = "value ";
    AppendKvdText(line, group);
    line += ' ';
    AppendKvdText(line, parentGroup);
    line += ' ';
    line += std::to_string(record);
    for (std::string_view field : {name, value}) {
        line += ' ';
        AppendKvdText(line, field);
    }
    // Trailing empty fields may be left out; the extra text needs the suffix before it.
    if (!suffix.empty() || !extra.empty()) {
        line += ' ';
        AppendKvdText(line, suffix);
    }
    if (!extra.empty()) {
        line += ' ';
        AppendKvdText(line, extra);
    }
    line += '\n';
    return line;
}

// KvdWriter.h - writing .kvd lines: what the reader reads back byte for byte, and
// the order of groups that it accepts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kKvdHeader = "KVD 1";

// True when `text` may stand without quotes: not empty, and only bytes above the
// blank other than '"' and '\'.
bool IsBareKvdText(std::string_view text);

// Appends one field: bare when it may be, otherwise in quotes with \" \\ \t \n \r
// and \xHH for the other control bytes. A text cannot hold a zero byte.
void AppendKvdText(std::string& out, std::string_view text);

// One complete line, measured before it is written: its fields are looked at once to
// know its size and whether it can be written at all, then it is written in one piece
// where the caller wants it (the writer's own buffer).
class KvdLine {
public:
    static KvdLine Object(std::string_view name, std::string_view author, std::string_view version,
                          std::string_view wellId, std::string_view date);
    static KvdLine Value(std::string_view group, std::string_view parentGroup, int record, std::string_view name,
                         std::string_view value, std::string_view suffix, std::string_view extra);
    // Bytes of the line, its line end "\n" included.
    size_t Size() const { return size_; }
    // The bytes that the line limit counts (KvdReader::kMaxLine): all but the "\n", as a
    // carriage return in a text is always written as \r.
    size_t CountedLength() const { return size_ - 1; }
    // False when a text holds a zero byte: the line cannot be read back, and is not to be used.
    bool Sound() const { return sound_; }
    // Writes Size() bytes at `out`.
    void WriteTo(char* out) const;

private:
    void Raw(std::string_view bytes);
    void Text(std::string_view text);
    enum Kind : unsigned char { kBare, kQuoted, kNumber };  // kNumber: the record number, in digits_
    struct Field {
        const char* data;
        size_t size;
        Kind kind;
    };
    Field fields_[8];
    size_t count_ = 0;
    size_t size_ = 0;
    bool sound_ = true;
    char digits_[12];  // a value's record number, at its end

};

// A value's texts as the calls receive them: zero-terminated (nullptr counts as "").
struct KvdValueTexts {
    const char* group;
    const char* parent;
    int record;
    const char* name;
    const char* value;
    const char* suffix;
    const char* extra;
};

// Writes a value line at `out`, reading each text once: bare where it may stand so,
// else quoted. Returns the line's end, or nullptr when it would pass `limit`. `group`
// and `parent` are the texts as read; `high`: a text holds a byte above 127.
char* WriteKvdValueLine(char* out, char* limit, const KvdValueTexts& texts, std::string_view& group,
                        std::string_view& parent, bool& high);
// The same where no byte above 127 needs telling (the texts are UTF-8 already).
char* WriteKvdValueLineUtf8(char* out, char* limit, const KvdValueTexts& texts, std::string_view& group,
                            std::string_view& parent);

// Appends one complete line, ending with "\n". False when a text holds a zero byte:
// the line cannot be read back, and is not to be used.
bool AppendKvdObjectLine(std::string& out, std::string_view name, std::string_view author,
                         std::string_view version, std::string_view wellId, std::string_view date);
bool AppendKvdValueLine(std::string& out, std::string_view group, std::string_view parentGroup, int record,
                        std::string_view name, std::string_view value, std::string_view suffix,
                        std::string_view extra);

// One complete line each, ending with "\n".
std::string KvdObjectLine(std::string_view name, std::string_view author, std::string_view version,
                          std::string_view wellId, std::string_view date);
std::string KvdValueLine(std::string_view group, std::string_view parentGroup, int record,
                         std::string_view name, std::string_view value,
                         std::string_view suffix = {}, std::string_view extra = {});

// The group path that a put must follow is the reader's own: KvdGroupPath (KvdReader.h).

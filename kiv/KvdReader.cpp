// KvdReader.cpp - the .kvd scanner: big buffered reads, memchr for line ends,
// fields scanned eight bytes at a time, and value lines that repeat the group of
// the line before read in one go (sixteen bytes at a time where SSE2 exists).
#include "KvdReader.h"

#include <cstring>

#include "KvdDate.h"

#if defined(__SSE2__)
#include <emmintrin.h>  // every x86_64 processor has SSE2; other builds use the word-at-a-time path
#endif

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the field scanner reads eight bytes at a time in little-endian order"
#endif

namespace {

constexpr size_t kChunk = size_t(256) << 10;         // bytes per read
constexpr size_t kCapacity = KvdReader::kMaxLine + 2 + kChunk;  // the longest line with its CR LF, and a read
constexpr size_t kSlack = 64;                         // room for the sentinel and loads past a line end
constexpr const char* kCorrect = "Correct the file or choose another one.";
constexpr const char* kBinary =
    "It is another kind of file, or a damaged one: choose another file, or restore this one from a copy.";

// Word-at-a-time byte tests. In each mask the lowest set bit marks the first byte
// that matches; bits above it may be spurious, so only the lowest one is used.
constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

inline uint64_t Load8(const char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline uint64_t BytesBelow(uint64_t v, unsigned n) { return (v - kOnes * n) & ~v & kHighs; }
inline uint64_t BytesEqual(uint64_t v, unsigned c)
{
    uint64_t x = v ^ (kOnes * c);
    return (x - kOnes) & ~x & kHighs;
}

// First byte below `kBelow`, or '"' or '\'. The line end always stops the scan.
template <unsigned kBelow>
inline char* ScanUntil(char* s)
{
    for (;;) {
        uint64_t v = Load8(s);
        uint64_t m = BytesBelow(v, kBelow) | BytesEqual(v, '"') | BytesEqual(v, '\\');
        if (m)
            return s + (__builtin_ctzll(m) >> 3);
        s += 8;
    }
}

// First byte that cannot be part of a bare text: a blank, tab, control byte, line
// end, '"' or '\'.
inline char* ScanBare(char* s) { return ScanUntil<0x21>(s); }

// First byte inside quotes that needs a look: '"', '\', a tab or another control byte.
inline char* ScanQuoted(char* s) { return ScanUntil<0x20>(s); }

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline char* SkipBlanks(char* s)
{
    while (IsBlank(*s))
        ++s;
    return s;
}

std::string ByteName(unsigned char c)
{
    if (c == 0)
        return "a zero byte (the file looks binary, not like text)";
    static const char kHex[] = "0123456789ABCDEF";
    std::string s = "the control byte 0x";
    s += kHex[c >> 4];
    s += kHex[c & 15];
    return s;
}

// A byte in two hexadecimal digits, as in 0x0C or \x0C.
std::string Hex(unsigned char c)
{
    static const char kHex[] = "0123456789ABCDEF";
    return {kHex[c >> 4], kHex[c & 15]};
}

// A text for a message: in quotes, control bytes as '?', cut after 60 bytes.
std::string Shown(const char* text, size_t length)
{
    std::string s = "\"";
    size_t n = length < 60 ? length : 60;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        s += c < 0x20 ? '?' : static_cast<char>(c);
    }
    if (n < length)
        s += "...";
    s += '"';
    return s;
}

// What stands at `at`: the end of the line, a control byte, or the word there.
std::string Found(const char* at, const char* end)
{
    if (at >= end)
        return "the end of the line";
    unsigned char c = static_cast<unsigned char>(*at);
    if (c < 0x20)
        return ByteName(c);
    if (c == '"')
        return "'\"'";
    if (c == '\\')
        return "'\\'";
    const char* w = at;
    while (w < end && static_cast<unsigned char>(*w) > ' ')
        ++w;
    return Shown(at, static_cast<size_t>(w - at));
}

}  // namespace

size_t KvdReader::CountedLength(const char* line, size_t size)
{
    if (size > 0 && line[size - 1] == '\n')
        --size;
    if (size > 0 && line[size - 1] == '\r')
        --size;  // lines may end with CR LF, as Windows editors write them
    return size;
}

KvdReader::KvdReader(kvddisk::Disk& disk, KvdLegacyToUtf8 callersToUtf8) : disk_(disk), callersToUtf8_(callersToUtf8)
{
}

KvdReader::~KvdReader() { Close(); }

void KvdReader::Close()
{
    if (file_.IsOpen()) {
        kvddisk::Error ignored;  // nothing that was read is lost by a close that fails
        disk_.Close(file_, ignored);
    }
    file_ = kvddisk::FileHandle();
    begin_ = end_ = 0;
    eof_ = true;
}

std::string KvdReader::PathText() const
{
    return "Cannot open \"" + (callersToUtf8_ != nullptr ? callersToUtf8_(path_) : path_) + "\": ";
}

std::string KvdReader::Detail() const
{
    return callersToUtf8_ != nullptr ? callersToUtf8_(diskError_.detail) : diskError_.detail;
}

std::string KvdReader::FromFile(const std::string& piece) const
{
    return callersToUtf8_ != nullptr && utf8_.FaultSeen() ? callersToUtf8_(piece) : piece;
}

KvdReader::Record KvdReader::FailFile(const std::string& what, const char* todo)
{
    failed_ = true;
    message_ = PathText() + what + " " + todo;
    return kError;
}

KvdReader::Record KvdReader::FailAt(const char* at, const std::string& expected,
                                    const std::string& found, const char* todo)
{
    failed_ = true;
    uint64_t column = static_cast<uint64_t>(at - lineStart_) + 1;
    message_ = PathText() + "line " + std::to_string(line_) + ", column " + std::to_string(column) +
               ": expected " + FromFile(expected) + ", found " + FromFile(found) + ". " + (todo ? todo : kCorrect);
    return kError;
}

KvdReader::Record KvdReader::FailSaying(const char* at, const std::string& what, const std::string& todo)
{
    failed_ = true;
    uint64_t column = static_cast<uint64_t>(at - lineStart_) + 1;
    message_ = PathText() + "line " + std::to_string(line_) + ", column " + std::to_string(column) + ": " +
               FromFile(what) + " " + todo;
    return kError;
}

bool KvdReader::Open(const char* path)
{
    Close();
    path_ = path != nullptr ? path : "";
    message_.clear();
    failed_ = false;
    diskError_ = kvddisk::Error();
    if (path_.empty())
        return FailFile("no file name was given.", "Choose a .kvd file."), false;

    // A folder or a device would open, then fail or block on reading: refuse them first.
    kvddisk::Stamp stamp;
    if (!disk_.GetStamp(path_, stamp, diskError_))
        return FailFile("the file cannot be examined (" + Detail() + ").",
                        "Check that you may read it, or choose another file."),
               false;
    if (!stamp.exists)
        return FailFile("there is no such file.", "Check the name and the folder, or choose another file."), false;
    if (stamp.directory)
        return FailFile("this is a folder, not a file.", "Choose a .kvd file in it."), false;
    if (!stamp.regular)
        return FailFile("this is a device or another special file, not an exchange file.",
                        "Choose a .kvd file."),
               false;

    if (!kvddisk::OpenToReadWaiting(disk_, path_, file_, diskError_)) {
        if (diskError_.kind == kvddisk::Failure::kNotAFile)  // what opened is no file, whatever the name said
            return FailFile("this is a device or another special file, not an exchange file.", "Choose a .kvd file."),
                   false;
        return FailFile("the file cannot be read (" + Detail() +
                            "): another program may hold it open, or you may not be allowed to read it.",
                        "Close that program or check your access, then try again; or choose another file."),
               false;
    }
    watched_ = disk_.StampOfOpen(file_, opened_);
    if (!buffer_)
        buffer_.reset(new char[kCapacity + kSlack]);
    return Rewind();
}

// Where the system lets another program write a file that is read, what a read gets
// may be part of another content: it is not taken for the file's.
bool KvdReader::ChangedSinceOpen()
{
    kvddisk::Stamp now;
    if (!watched_ || !disk_.StampOfOpen(file_, now) || (now.size == opened_.size && now.changed == opened_.changed))
        return false;
    diskError_.kind = kvddisk::Failure::kOther;
    diskError_.call = kvddisk::Call::kRead;
    diskError_.detail = "another program changed it while it was read";
    FailFile("reading stopped after line " + std::to_string(line_) + ": " + diskError_.detail + ".",
             "Try again when that program has finished writing it.");
    return true;
}

bool KvdReader::Rewind()
{
    if (!file_.IsOpen())
        return false;
    offset_ = 0;
    begin_ = end_ = 0;
    header_.bytes = nullptr;
    eof_ = false;
    failed_ = false;
    utf8_.Reset();
    line_ = 0;
    lineStart_ = buffer_.get();
    seenEnd_ = false;
    inObject_ = false;
    groups_.Clear();
    repeat_ = false;
    return ReadHeader();
}

bool KvdReader::NextLine(char*& line, size_t& length)
{
    header_.bytes = nullptr;  // the next line may move it
    char* buffer = buffer_.get();
    for (;;) {
        size_t available = end_ - begin_;
        char* start = buffer + begin_;
        char* lf = static_cast<char*>(std::memchr(start, '\n', available));
        if (lf == nullptr && available > kMaxLine + 1)
            lf = start + kMaxLine + 2;  // too long even with a CR LF; reported below
        if (lf != nullptr || (eof_ && available > 0)) {
            char* stop = lf != nullptr ? lf : buffer + end_;  // the sentinel '\n' is there
            length = CountedLength(start, static_cast<size_t>(stop - start));
            if (length > kMaxLine) {
                FailFile("line " + std::to_string(line_ + 1) + " is longer than " + std::to_string(kMaxLine) +
                             " bytes; a .kvd file has short lines, so this is probably another kind of file.",
                         "Choose another file.");
                return false;
            }
            begin_ = static_cast<size_t>(stop - buffer) + (lf != nullptr ? 1 : 0);
            rawSize_ = static_cast<size_t>(stop - start) + (lf != nullptr ? 1 : 0);
            ++line_;
            line = start;
            lineStart_ = start;
            return true;
        }
        if (eof_)
            return false;

        // Keep the unfinished line, then read behind it.
        if (kCapacity - end_ < kChunk) {
            std::memmove(buffer, start, available);
            begin_ = 0;
            end_ = available;
        }
        size_t got = 0;
        if (!disk_.ReadAt(file_, offset_, buffer + end_, kChunk, got, diskError_)) {
            FailFile("reading stopped after line " + std::to_string(line_) + " (" + Detail() + ").",
                     "Check the disk or the network, then try again.");
            return false;
        }
        if (ChangedSinceOpen())
            return false;
        offset_ += got;
        eof_ = got == 0;
        if (checkUtf8_)
            utf8_.Feed(buffer + end_, got);
        if (hash_ != nullptr)
            hash_->Feed(buffer + end_, got);
        end_ += got;
        // Sentinel: every scan of the last line stops here; the bytes behind it are
        // defined for loads that reach past a line end.
        buffer[end_] = '\n';
        std::memset(buffer + end_ + 1, 0, kSlack - 1);
    }
}

bool KvdReader::ReadHeader()
{
    char* line;
    size_t length;
    if (!NextLine(line, length)) {
        if (failed_)
            return false;
        return FailFile("the file is empty; a .kvd file begins with the line \"KVD 1\".",
                        "Choose another file."),
               false;
    }
    header_ = {line, rawSize_, kHeaderLine};  // for NextRawLine, until the next line is read
    if (length >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
        line += 3;  // a UTF-8 byte order mark, as some editors write it
        length -= 3;
        lineStart_ = line;
    }
    char* end = line + length;
    char* s = line;
    if (length >= 4 && std::memcmp(s, "KVD", 3) == 0 && IsBlank(s[3])) {
        s = SkipBlanks(s + 3);
        char* version = s;
        while (*s >= '0' && *s <= '9')
            ++s;
        char* afterVersion = s;
        s = SkipBlanks(s);
        if (version != afterVersion && s == end) {
            if (afterVersion - version == 1 && *version == '1')
                return true;
            return FailAt(version, "version 1 of the format",
                          "version " + Shown(version, static_cast<size_t>(afterVersion - version)),
                          "This file was written for another version of the exchange library; use "
                          "that version or choose another file."),
                   false;
        }
    }
    return FailAt(line, "the first line \"KVD 1\" that names the format", Found(line, end),
                  length > 0 && *line == '\0' ? kBinary
                                               : "This is not an exchange file, or its first line was lost. Choose "
                                                 "another file, or add the line \"KVD 1\" at the top."),
           false;
}

KvdReader::Record KvdReader::Next()
{
    if (failed_ || !file_.IsOpen())
        return kError;
#ifndef KVD_GENERAL_PATH_ONLY  // defined by fuzz/run.sh to check the quick path against the general one
    if (repeat_ && ReadRepeatedValue<true>())
        return kValue;
#endif
    return NextGeneral();
}

bool KvdReader::CheckToEnd()
{
    if (failed_ || !file_.IsOpen())
        return false;
    for (;;) {
#ifndef KVD_GENERAL_PATH_ONLY
        if (repeat_ && ReadRepeatedValue<false>())
            continue;
#endif
        switch (NextGeneral()) {
        case kFinished: return true;
        case kError: return false;
        default: break;
        }
    }
}

bool KvdReader::NextRawLine(RawLine& raw)
{
    if (failed_ || !file_.IsOpen())
        return false;
    if (header_.bytes != nullptr) {  // Open read it already
        raw = header_;
        header_.bytes = nullptr;
        return true;
    }
    char* line;
    size_t length;
    if (!NextLine(line, length))
        return false;
    raw.bytes = line;
    raw.size = rawSize_;
    char* end = line + length;
    char* s = SkipBlanks(line);
    if (s == end || *s == '#' || seenEnd_) {
        raw.kind = kBlankOrComment;  // after the end line nothing else stands in a sound file
        return true;
    }
    if (end - s >= 5 && std::memcmp(s, "value", 5) == 0 && (s + 5 == end || IsBlank(s[5]))) {
        raw.kind = kValueLine;
        return true;
    }
    if (end - s >= 6 && std::memcmp(s, "object", 6) == 0 && (s + 6 == end || IsBlank(s[6]))) {
        // The name, decoded as Next() decodes it, from a copy: the line itself is handed out.
        char* fields = SkipBlanks(s + 6);
        scratch_.assign(fields, end);
        scratch_.append(1, '\n');
        scratch_.append(kSlack, '\0');  // the field scanner loads words past the line end
        char* copy = &scratch_[0];
        char* copyEnd = copy + (end - fields);
        lineStart_ = copy;
        if (!ParseField(copy, copyEnd, kName, "the object name"))
            return false;
        raw.kind = kObjectLine;
        return true;
    }
    if (end - s >= 3 && std::memcmp(s, "end", 3) == 0 && SkipBlanks(s + 3) == end) {
        seenEnd_ = true;
        raw.kind = kEndLine;
        return true;
    }
    raw.kind = kOtherLine;
    return true;
}

KvdReader::Record KvdReader::NextGeneral()
{
    repeat_ = false;
    char* line;
    size_t length;
    while (NextLine(line, length)) {
        char* end = line + length;
        char* s = SkipBlanks(line);
        if (s == end || *s == '#')
            continue;
        if (seenEnd_)
            return FailAt(s, "nothing but blank lines and comments after the \"end\" line", Found(s, end));
        // "value" as one little-endian word: the line end, never a letter, stops a false match.
        if ((Load8(s) & 0xFFFFFFFFFFULL) == 0x65756C6176ULL && (s + 5 == end || IsBlank(s[5]))) {
            // The raw bytes, before decoding in place changes them: the next line may repeat them.
            // A fixed size copies in a few moves; the buffer's slack covers a short last line.
            std::memcpy(prefix_, line, sizeof prefix_);
            size_t copied = length < sizeof prefix_ ? length : sizeof prefix_;
            return ParseValue(SkipBlanks(s + 5), end, copied);
        }
        if (*s == 'o' && end - s >= 6 && std::memcmp(s, "object", 6) == 0 && (s + 6 == end || IsBlank(s[6])))
            return ParseObject(SkipBlanks(s + 6), end);
        if (*s == 'e' && end - s >= 3 && std::memcmp(s, "end", 3) == 0 && SkipBlanks(s + 3) == end) {
            seenEnd_ = true;
            return kEnd;
        }
        return FailAt(s, "a line that begins with \"object\", \"value\", \"end\" or \"#\"", Found(s, end));
    }
    if (failed_)
        return kError;
    if (!seenEnd_)
        return FailFile("the file ends after line " + std::to_string(line_) + " without its \"end\" line.",
                        "It may have been cut short; copy it again or choose another one.");
    return kFinished;  // the file stays open: a second pass rewinds it
}

// Most fields are bare words followed by one blank, or the empty text "".
inline bool KvdReader::ParseField(char*& s, char* end, int field, const char* what)
{
    if (s != end) {
        if (*s != '"') {
            char* stop = ScanBare(s);
            if (*stop == ' ' || stop == end) {
                text_[field] = s;
                length_[field] = static_cast<size_t>(stop - s);
                s = stop == end ? end : SkipBlanks(stop + 1);
                *stop = '\0';
                return true;
            }
        } else if (s[1] == '"' && (s + 2 == end || IsBlank(s[2]))) {
            s[1] = '\0';
            text_[field] = s + 1;
            length_[field] = 0;
            s = s + 2 == end ? end : SkipBlanks(s + 3);
            return true;
        }
    }
    return ParseFieldSlow(s, end, field, what);
}

bool KvdReader::ParseFieldSlow(char*& s, char* end, int field, const char* what)
{
    if (s == end)
        return FailAt(s, what, "the end of the line"), false;
    char* text = s;
    if (*s != '"') {
        char* stop = ScanBare(s);
        if (stop != end && !IsBlank(*stop)) {
            unsigned char c = static_cast<unsigned char>(*stop);
            if (c == '"' || c == '\\')
                return FailSaying(stop, std::string("a text written without quotes holds ") +
                                            (c == '"' ? "a double quote." : "a backslash."),
                                  "Write the whole text in double quotes, with \\\" for each double quote and "
                                  "\\\\ for each backslash in it; or choose another file."),
                       false;
            if (c == 0)
                return FailAt(stop, std::string("a blank or the end of the line after ") + what, ByteName(c),
                              kBinary),
                       false;
            return FailSaying(stop, "a text written without quotes holds the control byte 0x" + Hex(c) + ".",
                              "Write the text in double quotes with the byte as \\x" + Hex(c) +
                                  ", or remove the byte; or choose another file."),
                   false;
        }
        text_[field] = text;
        length_[field] = static_cast<size_t>(stop - text);
        s = stop == end ? end : SkipBlanks(stop + 1);
        *stop = '\0';
        return true;
    }

    // A quoted text: decoded in place; the decoded text is never longer.
    char* read = s + 1;
    char* write = s + 1;
    for (;;) {
        char* stop = ScanQuoted(read);
        if (write != read)
            std::memmove(write, read, static_cast<size_t>(stop - read));
        write += stop - read;
        read = stop;
        if (stop == end)
            return FailAt(stop,
                          "a closing quote '\"' for the text that begins at column " +
                              std::to_string(static_cast<uint64_t>(text - lineStart_) + 1),
                          "the end of the line"),
                   false;
        char c = *stop;
        if (c == '"')
            break;
        if (c == '\t') {
            *write++ = *read++;
            continue;
        }
        if (c == '\0')
            return FailAt(stop, "text or a closing quote", ByteName(0), kBinary), false;
        if (c != '\\')
            return FailSaying(stop, "a quoted text holds the control byte 0x" + Hex(c) + ".",
                              "Write it as \\x" + Hex(c) + ", or remove it; or choose another file."),
                   false;
        char kind = read[1];
        char decoded;
        int skip = 2;
        switch (kind) {
        case '"': decoded = '"'; break;
        case '\\': decoded = '\\'; break;
        case 't': decoded = '\t'; break;
        case 'n': decoded = '\n'; break;
        case 'r': decoded = '\r'; break;
        case 'x': {
            int high = HexDigit(read[2]);
            int low = high < 0 ? -1 : HexDigit(read[3]);
            size_t shown = 2;  // \x and what stands for the digits, up to a quote or a blank
            while (low < 0 && shown < 4 && read + shown < end && read[shown] != '"' && !IsBlank(read[shown]))
                ++shown;
            if (low < 0)
                return FailAt(read, "two hexadecimal digits after \\x", Shown(read, shown),
                              "Write a byte as \\x and two digits 0-9 or A-F (such as \\x1A), and a backslash "
                              "itself as \\\\; or choose another file."),
                       false;
            decoded = static_cast<char>(high * 16 + low);
            if (decoded == '\0')
                return FailAt(read, "a byte other than \\x00", "\\x00",
                              "A text cannot hold a zero byte: remove the \\x00, or choose another file."),
                       false;
            skip = 4;
            break;
        }
        default:
            return FailAt(read, "one of the escapes \\\" \\\\ \\t \\n \\r \\xHH",
                          read + 1 >= end ? std::string("'\\' at the end of the line")
                                          : Shown(read, 2),
                          "A backslash in a quoted text starts an escape; write a backslash itself as \\\\ "
                          "(for example \"D:\\\\Reports\"), or choose another file."),
                   false;
        }
        *write++ = decoded;
        read += skip;
    }
    char* after = read + 1;  // behind the closing quote
    if (after != end && !IsBlank(*after))
        return FailAt(after, "a blank or the end of the line after the closing quote", Found(after, end)), false;
    text_[field] = text + 1;
    length_[field] = static_cast<size_t>(write - (text + 1));
    *write = '\0';
    s = after == end ? end : SkipBlanks(after);
    return true;
}

bool KvdReader::ParseRecordNumber(char*& s, char* end)
{
    const char* what = "a record number (a whole number such as 1)";
    if (s == end)
        return FailAt(s, what, "the end of the line"), false;
    char* at = s;
    char* p = s;
    bool negative = *p == '-';
    if (negative)
        ++p;
    char* digits = p;
    int64_t value = 0;
    while (*p >= '0' && *p <= '9' && p - digits < 11) {
        value = value * 10 + (*p - '0');
        ++p;
    }
    if (*p >= '0' && *p <= '9')
        value = INT64_MAX;  // more than eleven digits
    else if (p == digits || (p != end && !IsBlank(*p)))
        return FailAt(at, what, Found(at, end)), false;
    if (negative && value != INT64_MAX)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return FailAt(at, "a record number from -2147483648 to 2147483647", Found(at, end)), false;
    record_ = static_cast<int>(value);
    s = p == end ? end : SkipBlanks(p);
    return true;
}

KvdReader::Record KvdReader::ParseObject(char* s, char* end)
{
    static const char* const kWhat[5] = {"the object name", "the author", "the version",
                                         "the well identifier", "the date (YYYY-MM-DD HH:MM, in quotes)"};
    char* at[5];
    for (int field = kName; field <= kDate; ++field) {
        at[field] = s;
        if (!ParseField(s, end, field, kWhat[field]))
            return kError;
    }
    if (s != end) {
        const char* d = text_[kDate];
        if (length_[kDate] == 10 && d[4] == '-' && d[7] == '-')  // a date and a time without quotes
            return FailAt(at[kDate], "the date and time in quotes, such as \"1987-03-14 09:30\"",
                          Shown(d, 10) + " without quotes");
        return FailAt(s, "the end of the line after the date", Found(s, end));
    }
    if (length_[kName] == 0)
        return FailAt(at[kName], "an object name", "an empty text \"\"");
    KvdDate date;
    if (!ParseKvdDate(text_[kDate], length_[kDate], date)) {
        if (HasKvdDateForm(text_[kDate], length_[kDate]))
            return FailAt(at[kDate], "a date and a time that exist",
                          Shown(text_[kDate], length_[kDate]) + ", which is none (such as 30 February, or 24:00)",
                          "Correct the date, or choose another file.");
        return FailAt(at[kDate], "a date in the form \"YYYY-MM-DD HH:MM\" such as \"1987-03-14 09:30\"",
                      Shown(text_[kDate], length_[kDate]));
    }
    inObject_ = true;
    groups_.Clear();
    return kObject;
}

// One bit per byte of the rest of a line: what follows the group and the parent.
struct RestMasks {
    uint64_t blank;    // ' ' or tab
    uint64_t quote;    // '"'
    uint64_t special;  // '\' or a control byte other than tab
    unsigned length;   // bytes up to the '\n'
};

// Classifies bytes up to the next '\n'; false when there is none in the first 64.
// Loads may reach 15 bytes past the '\n': the buffer's slack covers the last line.
inline bool ClassifyRest(const char* s, RestMasks& m)
{
    m.blank = m.quote = m.special = 0;
#if defined(__SSE2__)
    const __m128i newline = _mm_set1_epi8('\n'), space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\'), lastControl = _mm_set1_epi8(0x1F);
    for (unsigned at = 0; at < 64; at += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
        __m128i isTab = _mm_cmpeq_epi8(x, tab);
        __m128i isControl = _mm_andnot_si128(isTab, _mm_cmpeq_epi8(_mm_min_epu8(x, lastControl), x));
        m.blank |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, space), isTab)))) << at;
        m.quote |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, quote)))) << at;
        m.special |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, backslash), isControl))))
                     << at;
        unsigned lf = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, newline)));
        if (lf != 0) {
            m.length = at + static_cast<unsigned>(__builtin_ctz(lf));
            break;
        }
        if (at == 48)
            return false;
    }
#else
    for (unsigned i = 0;; ++i) {
        if (i == 64)
            return false;
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n') {
            m.length = i;
            break;
        }
        uint64_t bit = uint64_t(1) << i;
        if (c == ' ' || c == '\t')
            m.blank |= bit;
        else if (c == '"')
            m.quote |= bit;
        else if (c == '\\' || c < 0x20)
            m.special |= bit;
    }
#endif
    uint64_t inLine = (uint64_t(1) << m.length) - 1;  // length < 64
    m.blank &= inLine;
    m.quote &= inLine;
    m.special &= inLine;
    return true;
}

// The first `length` bytes (at most 64) of line and prefix are the same. Loads may
// reach 15 bytes past them: the buffer's slack and prefix_'s size cover that.
inline bool SamePrefix(const char* line, const char* prefix, size_t length)
{
#if defined(__SSE2__)
    for (size_t at = 0; at < length; at += 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + at));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prefix + at));
        unsigned equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        size_t left = length - at;
        unsigned wanted = left >= 16 ? 0xFFFFu : (1u << left) - 1;
        if ((equal & wanted) != wanted)
            return false;
    }
    return true;
#else
    return std::memcmp(line, prefix, length) == 0;
#endif
}

// Most value lines repeat the group and the parent of the line before, byte for
// byte: the rest is read in one go, and the group and the parent are those of the
// group path, which they matched last time. Anything else quoted, escaped, long or
// odd returns false with nothing changed, and the line is read the general way.
// Without kDeliver the line is only checked, and no text is set.
template <bool kDeliver>
bool KvdReader::ReadRepeatedValue()
{
    char* buffer = buffer_.get();
    char* line = buffer + begin_;
    if (end_ - begin_ <= prefixLength_ || !SamePrefix(line, prefix_, prefixLength_))
        return false;
    char* s = line + prefixLength_;
    RestMasks m;
    if (!ClassifyRest(s, m) || s + m.length == buffer + end_)
        return false;  // a long line, or one that may go on behind the buffer
    char* lf = s + m.length;
    unsigned length = m.length;
    if (length > 0 && s[length - 1] == '\r') {
        --length;  // CR LF
        m.special &= ~(uint64_t(1) << length);
    }
    if (m.special != 0)
        return false;

    // Fields are the runs between blanks. Quotes may only form "" (the empty text)
    // as a whole field.
    uint64_t field = ~m.blank & ((uint64_t(1) << length) - 1);
    uint64_t starts = field & ~(field << 1);
    uint64_t lasts = field & ~(field >> 1);
    uint64_t pairs = m.quote & (m.quote >> 1);
    if (m.quote != (pairs | (pairs << 1)) || (pairs & ~starts) != 0 || ((pairs << 1) & ~lasts) != 0)
        return false;
    // The record, the name and the text, then at most the suffix and the extra text:
    // three to five fields, the first one at the start.
    uint64_t fromThird = starts & (starts - 1);
    fromThird &= fromThird - 1;
    uint64_t fromFifth = fromThird & (fromThird - 1);
    fromFifth &= fromFifth - 1;
    if ((starts & 1) == 0 || fromThird == 0 || (fromFifth & (fromFifth - 1)) != 0)
        return false;

    // The record number: up to nine digits, so that it fits without a check.
    unsigned digitCount = static_cast<unsigned>(__builtin_ctzll(lasts)) + 1;
    if (digitCount > 9)
        return false;
    int record = 0;
    for (unsigned i = 0; i < digitCount; ++i) {
        unsigned digit = static_cast<unsigned char>(s[i]) - '0';
        if (digit > 9)
            return false;
        record = record * 10 + static_cast<int>(digit);
    }

    if (kDeliver) {
        static const int kFieldOf[5] = {-1, kValueName, kValueText, kSuffix, kExtra};
        text_[kSuffix] = text_[kExtra] = "";
        length_[kSuffix] = length_[kExtra] = 0;
        starts &= starts - 1;  // past the record number
        lasts &= lasts - 1;
        for (int i = 1; starts != 0; ++i) {
            unsigned first = static_cast<unsigned>(__builtin_ctzll(starts));
            unsigned last = static_cast<unsigned>(__builtin_ctzll(lasts));
            starts &= starts - 1;
            lasts &= lasts - 1;
            bool empty = (pairs >> first) & 1;
            char* text = s + first + (empty ? 1 : 0);
            char* stop = s + last + (empty ? 0 : 1);
            *stop = '\0';
            text_[kFieldOf[i]] = text;
            length_[kFieldOf[i]] = static_cast<size_t>(stop - text);
        }
        // Copies, not the path itself: a caller that changes a text it was given must not
        // change what the next lines are checked against.
        const std::string& group = groups_.At(groups_.Depth() - 1);
        shownGroup_.assign(group);
        text_[kGroup] = shownGroup_.c_str();
        length_[kGroup] = group.size();
        if (repeatHasParent_) {
            shownParent_.assign(groups_.At(groups_.Depth() - 2));
            text_[kParentGroup] = shownParent_.c_str();
            length_[kParentGroup] = shownParent_.size();
        } else {
            text_[kParentGroup] = "";
            length_[kParentGroup] = 0;
        }
        record_ = record;
    }

    ++line_;
    lineStart_ = line;
    begin_ = static_cast<size_t>(lf + 1 - buffer);
    return true;
}

// After a value line read the general way: may the next line repeat its group and
// parent? It may when they would pass the common case of CheckNesting again, and
// when its raw bytes up to the record number were copied to prefix_ before decoding.
void KvdReader::RememberPrefix(size_t copied, const char* recordAt)
{
    size_t length = static_cast<size_t>(recordAt - lineStart_);
    size_t parentLength = length_[kParentGroup];
    repeat_ = length <= copied && groups_.Repeats(text_[kGroup], length_[kGroup], text_[kParentGroup], parentLength);
    prefixLength_ = length;
    repeatHasParent_ = parentLength != 0;
}
KvdReader::Record KvdReader::ParseValue(char* s, char* end, size_t copied)
{
    if (!inObject_)
        return FailAt(lineStart_, "an \"object\" line before the first value", "a \"value\" line");
    char* groupAt = s;
    if (!ParseField(s, end, kGroup, "the group name"))
        return kError;
    char* parentAt = s;
    if (!ParseField(s, end, kParentGroup, "the parent group (\"\" for a top-level group)"))
        return kError;
    char* recordAt = s;
    if (!ParseRecordNumber(s, end) || !ParseField(s, end, kValueName, "the value name") ||
        !ParseField(s, end, kValueText, "the value text"))
        return kError;
    text_[kSuffix] = text_[kExtra] = "";
    length_[kSuffix] = length_[kExtra] = 0;
    if (s != end && !ParseField(s, end, kSuffix, "the suffix text"))
        return kError;
    if (s != end && !ParseField(s, end, kExtra, "the extra text"))
        return kError;
    if (s != end)
        return FailSaying(s, "a value line has at most seven fields, and an eighth follows: " + Found(s, end) + ".",
                          "Write a text that holds blanks in double quotes, or remove the field; or choose "
                          "another file.");
    if (!CheckNesting(groupAt, parentAt))
        return kError;
    RememberPrefix(copied, recordAt);
    return kValue;
}

// The path's rule is KvdGroupPath's; here each refusal is told with its place.
bool KvdReader::CheckNesting(char* groupAt, char* parentAt)
{
    const char* group = text_[kGroup];
    size_t groupLength = length_[kGroup];
    const char* parent = text_[kParentGroup];
    size_t parentLength = length_[kParentGroup];
    KvdGroupPath::Step step = groups_.Enter(group, groupLength, parent, parentLength);
    if (step == KvdGroupPath::kEntered)
        return true;
    auto path = [&] {
        std::string shown;
        for (size_t level = 0; level < groups_.Depth() && shown.size() < 200; ++level)
            shown += (level ? " > " : "") + Shown(groups_.At(level).data(), groups_.At(level).size());
        return shown;
    };
    switch (step) {
    case KvdGroupPath::kEmptyGroup: return FailAt(groupAt, "a group name", "an empty text \"\""), false;
    case KvdGroupPath::kFirstNested:
        return FailAt(parentAt, "an empty parent group \"\" for the first value of an object",
                      Shown(parent, parentLength)),
               false;
    case KvdGroupPath::kParentOffPath:
        return FailAt(parentAt,
                      "an empty parent group \"\" or one on the group path of the value before (" + path() + ")",
                      Shown(parent, parentLength)),
               false;
    default:
        return FailAt(groupAt, "groups nested at most " + std::to_string(kMaxDepth) + " levels deep",
                      "a group at level " + std::to_string(kMaxDepth + 1)),
               false;
    }
}

size_t KvdGroupPath::LevelOf(const char* group, size_t length) const
{
    for (size_t level = 0; level < depth_; ++level)
        if (Is(level, group, length))
            return level;
    return depth_;
}

KvdGroupPath::Step KvdGroupPath::EnterOther(const char* group, size_t groupLength, const char* parent,
                                            size_t parentLength)
{
    if (groupLength == 0)
        return kEmptyGroup;
    if (depth_ == 0) {
        if (parentLength != 0)
            return kFirstNested;
        path_[0].assign(group, groupLength);
        depth_ = 1;
        return kEntered;
    }
    size_t parentLevel = parentLength != 0 ? LevelOf(parent, parentLength) : depth_;
    size_t groupLevel = LevelOf(group, groupLength);
    if (parentLength != 0 && parentLevel == depth_)
        return kParentOffPath;
    if (groupLevel < depth_) {
        // Back in a group on the path, whichever group on the path it names as its
        // parent: it is not nested again (the walk of the values places it so).
        depth_ = groupLevel + 1;
    } else if (parentLength == 0) {
        path_[0].assign(group, groupLength);  // a new top-level group
        depth_ = 1;
    } else {
        if (parentLevel + 1 >= kMaxDepth)
            return kTooDeep;
        path_[parentLevel + 1].assign(group, groupLength);  // nested in its parent
        depth_ = parentLevel + 2;
    }
    return kEntered;
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

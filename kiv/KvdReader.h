// KvdReader.h - reads and checks a .kvd file line by line, streaming, through a Disk.
//
// The reader keeps one buffer of fixed size: memory does not grow with the file.
// Texts are decoded in place inside that buffer and zero-terminated there (a group
// repeated from the line before is a copy of the group path's), so a record's texts
// stay valid until the next call of Next, Rewind or Close, and a caller may change
// them in place: nothing that the reading goes on from is handed out.
// Every line is checked, including the order of groups that a depth-first walk of
// the values relies on; the first fault ends the reading with a message that names
// the file, the line, the column, what was expected and what to do.
//
// Besides records, the reader hands out a file's lines as they stand (NextRawLine), for
// the update merge that copies them: the same reading, the same keywords and the same
// decoding of an object's name as for records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KvdBytes.h"
#include "KvdDisk.h"

// The group path of one object's values, kept by the one rule of the format that the
// depth-first walk of the values relies on, for the reader and the writer alike:
// - the first value of an object is in a top-level group (an empty parent);
// - a group on the path is returned to, never nested again, whatever group on the path
//   it names as its parent (the path is then cut back to it, so the same line right
//   after it may name a parent that is no longer on the path);
// - any other group nests in its parent, which must be on the path; an empty parent
//   starts a new top-level group;
// - groups nest at most kMaxDepth levels deep.
class KvdGroupPath {
public:
    static constexpr size_t kMaxDepth = 32;
    enum Step {
        kEntered,       // the path follows the value
        kEmptyGroup,    // the group name is empty
        kFirstNested,   // the first value of the object has a parent
        kParentOffPath, // the parent is not on the path
        kTooDeep,       // the group would nest one level too deep
    };

    KvdGroupPath() : path_(kMaxDepth) {}
    // A new object: no groups yet.
    void Clear() { depth_ = 0; }
    // Another value of the group of the value before, with the same parent or none:
    // the path stays as it is.
    bool Repeats(const char* group, size_t groupLength, const char* parent, size_t parentLength) const
    {
        return depth_ > 0 && Is(depth_ - 1, group, groupLength) &&
               (parentLength == 0 || (depth_ >= 2 && Is(depth_ - 2, parent, parentLength)));
    }
    // Takes the value's groups onto the path; on a refusal the path is unchanged.
    Step Enter(const char* group, size_t groupLength, const char* parent, size_t parentLength)
    {
        return Repeats(group, groupLength, parent, parentLength) ? kEntered
                                                                 : EnterOther(group, groupLength, parent, parentLength);
    }
    Step Enter(std::string_view group, std::string_view parent)
    {
        return Enter(group.data(), group.size(), parent.data(), parent.size());
    }
    size_t Depth() const { return depth_; }
    const std::string& At(size_t level) const { return path_[level]; }
    // The level of `group` on the path, Depth() when it is not on it.
    size_t LevelOf(const char* group, size_t length) const;
    // The path as a person reads it: "A" > "B".
    std::string Shown() const;

private:
    bool Is(size_t level, const char* text, size_t length) const
    {
        return path_[level].size() == length && std::memcmp(path_[level].data(), text, length) == 0;
    }
    Step EnterOther(const char* group, size_t groupLength, const char* parent, size_t parentLength);
    std::vector<std::string> path_;
    size_t depth_ = 0;
};

class KvdReader {
public:
    enum Record { kObject, kValue, kEnd, kFinished, kError };
    enum ObjectField { kName, kAuthor, kVersion, kWellId, kDate };
    enum ValueField { kGroup, kParentGroup, kValueName, kValueText, kSuffix, kExtra };

    // The one limit on lines, for reading, writing and the update's merge alike: a line
    // holds at most kMaxLine bytes before its line end ("\n" or "\r\n").
    static constexpr size_t kMaxLine = size_t(1) << 20;
    // The bytes of a line that the limit counts: `size` bytes at `line`, its line end
    // ("\n", "\r\n", or a last line's "\r") left out where it has one.
    static size_t CountedLength(const char* line, size_t size);
    static bool Fits(const char* line, size_t size) { return CountedLength(line, size) <= kMaxLine; }
    static constexpr size_t kMaxDepth = KvdGroupPath::kMaxDepth;  // levels of nested groups

    // `callersToUtf8`: the paths given and the system's words are in the callers' code
    // page; messages are UTF-8 as a whole (nullptr: they are UTF-8 already).
    explicit KvdReader(kvddisk::Disk& disk = kvddisk::SystemDisk(), KvdLegacyToUtf8 callersToUtf8 = nullptr);
    ~KvdReader();
    KvdReader(const KvdReader&) = delete;
    KvdReader& operator=(const KvdReader&) = delete;

    // Opens the file and reads its first line. False: Message() says why.
    bool Open(const char* path);
    // Back to the first record, for a second pass over the same file.
    bool Rewind();
    void Close();
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return path_; }

    // The next record. kEnd comes once, for the "end" line; kFinished follows when
    // nothing but blank lines and comments comes after it. kError: see Message().
    Record Next();

    // Checks every remaining line; true when the file is sound up to its end.
    bool CheckToEnd();

    // Fields of the last kObject or kValue record, decoded and zero-terminated.
    const char* Text(int field) const { return text_[field]; }
    size_t Length(int field) const { return length_[field]; }
    int RecordNumber() const { return record_; }

    // After the last line was read: is the whole file UTF-8? (A file that is not is
    // an older one in the Windows code page.)
    bool IsUtf8() const { return utf8_.Valid(); }
    // Every byte read from now on is fed to `hash` too (nullptr: none).
    void HashInto(ContentHash* hash) { hash_ = hash; }
    // IsUtf8() is not wanted: the bytes need no check for it.
    void SkipUtf8Check() { checkUtf8_ = false; }

    // One line as it stands in the file, its line end included, and what it holds. An
    // object line's name is decoded: Text(kName). Beyond that nothing is checked; a
    // caller that relies on the lines read the file with CheckToEnd() before.
    enum LineKind { kHeaderLine, kBlankOrComment, kObjectLine, kValueLine, kEndLine, kOtherLine };
    struct RawLine {
        const char* bytes;
        size_t size;
        LineKind kind;
    };
    // False at the end of the file, and on a fault (Failed(), Message()): a line longer
    // than the limit, a read that failed, or an object name that cannot be decoded.
    bool NextRawLine(RawLine& line);
    bool Failed() const { return failed_; }
    // After a fault: what the disk said, when a read of the disk failed (kind kNone else).
    const kvddisk::Error& DiskError() const { return diskError_; }

    uint64_t LineNumber() const { return line_; }
    const std::string& Message() const { return message_; }

private:
    bool NextLine(char*& line, size_t& length);
    bool ReadHeader();
    Record ParseObject(char* s, char* end);
    Record ParseValue(char* s, char* end, size_t copied);
    Record NextGeneral();
    template <bool kDeliver>
    bool ReadRepeatedValue();
    void RememberPrefix(size_t copied, const char* recordAt);
    bool ParseField(char*& s, char* end, int field, const char* what);
    bool ParseFieldSlow(char*& s, char* end, int field, const char* what);
    bool ParseRecordNumber(char*& s, char* end);
    bool CheckNesting(char* groupAt, char* parentAt);

    Record FailAt(const char* at, const std::string& expected, const std::string& found,
                  const char* todo = nullptr);
    Record FailFile(const std::string& what, const char* todo);
    // "line L, column C: " and a sentence of its own, for faults that "expected ...,
    // found ..." says badly.
    Record FailSaying(const char* at, const std::string& what, const std::string& todo);
    std::string PathText() const;
    bool ChangedSinceOpen();
    // The disk's words for the last failure, in UTF-8.
    std::string Detail() const;
    // A message's piece that shows the file's own bytes, in UTF-8: converted from the code
    // page when the file read so far is an older one in it.
    std::string FromFile(const std::string& piece) const;

    kvddisk::Disk& disk_;
    KvdLegacyToUtf8 callersToUtf8_;
    kvddisk::Stamp opened_;  // the open file then, where the disk can tell (watched_)
    bool watched_ = false;
    kvddisk::FileHandle file_;
    uint64_t offset_ = 0;  // of the next read
    std::string path_;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0;  // first unread byte
    size_t end_ = 0;    // one past the last byte read
    bool eof_ = false;
    bool failed_ = false;
    Utf8Check utf8_;
    bool checkUtf8_ = true;
    ContentHash* hash_ = nullptr;
    kvddisk::Error diskError_;
    size_t rawSize_ = 0;        // of the last line, with its line end
    RawLine header_ = {nullptr, 0, kHeaderLine};  // the first line, until NextRawLine hands it out
    std::string scratch_;       // a copy of an object line, decoded for NextRawLine

    uint64_t line_ = 0;
    const char* lineStart_ = nullptr;
    bool seenEnd_ = false;
    bool inObject_ = false;

    // The group path of the walk: At(0) the top-level group, At(Depth() - 1) the group
    // of the last value. Names are unique on it.
    KvdGroupPath groups_;
    std::string shownGroup_, shownParent_;  // the texts of a repeated value line, handed out

    // The raw bytes of the last value line up to its record number, for the next
    // line that repeats them (see ReadRepeatedValue).
    char prefix_[64] = {};
    size_t prefixLength_ = 0;
    bool repeat_ = false;
    bool repeatHasParent_ = false;

    const char* text_[6] = {};
    size_t length_[6] = {};
    int record_ = 0;
    std::string message_;
};

// KvdReader.h - reads and checks a .kvd file line by line, streaming, through a Disk.
//
// The reader keeps one buffer of fixed size: memory does not grow with the file.
// Texts are decoded in place inside that buffer and zero-terminated there (a group
// repeated from the line before comes from the group path), so a record's texts
// stay valid until the next call of Next, Rewind or Close.
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
#include <memory>
#include <string>
#include <vector>

#include "KvdBytes.h"
#include "KvdDisk.h"

class KvdReader {
public:
    enum Record { kObject, kValue, kEnd, kFinished, kError };
    enum ObjectField { kName, kAuthor, kVersion, kWellId, kDate };
    enum ValueField { kGroup, kParentGroup, kValueName, kValueText, kSuffix, kExtra };

    static constexpr size_t kMaxLine = size_t(1) << 20;  // bytes, without the line end
    static constexpr size_t kMaxDepth = 32;              // levels of nested groups

    explicit KvdReader(kvddisk::Disk& disk = kvddisk::SystemDisk());
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

    kvddisk::Disk& disk_;
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

    // The group path of the walk: [0] the top-level group, [depth_ - 1] the group
    // of the last value. Names are unique on it.
    std::vector<std::string> groupPath_;
    size_t depth_ = 0;

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

// KvdWriteSession.cpp - checking what is put, the spool of update mode, the merge
// with the target's lines, and the commit's order of steps: write, flush to the
// disk, make sure the target is still what it was at the begin, replace.
#include "KvdWriteSession.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "KvdBytes.h"
#include "KvdDate.h"
#include "KvdReader.h"

void (*KvdWriteSession::commitStepHook)(const char* step) = nullptr;

namespace {

constexpr size_t kChunk = size_t(1) << 20;

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

bool Seek(std::FILE* file, uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// A file read line by line through one large buffer, every byte also hashed.
class LineSource {
public:
    explicit LineSource(std::FILE* file) : file_(file), buffer_(new char[kCapacity + 1]) {}
    // The next line with its line end, if it has one. False at the end, or when a
    // line is longer than a .kvd file allows, or on a read error (Failed()).
    bool Next(const char*& line, size_t& length)
    {
        for (;;) {
            char* start = buffer_.get() + begin_;
            size_t available = end_ - begin_;
            char* lf = static_cast<char*>(std::memchr(start, '\n', available));
            if (lf != nullptr || (eof_ && available > 0)) {
                length = lf != nullptr ? static_cast<size_t>(lf - start) + 1 : available;
                if (length > KvdReader::kMaxLine + 2) {
                    failed_ = true;
                    return false;
                }
                line = start;
                begin_ += length;
                return true;
            }
            if (eof_)
                return false;
            if (available > KvdReader::kMaxLine + 2) {
                failed_ = true;
                return false;
            }
            if (kCapacity - end_ < kChunk) {
                std::memmove(buffer_.get(), start, available);
                begin_ = 0;
                end_ = available;
            }
            size_t got = std::fread(buffer_.get() + end_, 1, kChunk, file_);
            if (got < kChunk) {
                if (std::ferror(file_)) {
                    failed_ = true;
                    return false;
                }
                eof_ = true;
            }
            hash_.Feed(buffer_.get() + end_, got);
            end_ += got;
        }
    }
    bool Failed() const { return failed_; }
    const ContentHash& Hash() const { return hash_; }

private:
    static constexpr size_t kCapacity = KvdReader::kMaxLine + 2 + 2 * kChunk;
    std::FILE* file_;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0, end_ = 0;
    bool eof_ = false, failed_ = false;
    ContentHash hash_;
};

// The first text at s, decoded (bare or quoted). False when there is none.
bool DecodeText(const char* s, const char* end, std::string& text)
{
    text.clear();
    if (s == end)
        return false;
    if (*s != '"') {
        const char* stop = s;
        while (stop < end && static_cast<unsigned char>(*stop) > ' ')
            ++stop;
        text.assign(s, stop);
        return true;
    }
    for (const char* p = s + 1; p < end; ++p) {
        if (*p == '"')
            return true;
        if (*p != '\\') {
            text += *p;
            continue;
        }
        if (++p == end)
            return false;
        switch (*p) {
        case 't': text += '\t'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 'x':
            if (end - p < 3 || HexDigit(p[1]) < 0 || HexDigit(p[2]) < 0)
                return false;
            text += static_cast<char>(HexDigit(p[1]) * 16 + HexDigit(p[2]));
            p += 2;
            break;
        default: text += *p; break;
        }
    }
    return false;
}

// A line of an older file in the Windows code page, in UTF-8: the bytes above 127
// of texts and comments are converted, and so is a byte above 127 that a quoted
// text writes as \xHH (it stands for a character of that code page too).
std::string LegacyLineToUtf8(std::string_view line, KvdWriteSession::LegacyToUtf8 convert)
{
    std::string out;
    out.reserve(line.size() + line.size() / 2);
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    bool comment = i < line.size() && line[i] == '#';
    bool quoted = false;
    std::string run;  // bytes above 127 waiting for conversion
    auto flush = [&] {
        if (!run.empty())
            out += convert(run);
        run.clear();
    };
    for (i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x80) {
            run += static_cast<char>(c);
            continue;
        }
        if (quoted && !comment && c == '\\' && i + 1 < line.size()) {
            if (line[i + 1] == 'x' && i + 3 < line.size() && HexDigit(line[i + 2]) >= 8 && HexDigit(line[i + 3]) >= 0) {
                run += static_cast<char>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3]));
                i += 3;
                continue;
            }
            flush();
            out += line.substr(i, 2);
            ++i;
            continue;
        }
        flush();
        if (c == '"' && !comment)
            quoted = !quoted;
        out += static_cast<char>(c);
    }
    flush();
    return out;
}

// What kind of record a line holds, and where its fields begin.
enum LineKind { kOther, kCommentOrBlank, kObjectLine, kValueLine, kEndLine };

LineKind KindOf(const char* line, size_t length, const char*& fields, const char*& end)
{
    end = line + length;
    if (end > line && end[-1] == '\n')
        --end;
    if (end > line && end[-1] == '\r')
        --end;
    const char* s = line;
    while (s < end && IsBlank(*s))
        ++s;
    if (s == end || *s == '#')
        return kCommentOrBlank;
    auto keyword = [&](const char* word, size_t n) {
        return static_cast<size_t>(end - s) >= n && std::memcmp(s, word, n) == 0 && (s + n == end || IsBlank(s[n]));
    };
    const char* after = nullptr;
    LineKind kind = kOther;
    if (keyword("value", 5)) {
        kind = kValueLine;
        after = s + 5;
    } else if (keyword("object", 6)) {
        kind = kObjectLine;
        after = s + 6;
    } else if (keyword("end", 3)) {
        kind = kEndLine;
        after = s + 3;
    } else {
        return kOther;
    }
    while (after < end && IsBlank(*after))
        ++after;
    fields = after;
    return kind;
}

}  // namespace

std::string KvdDateNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}

KvdWriteSession::KvdWriteSession() = default;

KvdWriteSession::~KvdWriteSession() { Abandon(); }

std::string KvdWriteSession::Head() const { return "Cannot write \"" + path_ + "\": "; }

bool KvdWriteSession::Refuse(const std::string& text)
{
    Abandon();
    message_ = text;
    return false;
}

bool KvdWriteSession::RefuseObject(const std::string& text)
{
    current_ = nullptr;  // the values put after it have no object
    message_ = text;
    return false;
}

bool KvdWriteSession::RefuseValue(const std::string& text)
{
    message_ = text;
    return false;
}

std::string KvdWriteSession::FailureText(const kvddisk::Error& error) const
{
    const std::string nothing = " Nothing was written; the file is as it was.";
    switch (error.kind) {
    case kvddisk::Failure::kDiskFull:
        return Head() + "the disk is full (" + error.detail + ")." + nothing + " Free some space, then try again.";
    case kvddisk::Failure::kNoPermission:
        return Head() + "you may not write the file or its folder (" + error.detail + ")." + nothing +
               " Check that the file is not read-only and that you may write in the folder, then try again; "
               "or choose another file.";
    case kvddisk::Failure::kHeldOpen:
        return Head() + "another program holds the file open (" + error.detail + ")." + nothing +
               " Close the file in that program, then try again.";
    case kvddisk::Failure::kNoFolder:
        return Head() + "its folder is not there (" + error.detail + ")." + nothing +
               " Check the folder, or choose another one.";
    default:
        return Head() + "writing failed (" + error.detail + ")." + nothing +
               " Check the disk or the network, then try again.";
    }
}

std::string KvdWriteSession::ChangedText() const
{
    return Head() +
           "the file changed on the disk after the writing began (another program or person saved it). "
           "Nothing was written, so that change is not lost. Read the file again, then repeat the writing.";
}

// The target could not be opened again at the commit: gone (a change), or held.
std::string KvdWriteSession::CannotReadTargetText() const
{
    int code = errno;
    kvddisk::Stamp now;
    kvddisk::Error error;
    if (code == ENOENT || !kvddisk::GetStamp(path_, now, error) || !now.SameFile(stamp_))
        return ChangedText();
    error.kind = kvddisk::Failure::kHeldOpen;
    error.detail = std::strerror(code);
    return FailureText(error);
}

bool KvdWriteSession::Broken(const kvddisk::Error& error)
{
    std::string text = FailureText(error);
    Abandon();
    message_ = text + " The writing was abandoned.";
    return false;
}

bool KvdWriteSession::Begin(const char* path, int mode)
{
    Abandon();
    path_ = path != nullptr ? path : "";
    message_.clear();
    if (path_.empty())
        return Refuse("Cannot write: no file name was given. Choose a .kvd file.");
    if (mode != kUpdate && mode != kReplace)
        return Refuse(Head() + "the mode " + std::to_string(mode) +
                      " is neither 1 (update: keep the file's other objects) nor 2 (replace: the file holds "
                      "only what is written). This is a fault of the program that writes; tell its makers.");
    kvddisk::Error error;
    if (!kvddisk::GetStamp(path_, stamp_, error))
        return Refuse(Head() + "the file cannot be examined (" + error.detail +
                      "). Check that you may read it, or choose another file.");
    if (stamp_.directory)
        return Refuse(Head() + "this is a folder, not a file. Choose a .kvd file in it.");
    if (stamp_.exists && !stamp_.regular)
        return Refuse(Head() + "this is a device or another special file, not an exchange file. Choose a .kvd file.");
    if (stamp_.exists && stamp_.readOnly)
        return Refuse(Head() + "the file is read-only. Clear its read-only attribute or ask for the right to "
                               "write it, then try again; or choose another file.");

    targetIsUtf8_ = true;
    hash_ = 0;
    if (stamp_.exists) {
        ContentHash hash;
        if (mode == kUpdate) {
            // A file that the reader refuses is not rewritten: its fault would be cut away.
            KvdReader reader;
            reader.HashInto(&hash);
            if (!reader.Open(path_.c_str()) || !reader.CheckToEnd())
                return Refuse(reader.Message());
            targetIsUtf8_ = reader.IsUtf8();
        } else {
            std::FILE* file = OpenForReading(path_);
            if (file == nullptr)
                return Refuse(Head() + "the file cannot be read (" + std::strerror(errno) +
                              "): another program may hold it open. Close that program, then try again.");
            std::unique_ptr<char[]> buffer(new char[kChunk]);
            size_t got;
            while ((got = std::fread(buffer.get(), 1, kChunk, file)) > 0)
                hash.Feed(buffer.get(), got);
            bool failed = std::ferror(file) != 0;
            std::fclose(file);
            if (failed)
                return Refuse(Head() + "the file cannot be read to its end. Check the disk or the network, "
                                       "then try again.");
        }
        hash_ = hash.Value();
    }

    if (!out_.Create(kvddisk::TemporaryPathBeside(path_), error)) {
        std::string text = Head() + "no file can be made in its folder (" + error.detail + "). " +
                           (error.kind == kvddisk::Failure::kNoFolder
                                ? "Check that the folder exists, or choose another one."
                            : error.kind == kvddisk::Failure::kDiskFull
                                ? "Free some space on the disk, then try again."
                                : "Check that you may write in the folder, then try again; or choose another one.");
        return Refuse(text);
    }
    mode_ = mode;
    open_ = true;
    written_ = 0;
    current_ = nullptr;
    if (mode_ == kReplace && !Emit(std::string(kKvdHeader) + "\n"))
        return false;
    return true;
}

bool KvdWriteSession::Emit(const std::string& line)
{
    kvddisk::Error error;
    if (!out_.Write(line, error))
        return Broken(error);
    written_ += line.size();
    return true;
}

bool KvdWriteSession::FieldsHaveNoZero(std::initializer_list<std::pair<const char*, std::string_view>> fields,
                                       const char* what)
{
    for (const auto& field : fields) {
        if (field.second.find('\0') != std::string_view::npos) {
            message_ = std::string(what) + " is not written: its " + field.first +
                       " holds a zero byte, which a .kvd text cannot hold. Remove it.";
            return false;
        }
    }
    return true;
}

bool KvdWriteSession::PutObject(std::string_view name, std::string_view author, std::string_view version,
                                std::string_view wellId, std::string_view date)
{
    if (!open_)
        return RefuseObject("The object is not written: no write is open. Call KivBeginWrite first.");
    if (!FieldsHaveNoZero({{"name", name}, {"author", author}, {"version", version}, {"well identifier", wellId},
                           {"date", date}},
                          "The object")) {
        current_ = nullptr;
        return false;
    }
    if (name.empty())
        return RefuseObject("The object is not written: its name is empty. Give every object a name.");
    std::string shownName = "The object \"" + std::string(name) + "\"";
    std::string now;
    if (date.empty()) {
        now = KvdDateNow();
        date = now;
    }
    KvdDate fields;
    if (!ParseKvdDate(date.data(), date.size(), fields))
        return RefuseObject(shownName + " is not written: its date \"" + std::string(date) +
                            "\" is not a date and time of the form YYYY-MM-DD HH:MM that exists (such as "
                            "\"1987-03-14 09:30\"). Give such a date, or \"\" for the time now.");
    line_.clear();
    AppendKvdObjectLine(line_, name, author, version, wellId, date);
    if (line_.size() - 1 > KvdReader::kMaxLine)
        return RefuseObject(shownName.substr(0, 80) + " is not written: its line would be " +
                            std::to_string(line_.size() - 1) + " bytes long, and a .kvd file allows at most " +
                            std::to_string(KvdReader::kMaxLine) + ". Shorten its texts.");
    uint64_t offset = written_;
    if (!Emit(line_))
        return false;
    if (mode_ == kUpdate) {
        auto found = names_.find(std::string(name));
        if (found == names_.end()) {
            found = names_.emplace(std::string(name), Name()).first;
            order_.push_back(found->first);
        }
        found->second.pieces.push_back({offset, line_.size()});
        current_ = &found->second.pieces.back();
    } else {
        static Piece unused;  // replace mode writes in the order put; nothing to place later
        current_ = &unused;
    }
    groups_.Clear();
    return true;
}

bool KvdWriteSession::PutValue(std::string_view group, std::string_view parent, int record, std::string_view name,
                               std::string_view value, std::string_view suffix, std::string_view extra)
{
    // Named in a refusal only: most values pass, and a text for each would cost.
    auto shown = [&] {
        return "The value \"" + std::string(name.substr(0, 80)) + "\" of the group \"" +
               std::string(group.substr(0, 80)) + "\"";
    };
    if (!open_)
        return RefuseValue("The value is not written: no write is open. Call KivBeginWrite first.");
    if (current_ == nullptr)
        return RefuseValue(shown() + " is not written: no object takes it, because none was put since the "
                                     "writing began or the last one was refused. Put its object first.");
    line_.clear();
    if (!AppendKvdValueLine(line_, group, parent, record, name, value, suffix, extra))
        return RefuseValue(shown() + " is not written: one of its texts holds a zero byte, which a .kvd text "
                                     "cannot hold. Remove it.");
    if (line_.size() - 1 > KvdReader::kMaxLine)
        return RefuseValue(shown() + " is not written: its line would be " + std::to_string(line_.size() - 1) +
                           " bytes long, and a .kvd file allows at most " + std::to_string(KvdReader::kMaxLine) +
                           ". Shorten its texts.");
    std::string why;
    if (!groups_.Enter(group, parent, why))
        return RefuseValue(shown() + " is not written: " + why);
    if (!Emit(line_))
        return false;
    current_->length += line_.size();
    return true;
}

void KvdWriteSession::Abandon()
{
    out_.Remove();
    open_ = false;
    current_ = nullptr;
    names_.clear();
    order_.clear();
    written_ = 0;
}

// The target is still the file that Begin saw: same stamp, and (when its content
// was read again) the same content.
bool KvdWriteSession::StillTheSame(uint64_t hash, uint64_t size)
{
    kvddisk::Stamp now;
    kvddisk::Error error;
    if (!kvddisk::GetStamp(path_, now, error) || !now.SameFile(stamp_))
        return false;
    return !stamp_.exists || (hash == hash_ && size == stamp_.size);
}

bool KvdWriteSession::Say(const std::string& text)
{
    message_ = text;
    return false;
}

bool KvdWriteSession::PlaceName(Name& name, std::FILE* spool, kvddisk::NewFile& out)
{
    name.placed = true;
    std::unique_ptr<char[]> buffer(new char[64 << 10]);
    kvddisk::Error error;
    for (const Piece& piece : name.pieces) {
        if (!Seek(spool, piece.offset))
            return Say(Head() + "the objects put could not be read back from the temporary file. Nothing was "
                                "written; the file is as it was. Check the disk, then try again.");
        for (uint64_t left = piece.length; left > 0;) {
            size_t want = left < (64u << 10) ? static_cast<size_t>(left) : (64u << 10);
            if (std::fread(buffer.get(), 1, want, spool) != want)
                return Say(Head() + "the objects put could not be read back from the temporary file. Nothing "
                                    "was written; the file is as it was. Check the disk, then try again.");
            if (!out.Write(buffer.get(), want, error))
                return Say(FailureText(error));
            left -= want;
        }
    }
    return true;
}

// Writes the new file of update mode into `out`: the target's lines with the
// objects put in place of the old ones of their names. `hash` and `size` describe
// the target as read now. False: Message() says why; the caller cleans up, after
// every file opened here is closed (Windows deletes no open file).
bool KvdWriteSession::Merge(kvddisk::NewFile& out, uint64_t& hash, uint64_t& size)
{
    kvddisk::Error error;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(OpenForReading(out_.Path()), &std::fclose);
    if (!spool) {
        error.detail = std::strerror(errno);
        return Say(FailureText(error));
    }
    hash = 0;
    size = 0;
    if (!stamp_.exists) {
        if (!out.Write(std::string(kKvdHeader) + "\n", error))
            return Say(FailureText(error));
        for (const std::string& key : order_)
            if (!PlaceName(names_[key], spool.get(), out))
                return false;
        return out.Write("end\n", 4, error) || Say(FailureText(error));
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> target(OpenForReading(path_), &std::fclose);
    if (!target)
        return Say(CannotReadTargetText());
    LineSource source(target.get());
    bool legacy = !targetIsUtf8_ && legacyToUtf8_ != nullptr;
    bool first = true, skipping = false, ended = false;
    std::string name, converted;
    const char* line;
    size_t length;
    while (source.Next(line, length)) {
        if (legacy) {
            converted = LegacyLineToUtf8(std::string_view(line, length), legacyToUtf8_);
            if (converted.size() > KvdReader::kMaxLine + 2)
                return Say(Head() + "a line of the file, written in the Windows code page, would be longer in "
                                    "UTF-8 than a .kvd file allows. Nothing was written; the file is as it was. "
                                    "Shorten that line, or write the file in replace mode.");
            line = converted.data();
            length = converted.size();
        }
        const char* fields;
        const char* end;
        LineKind kind = first || ended ? kCommentOrBlank : KindOf(line, length, fields, end);
        first = false;
        bool keep = true;
        switch (kind) {
        case kCommentOrBlank: break;
        case kValueLine: keep = !skipping; break;
        case kObjectLine: {
            if (!DecodeText(fields, end, name))
                return Say(ChangedText());
            auto found = names_.find(name);
            skipping = found != names_.end();
            keep = !skipping;
            if (skipping && !found->second.placed && !PlaceName(found->second, spool.get(), out))
                return false;
            break;
        }
        case kEndLine:
            for (const std::string& key : order_) {
                Name& entry = names_[key];
                if (!entry.placed && !PlaceName(entry, spool.get(), out))
                    return false;
            }
            ended = true;
            break;
        default:  // the reader accepted this file at the begin: it changed since
            return Say(ChangedText());
        }
        if (keep && !out.Write(line, length, error))
            return Say(FailureText(error));
    }
    if (source.Failed() || !ended)
        return Say(ChangedText());
    hash = source.Hash().Value();
    size = source.Hash().Size();
    return true;
}

bool KvdWriteSession::Commit()
{
    if (!open_)
        return Say("Nothing was written: no write is open. Call KivBeginWrite first.");
    bool done = CommitSteps();
    Abandon();  // removes what is left: the spool, or the new file after a failure
    if (done)
        message_.clear();
    return done;
}

bool KvdWriteSession::CommitSteps()
{
    kvddisk::Error error;
    uint64_t hash = 0, size = 0;
    kvddisk::NewFile merged;
    kvddisk::NewFile* finished = &out_;
    if (mode_ == kReplace) {
        line_ = "end\n";
        if (!out_.Write(line_, error) || !out_.Finish(error))
            return Say(FailureText(error));
        if (stamp_.exists) {
            std::unique_ptr<std::FILE, int (*)(std::FILE*)> target(OpenForReading(path_), &std::fclose);
            if (!target)
                return Say(CannotReadTargetText());
            LineSource source(target.get());
            const char* line;
            size_t length;
            while (source.Next(line, length)) {
            }
            hash = source.Hash().Value();
            size = source.Failed() ? ~uint64_t(0) : source.Hash().Size();
        }
    } else {
        // A file changed in size or time is refused before any work.
        if (!StillTheSame(hash_, stamp_.size))
            return Say(ChangedText());
        if (!out_.Finish(error))  // the spool, to be read back
            return Say(FailureText(error));
        if (!merged.Create(kvddisk::TemporaryPathBeside(path_), error))
            return Say(FailureText(error));
        if (!Merge(merged, hash, size))
            return false;  // merged is removed as it goes out of scope
        if (!merged.Finish(error))
            return Say(FailureText(error));
        finished = &merged;
    }
    if (commitStepHook != nullptr)
        commitStepHook("written");
    if (!StillTheSame(hash, size))
        return Say(ChangedText());
    if (!kvddisk::ReplaceWith(finished->Path(), path_, error))
        return Say(FailureText(error));
    finished->Forget();
    return true;
}

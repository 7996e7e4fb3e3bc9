// KvdWriteSession.cpp - checking what is put, the spool of update mode, and the
// commit's order of steps: write, flush to the disk, make sure the target is still
// what it was at the begin, replace.
#include "KvdWriteSession.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

#include "KvdBytes.h"
#include "KvdDate.h"
#include "KvdReader.h"

namespace {

constexpr size_t kChunk = size_t(1) << 20;

// The last check and the replace of every commit of this process, one at a time: two
// threads that update one file never both pass the check before either replaced it,
// which would lose the first one's objects.
std::mutex g_lastStep;

// What a Disk call was doing, as a message says it.
const char* StepText(kvddisk::Call call)
{
    switch (call) {
    case kvddisk::Call::kStat: return "examining the file";
    case kvddisk::Call::kOpen: return "opening the file to read it";
    case kvddisk::Call::kRead: return "reading";
    case kvddisk::Call::kClose: return "closing a file";
    case kvddisk::Call::kCreate: return "making the temporary file";
    case kvddisk::Call::kWrite: return "writing the new file";
    case kvddisk::Call::kFlush: return "flushing the new file to the disk";
    case kvddisk::Call::kRename: return "putting the new file in the place of the old one";
    case kvddisk::Call::kList: return "listing the folder";
    case kvddisk::Call::kRemove: return "removing a temporary file";
    }
    return "writing";
}

// Why a value does not follow the group path `path` of the values before it: a sentence
// for a person.
std::string WhyNotOnPath(KvdGroupPath::Step step, const KvdGroupPath& path, std::string_view group,
                         std::string_view parent)
{
    const std::string shownParent = "\"" + std::string(parent) + "\"";
    switch (step) {
    case KvdGroupPath::kEmptyGroup: return "its group name is empty; every value needs a group.";
    case KvdGroupPath::kFirstNested:
        return "it is the first value of its object, so its group must be a top-level group (parent group \"\"), "
               "and its parent group is " + shownParent + ".";
    case KvdGroupPath::kParentOffPath:
        return "its parent group " + shownParent + " is not on the group path of the value before (" +
               path.Shown() + "); values come depth first, so a parent group is \"\" (top level) or a group on "
               "that path.";
    default:
        return "its group would be nested " + std::to_string(KvdGroupPath::kMaxDepth + 1) +
               " levels deep, and groups nest at most " + std::to_string(KvdGroupPath::kMaxDepth) + " levels.";
    }
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

KvdWriteSession::KvdWriteSession(kvddisk::Disk& disk, KvdLegacyToUtf8 convert)
    : disk_(disk), legacyToUtf8_(convert), lock_(disk), out_(disk)
{
}

KvdWriteSession::~KvdWriteSession() { Abandon(); }

// Messages are UTF-8 as a whole: the path and the system's words come in the callers' code page.
std::string KvdWriteSession::Head() const { return "Cannot write \"" + Callers(path_) + "\": "; }

std::string KvdWriteSession::Callers(const std::string& text) const
{
    return legacyToUtf8_ != nullptr ? legacyToUtf8_(text) : text;
}

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

bool KvdWriteSession::Say(const std::string& text)
{
    message_ = text;
    return false;
}

std::string KvdWriteSession::FailureText(const kvddisk::Error& error) const
{
    const std::string nothing = " Nothing was written; the file is as it was.";
    const std::string step = Head() + StepText(error.call) + " failed";
    const std::string detail = Callers(error.detail);
    switch (error.kind) {
    case kvddisk::Failure::kDiskFull:
        return step + ": the disk is full (" + detail + ")." + nothing + " Free some space, then try again.";
    case kvddisk::Failure::kNoPermission:
        return step + ": you may not write the file or its folder (" + detail + ")." + nothing +
               " Check that the file is not read-only and that you may write in the folder, then try again; "
               "or choose another file.";
    case kvddisk::Failure::kHeldOpen:
        return step + ": another program holds the file open (" + detail + ")." + nothing +
               " Close the file in that program, then try again.";
    case kvddisk::Failure::kNoFolder:
        return step + ": its folder is not there (" + detail + ")." + nothing +
               " Check the folder, or choose another one.";
    case kvddisk::Failure::kTooLong:
        return TooLongText(error);
    case kvddisk::Failure::kNotAFile:
        return NotAFileText();
    case kvddisk::Failure::kNotDurable:
        return Head() + "the system reported a fault in the last step of putting the new file in place (" +
               detail +
               "): the file may not hold what was written, or may lose it in a power cut. Check the "
               "disk and the file, and write it again if it is not as written.";
    default:
        return step + " (" + detail + ")." + nothing + " Check the disk or the network, then try again.";
    }
}

std::string KvdWriteSession::TooLongText(const kvddisk::Error& error) const
{
    return Head() + "its path is longer than the system takes (" + Callers(error.detail) +
           "). Choose a shorter name, or a folder with a shorter path.";
}

std::string KvdWriteSession::NotAFileText() const
{
    return Head() + "this is a device or another special file, not an exchange file. Choose a .kvd file.";
}

// What makes an existing target one that no write may replace; "" when none does.
std::string KvdWriteSession::TargetRefusal(const kvddisk::Stamp& stamp) const
{
    if (stamp.directory)
        return Head() + "this is a folder, not a file. Choose a .kvd file in it.";
    if (stamp.exists && !stamp.regular)
        return NotAFileText();
    if (stamp.exists && stamp.readOnly)
        return Head() +
               "the file is read-only. Clear its read-only attribute or ask for the right to write it, then "
               "try again; or choose another file.";
    // A write puts a new file in the place of this name only: the other names would keep
    // the old content, and two files would be where there was one.
    if (stamp.exists && stamp.links > 1)
        return Head() + "the file has " + std::to_string(stamp.links) +
               " names (hard links), and a write would give the new content to this name alone. Remove its other "
               "names, or write a copy of it under a name of its own, then try again.";
    return std::string();
}

std::string KvdWriteSession::ChangedText() const
{
    return Head() +
           "the file changed on the disk after the writing began (another program or person saved it). "
           "Nothing was written, so that change is not lost. Read the file again, then repeat the writing.";
}

// The target could not be opened or read again at the commit: gone or replaced (a
// change), or held, or the disk failed.
std::string KvdWriteSession::CannotReadTargetText(const kvddisk::Error& error)
{
    kvddisk::Error ignored;
    if (StillTheSame(false, 0, 0, ignored) == Sameness::kChanged)
        return ChangedText();
    return FailureText(error);
}

bool KvdWriteSession::Broken(const kvddisk::Error& error)
{
    std::string text = FailureText(error);
    Abandon();
    message_ = text + " The writing was abandoned.";
    return false;
}

// The one way a target is hashed when it is not read as a .kvd file: its bytes, as
// they are, through the disk.
bool KvdWriteSession::HashTarget(uint64_t& hash, uint64_t& size, kvddisk::Error& error)
{
    kvddisk::FileHandle file;
    if (!kvddisk::OpenToReadWaiting(disk_, path_, file, error))
        return false;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    ContentHash content;
    bool read = true;
    for (uint64_t offset = 0;;) {
        size_t got = 0;
        if (!disk_.ReadAt(file, offset, buffer.get(), kChunk, got, error)) {
            read = false;
            break;
        }
        if (got == 0)
            break;
        content.Feed(buffer.get(), got);
        offset += got;
    }
    kvddisk::Error ignored;  // nothing read can be lost by a close that fails
    disk_.Close(file, ignored);
    hash = content.Value();
    size = content.Size();
    return read;
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
    // A name that its folder cannot hold is refused for its length, before anything is
    // asked of the disk (which would say only that the name is not valid).
    kvddisk::NameRoom room = disk_.RoomOfName(path_);
    if (room.length > room.limit)
        return Refuse(Head() + "the file's name is " + std::to_string(room.length) +
                      " characters long, and a name in its folder can have at most " + std::to_string(room.limit) +
                      ". Choose a shorter name.");
    if (!TakeLock())
        return false;
    kvddisk::Error error;
    if (!disk_.GetStamp(path_, stamp_, error))
        return Refuse(error.kind == kvddisk::Failure::kTooLong
                          ? TooLongText(error)
                          : Head() + "the file cannot be examined (" + Callers(error.detail) +
                                "). Check that you may read it, or choose another file.");
    std::string refusal = TargetRefusal(stamp_);
    if (!refusal.empty())
        return Refuse(refusal);

    targetIsUtf8_ = true;
    hash_ = 0;
    if (stamp_.exists) {
        if (mode == kUpdate) {
            // A file that the reader refuses is not rewritten: its fault would be cut away.
            ContentHash hash;
            KvdReader reader(disk_, legacyToUtf8_);
            reader.HashInto(&hash);
            if (!reader.Open(path_.c_str()) || !reader.CheckToEnd())
                return Refuse(reader.Message());
            targetIsUtf8_ = reader.IsUtf8();
            hash_ = hash.Value();
        } else {
            uint64_t size = 0;
            if (!HashTarget(hash_, size, error))
                return Refuse(error.kind == kvddisk::Failure::kNotAFile
                                  ? NotAFileText()
                                  : Head() + (error.call == kvddisk::Call::kOpen
                                                  ? "the file cannot be read (" + Callers(error.detail) +
                                                        "): another program may hold it open. Close that program, "
                                                        "then try again."
                                                  : "reading the file failed (" + Callers(error.detail) +
                                                        "). Check the disk or the network, then try again."));
        }
    }

    if (!out_.CreateBeside(path_, error)) {
        if (error.kind == kvddisk::Failure::kTooLong)
            return Refuse(TooLongText(error));
        std::string text = Head() + "no file can be made in its folder (" + Callers(error.detail) + "). " +
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

// The writers' lock, before anything of the target is examined. A path that no lock
// can be had for is written without one: the change check still guards it.
bool KvdWriteSession::TakeLock()
{
    if (lock_.Take(path_, lockWait_) != kvddisk::WriteLock::Result::kBusy)
        return true;
    std::string wait = lockWait_ % 1000 == 0 ? std::to_string(lockWait_ / 1000) + " seconds"
                                              : std::to_string(lockWait_) + " milliseconds";
    return Refuse(Head() + "another program is writing the file, and did not finish within " + wait +
                  ". Nothing was written; the file is as it was. Try again when that program has finished "
                  "writing it.");
}

bool KvdWriteSession::Emit(const std::string& line)
{
    kvddisk::Error error;
    if (!out_.Write(line, error))
        return Broken(error);
    written_ += line.size();
    return true;
}

// The line straight into the new file's buffer; a line longer than the buffer through
// a text of its own.
bool KvdWriteSession::Emit(const KvdLine& line)
{
    kvddisk::Error error;
    char* room = out_.Room(line.Size(), error);
    if (room == nullptr && error.kind != kvddisk::Failure::kNone)
        return Broken(error);
    if (room != nullptr) {
        line.WriteTo(room);
        out_.Wrote(line.Size());
    } else {
        line_.resize(line.Size());
        line.WriteTo(&line_[0]);
        if (!out_.Write(line_, error))
            return Broken(error);
    }
    written_ += line.Size();
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
    KvdLine line = KvdLine::Object(name, author, version, wellId, date);
    if (line.CountedLength() > KvdReader::kMaxLine)
        return RefuseObject(shownName.substr(0, 80) + " is not written: its line would be " +
                            std::to_string(line.CountedLength()) + " bytes long, and a .kvd file allows at most " +
                            std::to_string(KvdReader::kMaxLine) + ". Shorten its texts.");
    uint64_t offset = written_;
    if (!Emit(line))
        return false;
    if (mode_ == kUpdate) {
        current_ = &put_.Add(name, offset, line.Size());
    } else {
        current_ = &replacePiece_;
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
    KvdLine line = KvdLine::Value(group, parent, record, name, value, suffix, extra);
    if (!line.Sound())
        return RefuseValue(shown() + " is not written: one of its texts holds a zero byte, which a .kvd text "
                                     "cannot hold. Remove it.");
    if (line.CountedLength() > KvdReader::kMaxLine)
        return RefuseValue(shown() + " is not written: its line would be " + std::to_string(line.CountedLength()) +
                           " bytes long, and a .kvd file allows at most " + std::to_string(KvdReader::kMaxLine) +
                           ". Shorten its texts.");
    KvdGroupPath::Step step = groups_.Enter(group, parent);  // a refusal leaves the path as it was
    if (step != KvdGroupPath::kEntered)
        return RefuseValue(shown() + " is not written: " + WhyNotOnPath(step, groups_, group, parent));
    if (!Emit(line))
        return false;
    current_->length += line.Size();
    return true;
}

KvdWriteSession::Quickly KvdWriteSession::PutValueQuickly(const KvdValueTexts& texts, bool convertHigh)
{
    constexpr size_t kRoom = size_t(64) << 10;  // most lines are far shorter; longer ones go the other way
    if (!open_ || current_ == nullptr)
        return Quickly::kOtherWay;
    kvddisk::Error error;
    char* room = out_.Room(kRoom, error);
    if (room == nullptr) {
        Broken(error);  // the buffer could not be handed to the disk
        return Quickly::kBroken;
    }
    std::string_view group, parent;
    bool high = false;
    char* end = convertHigh ? WriteKvdValueLine(room, room + kRoom, texts, group, parent, high)
                            : WriteKvdValueLineUtf8(room, room + kRoom, texts, group, parent);
    if (end == nullptr || (high && convertHigh) || groups_.Enter(group, parent) != KvdGroupPath::kEntered)
        return Quickly::kOtherWay;  // nothing counted: what was written in the buffer is not part of the file
    size_t size = static_cast<size_t>(end - room);
    out_.Wrote(size);
    written_ += size;
    current_->length += size;
    return Quickly::kPut;
}

void KvdWriteSession::Abandon()
{
    out_.Discard();
    lock_.Release();
    open_ = false;
    current_ = nullptr;
    put_.Clear();
    written_ = 0;
}

// Is the target still the file that Begin saw: the same stamp, and (when its content
// was read again) the same content?
KvdWriteSession::Sameness KvdWriteSession::StillTheSame(bool compareContent, uint64_t hash, uint64_t size,
                                                        kvddisk::Error& error)
{
    kvddisk::Stamp now;
    if (!disk_.GetStamp(path_, now, error))
        return Sameness::kUnknown;
    if (!now.SameFile(stamp_))
        return Sameness::kChanged;
    if (compareContent && stamp_.exists && (hash != hash_ || size != stamp_.size))
        return Sameness::kChanged;
    return Sameness::kSame;
}

// StillTheSame, with the message when it is not.
bool KvdWriteSession::Checked(bool compareContent, uint64_t hash, uint64_t size)
{
    kvddisk::Error error;
    switch (StillTheSame(compareContent, hash, size, error)) {
    case Sameness::kSame: return true;
    case Sameness::kChanged: return Say(ChangedText());
    default: return Say(FailureText(error));
    }
}

bool KvdWriteSession::Commit()
{
    if (!open_)
        return Say("Nothing was written: no write is open. Call KivBeginWrite first.");
    bool done = CommitSteps();
    Abandon();  // removes what is left: the spool, or the new file after a failure
    if (done) {
        message_.clear();
        kvddisk::RemoveLeftoversBeside(disk_, path_);
    }
    return done;
}

bool KvdWriteSession::CommitSteps() { return mode_ == kReplace ? CommitReplace() : CommitUpdate(); }

bool KvdWriteSession::CommitReplace()
{
    kvddisk::Error error;
    if (!out_.Write("end\n", 4, error) || !out_.Finish(error))
        return Say(FailureText(error));
    uint64_t hash = 0, size = 0;
    if (stamp_.exists && !HashTarget(hash, size, error))
        return Say(CannotReadTargetText(error));
    std::lock_guard<std::mutex> lastStep(g_lastStep);
    if (!Checked(true, hash, size))
        return false;
    if (!out_.PutInPlace(path_, error))
        return Say(FailureText(error));
    return true;
}

bool KvdWriteSession::CommitUpdate()
{
    // A file changed in size or time is refused before any work.
    if (!Checked(false, 0, 0))
        return false;
    kvddisk::Error error;
    if (!out_.Drain(error))  // the spool, to be read back
        return Say(FailureText(error));
    kvddisk::NewFile merged(disk_);
    if (!merged.CreateBeside(path_, error))
        return Say(FailureText(error));  // merged is discarded as it goes out of scope

    ContentHash hash;
    KvdReader target(disk_, legacyToUtf8_);
    target.HashInto(&hash);
    target.SkipUtf8Check();
    if (stamp_.exists && !target.Open(path_.c_str())) {
        if (target.DiskError().kind == kvddisk::Failure::kNone)
            return Say(ChangedText());  // gone, a folder, or no longer a .kvd file
        return Say(CannotReadTargetText(target.DiskError()));
    }
    KvdLegacyToUtf8 convert = !targetIsUtf8_ ? legacyToUtf8_ : nullptr;
    switch (MergeUpdate(stamp_.exists ? &target : nullptr, put_, out_, merged, convert, error)) {
    case KvdMergeEnd::kWritten: break;
    case KvdMergeEnd::kChanged: return Say(ChangedText());
    case KvdMergeEnd::kLineTooLong:
        return Say(Head() + "a line of the file, written in the Windows code page, would be longer in UTF-8 than "
                            "a .kvd file allows. Nothing was written; the file is as it was. Shorten that line, "
                            "or write the file in replace mode.");
    default: return Say(FailureText(error));
    }
    target.Close();
    if (!merged.Finish(error))
        return Say(FailureText(error));
    std::lock_guard<std::mutex> lastStep(g_lastStep);
    if (!Checked(true, hash.Value(), hash.Size()))
        return false;
    if (!merged.PutInPlace(path_, error))
        return Say(FailureText(error));
    return true;
}

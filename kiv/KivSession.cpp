// KivSession.cpp - reading in two passes over a file, the first to check all of it,
// the second to deliver it; and the write calls, handed to the write session.
#include "KivSession.h"

KivSession::KivSession(kvddisk::Disk& disk, KvdLegacyToUtf8 convert)
    : disk_(disk), reader_(disk, convert), writer_(disk, convert)
{
}

void KivSession::Finish()
{
    reader_.Close();
    state_ = kNoFile;
}

bool KivSession::Open(const char* path)
{
    Finish();  // a new file replaces the open one, even when it is refused
    message_.clear();
    deliveryFailed_ = false;
    if (!reader_.Open(path) || !reader_.CheckToEnd()) {
        message_ = reader_.Message();
        reader_.Close();
        return false;
    }
    fileIsUtf8_ = reader_.IsUtf8();
    // The same open file for the delivery: what is delivered is the file checked, never
    // another one put in its place meanwhile.
    if (!reader_.Rewind()) {
        message_ = reader_.Message();
        reader_.Close();
        return false;
    }
    state_ = kBeforeObject;
    return true;
}

bool KivSession::NextObject(Object& object)
{
    if (state_ == kBeforeObject || state_ == kInObject) {
        // Skip what is left of the current object's values.
        for (;;) {
            KvdReader::Record record = reader_.Next();
            if (record == KvdReader::kObject)
                break;
            if (record != KvdReader::kValue) {
                EndDelivery(record);
                break;
            }
        }
        if (state_ == kEnded)
            return false;
    } else if (state_ != kObjectRead) {
        return false;
    }
    object.name = reader_.Text(KvdReader::kName);
    object.author = reader_.Text(KvdReader::kAuthor);
    object.version = reader_.Text(KvdReader::kVersion);
    object.wellId = reader_.Text(KvdReader::kWellId);
    object.date = reader_.Text(KvdReader::kDate);
    state_ = kInObject;
    return true;
}

bool KivSession::NextValue(Value& value)
{
    if (state_ != kInObject)
        return false;
    KvdReader::Record record = reader_.Next();
    switch (record) {
    case KvdReader::kValue:
        value.groupName = reader_.Text(KvdReader::kGroup);
        value.valueName = reader_.Text(KvdReader::kValueName);
        value.extraText = reader_.Text(KvdReader::kExtra);
        value.suffixText = reader_.Text(KvdReader::kSuffix);
        value.valueText = reader_.Text(KvdReader::kValueText);
        value.parentGroupName = reader_.Text(KvdReader::kParentGroup);
        value.recordNumber = reader_.RecordNumber();
        return true;
    case KvdReader::kObject:
        state_ = kObjectRead;  // the next object's line is read; it waits for NextObject
        return false;
    default:
        EndDelivery(record);
        return false;
    }
}

// The end, or a fault: the file was checked whole, so a fault in the delivery is the
// disk's or another program's, and nothing after it is delivered.
void KivSession::EndDelivery(KvdReader::Record record)
{
    deliveryFailed_ = record == KvdReader::kError;
    if (deliveryFailed_)
        message_ = reader_.Message();
    Finish();
    state_ = kEnded;
}

bool KivSession::BeginWrite(const char* path, int mode) { return writer_.Begin(path, mode); }

bool KivSession::PutObject(std::string_view name, std::string_view author, std::string_view version,
                           std::string_view wellId, std::string_view date)
{
    return writer_.PutObject(name, author, version, wellId, date);
}

bool KivSession::PutValue(std::string_view group, std::string_view parent, int record, std::string_view name,
                          std::string_view value, std::string_view suffix, std::string_view extra)
{
    return writer_.PutValue(group, parent, record, name, value, suffix, extra);
}

namespace {

// Do two paths name one file? Compared as files, by the identity that the disk tells
// (volume and file number), so that "C:\Wells\a.kvd" and "c:\wells\A.KVD", a relative
// path or a link are the file that they name.
bool NamesOneFile(kvddisk::Disk& disk, const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    kvddisk::Stamp first, second;
    kvddisk::Error ignored;  // a file that cannot be examined is told apart by its name alone
    if (!disk.GetStamp(a, first, ignored) || !disk.GetStamp(b, second, ignored))
        return false;
    bool known = first.volume != 0 || first.file != 0;
    return known && first.exists && second.exists && first.volume == second.volume && first.file == second.file;
}

}  // namespace

bool KivSession::CommitWrite()
{
    if (writer_.IsOpen() && state_ != kNoFile && NamesOneFile(disk_, reader_.Path(), writer_.Path()))
        Finish();
    return writer_.Commit();
}

void KivSession::AbandonWrite() { writer_.Abandon(); }

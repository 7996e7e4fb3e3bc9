// KivSession.h - one attachment's state behind the calls: the open file with its
// object and value cursors, and the write in progress. Each KivAttach makes one (see
// KivAttachments.h); nothing in it is shared with another session.
#pragma once

#include <string>
#include <string_view>

#include "KvdDisk.h"
#include "KvdMerge.h"
#include "KvdReader.h"
#include "KvdWriteSession.h"

class KivSession {
public:
    // `convert`: turns an older code page file's bytes into UTF-8, for the kept lines
    // of an update (nullptr: they are copied unchanged).
    explicit KivSession(kvddisk::Disk& disk = kvddisk::SystemDisk(), KvdLegacyToUtf8 convert = nullptr);

    // ---- Reading
    // Checks the whole file, then stands before its first object. On failure no file
    // is open and Message() says why.
    bool Open(const char* path);

    // Texts point into the reader's buffer: valid until the next call.
    struct Object {
        const char* name;
        const char* author;
        const char* version;
        const char* wellId;
        const char* date;
    };
    struct Value {
        const char* groupName;
        const char* valueName;
        const char* extraText;
        const char* suffixText;
        const char* valueText;
        const char* parentGroupName;
        int recordNumber;
    };
    bool NextObject(Object& object);
    bool NextValue(Value& value);

    const std::string& Message() const { return message_; }
    // Did the delivery of the file opened last end early: a read that the disk failed, or
    // (where the system lets programs write a file that is read) another program's
    // change? Then NextObject and NextValue said false as at the end.
    bool DeliveryFailed() const { return deliveryFailed_; }
    // Is the open file UTF-8 as a whole? (Otherwise it is an older file in the
    // Windows code page, and its texts are handed out unchanged.)
    bool FileIsUtf8() const { return fileIsUtf8_; }

    // ---- Writing: the five write calls, texts in UTF-8. False: WriteMessage() says why.
    bool BeginWrite(const char* path, int mode);
    bool PutObject(std::string_view name, std::string_view author, std::string_view version,
                   std::string_view wellId, std::string_view date);
    bool PutValue(std::string_view group, std::string_view parent, int record, std::string_view name,
                  std::string_view value, std::string_view suffix, std::string_view extra);
    // The same from the call's own texts in one pass (see KvdWriteSession::PutValueQuickly).
    KvdWriteSession::Quickly PutValueQuickly(const KvdValueTexts& texts, bool convertHigh)
    {
        return writer_.PutValueQuickly(texts, convertHigh);
    }
    // Commits the write. A file open for reading that the commit replaces is closed
    // first: its objects are gone, and Windows replaces no file that is open.
    bool CommitWrite();
    void AbandonWrite();
    const std::string& WriteMessage() const { return writer_.Message(); }

private:
    enum State {
        kNoFile,        // nothing open: no objects
        kBeforeObject,  // the next object is still to be read
        kObjectRead,    // the reader holds an object line not yet delivered
        kInObject,      // delivering the values of the object delivered last
        kEnded          // the end was reported; nothing until the next Open
    };
    void Finish();
    void EndDelivery(KvdReader::Record record);

    kvddisk::Disk& disk_;
    KvdReader reader_;
    State state_ = kNoFile;
    bool fileIsUtf8_ = true;
    bool deliveryFailed_ = false;
    std::string message_;
    KvdWriteSession writer_;
};

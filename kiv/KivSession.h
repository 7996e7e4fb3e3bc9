// KivSession.h - the state behind the calls: the open file with its object and
// value cursors, and the write in progress.
#pragma once

#include <string>

#include "KvdReader.h"
#include "KvdWriteSession.h"

class KivSession {
public:
    // An attachment starts from nothing: a file still open or a write still in
    // progress from an earlier one is closed or abandoned.
    bool Attach();
    void Detach();

    // Checks the whole file, then stands before its first object. On failure no
    // file is open and Message() says why.
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
    // Is the open file UTF-8 as a whole? (Otherwise it is an older file in the
    // Windows code page, and its texts are handed out unchanged.)
    bool FileIsUtf8() const { return fileIsUtf8_; }

    KvdWriteSession& Writer() { return writer_; }
    // Commits the write. A file open for reading that the commit replaces is closed
    // first: its objects are gone, and Windows replaces no file that is open.
    bool CommitWrite();

private:
    enum State {
        kNoFile,        // nothing open: no objects
        kBeforeObject,  // the next object is still to be read
        kObjectRead,    // the reader holds an object line not yet delivered
        kInObject,      // delivering the values of the object delivered last
        kEnded          // the end was reported; nothing until the next Open
    };
    void Finish();

    KvdReader reader_;
    State state_ = kNoFile;
    bool fileIsUtf8_ = true;
    std::string message_;
    KvdWriteSession writer_;
};

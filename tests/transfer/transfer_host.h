// transfer_host.h - what a host does to call KivImpExpDialog, and .kvd fixture files.
#ifndef DERAR_TRANSFER_HOST_H
#define DERAR_TRANSFER_HOST_H

#include <string>
#include <vector>

#include "dialog_driver.h"

namespace transfer_host {

const int kImport = 1;
const int kExport = 0;

// One object of an exchange file, as the file holds it.
struct FileObject {
    std::string name;
    std::string author;
    std::string version;
    std::string wellId;
    std::string date;   // "YYYY-MM-DD HH:MM"
};

// The text of a .kvd file holding these objects (each with one value, so the file
// looks like real data), in this order.
std::string KvdText(const std::vector<FileObject>& objects);

// What the host asked for and what it got back.
struct Call {
    Call() = default;
    // A call on directory + fileName in this mode, with the current author and well.
    Call(int mode_, std::string directory_, std::string fileName_, std::vector<std::string> candidates_,
         std::string currentAuthor_ = "", std::string currentWellId_ = "")
        : mode(mode_), directory(std::move(directory_)), fileName(std::move(fileName_)),
          currentAuthor(std::move(currentAuthor_)), currentWellId(std::move(currentWellId_)),
          candidates(std::move(candidates_))
    {
    }

    int mode = kExport;
    std::string directory;
    std::string fileName;
    std::string currentAuthor;
    std::string currentWellId;
    std::vector<std::string> candidates;
};

struct Outcome {
    int result = -1;
    int count = -1;
    std::vector<std::string> names;   // the first `count` buffers, as written
};

// What a person reads in the dialogs, written down once for every suite.

// 2000-12-05 14:07 in the lists and the warnings.
extern const char kShownDate[];   // "Tuesday, December 05, 2000  14:07"

// The three warnings of the OK pass, as the warning dialog shows them.
std::string AuthorWarning(const std::string& object, const std::string& date, const std::string& author,
                          const std::string& currentAuthor);
std::string WellIdWarning(const std::string& object, const std::string& date, const std::string& wellId,
                          const std::string& currentWellId);
std::string CurrentDataWarning(const std::string& object, const std::string& date);

// Every row of a list, top to bottom, each its five texts.
using Rows = std::vector<std::vector<std::string>>;
Rows RowTexts(const dialog_driver::ListView& list);

// Calls KivImpExpDialog as a host does: one 256-byte buffer per candidate.
Outcome CallImpExp(const Call& call);

// CallImpExp while the user's script plays the dialogs.
Outcome PlayImpExp(dialog_driver::ScriptedUser& user, const Call& call);

}  // namespace transfer_host

#endif

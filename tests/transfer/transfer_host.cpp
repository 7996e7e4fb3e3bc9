// What a host does to call KivImpExpDialog, and the .kvd fixture files of the tests.
#include "transfer_host.h"

#include <derar.h>

#include "KvdWriter.h"

#include <cstring>

namespace transfer_host {

const char kShownDate[] = "Tuesday, December 05, 2000  14:07";

std::string AuthorWarning(const std::string& object, const std::string& date, const std::string& author,
                          const std::string& currentAuthor)
{
    return "Object = " + object + "\nObject date = " + date + "\nAuthor = " + author +
           " does not match the\nCurrent Author = " + currentAuthor +
           ".\nThis may result in the incorrect overwriting of the data.\n\nDo you wish to overwrite data?";
}

std::string WellIdWarning(const std::string& object, const std::string& date, const std::string& wellId,
                          const std::string& currentWellId)
{
    return "Object = " + object + "\nObject date = " + date + "\nWell Identifier = " + wellId +
           " does not match the\nCurrent Well Identifier = " + currentWellId +
           ".\nThis may result in the incorrect overwriting of data.\n\nDo you wish to overwrite data?";
}

std::string CurrentDataWarning(const std::string& object, const std::string& date)
{
    return "Object = " + object + "\nObject date = " + date +
           ".\nThis may result in the incorrect overwriting of current data.\n\nDo you wish to overwrite Data?";
}

Rows RowTexts(const dialog_driver::ListView& list)
{
    Rows rows;
    for (const auto& row : list.Rows())
        rows.push_back(row.cells);
    return rows;
}

std::string KvdText(const std::vector<FileObject>& objects)
{
    std::string text = std::string(kKvdHeader) + "\n";
    for (const FileObject& object : objects) {
        text += KvdObjectLine(object.name, object.author, object.version, object.wellId, object.date);
        text += KvdValueLine("Header", "", 1, "Depth", "1520.5", "m");
    }
    return text + "end\n";
}

Outcome CallImpExp(const Call& call)
{
    std::vector<std::vector<char>> buffers(call.candidates.size(), std::vector<char>(256, '\0'));
    std::vector<char*> names;
    for (size_t i = 0; i < call.candidates.size(); ++i) {
        std::strncpy(buffers[i].data(), call.candidates[i].c_str(), 255);
        names.push_back(buffers[i].data());
    }
    Outcome outcome;
    outcome.count = static_cast<int>(names.size());
    outcome.result = KivImpExpDialog(call.mode, call.directory.c_str(), call.fileName.c_str(),
                                     call.currentAuthor.c_str(), call.currentWellId.c_str(),
                                     names.empty() ? nullptr : names.data(), &outcome.count);
    for (int i = 0; i < outcome.count && i < static_cast<int>(names.size()); ++i)
        outcome.names.push_back(names[i]);
    return outcome;
}

Outcome PlayImpExp(dialog_driver::ScriptedUser& user, const Call& call)
{
    Outcome outcome;
    user.Run([&] { outcome = CallImpExp(call); });
    return outcome;
}

}  // namespace transfer_host

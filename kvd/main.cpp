// kvd - checks, lists and dumps exchange files from a terminal or a script.
// Every file is read through the exchange library's calls, as a host reads it:
// the tool's answers are the library's own (the same messages as the dialogs,
// the same objects and values in the same order, in the same code page).
#include <kivapi.h>
#include <kivnext.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "KvdConsole.h"
#include "KvdText.h"
#include "KvdTree.h"
#include "KvdWriter.h"

#ifndef KVD_VERSION
#define KVD_VERSION "unknown"
#endif

namespace {

// Exit status: every file read, a file refused (or the output lost), the command line wrong.
enum ExitCode { kExitOk = 0, kExitRefused = 1, kExitUsage = 2 };

const char kUsage[] =
    "Usage: kvd check FILE...\n"
    "       kvd list FILE\n"
    "       kvd dump [--json] FILE\n"
    "\n"
    "Checks, lists and dumps .kvd exchange files through the exchange library.\n"
    "\n"
    "  check FILE...  reads every file to its end; prints nothing for a file that\n"
    "                 reads and the library's message (the one the dialogs show) on\n"
    "                 standard error for each file that does not\n"
    "  list FILE      one line per object: name, author, version, well identifier\n"
    "                 and date, each written as in the file (quoted when needed)\n"
    "  dump FILE      the whole content as the browser's tree: objects, groups,\n"
    "                 records and values, two blanks of indent per level\n"
    "                 (control characters appear as \\xHH)\n"
    "  dump --json FILE\n"
    "                 one JSON object per line and per object, with all its texts\n"
    "                 and values, in UTF-8\n"
    "\n"
    "Options: -h, --help  this text;  --version  the version;  --  ends the options.\n"
    "\n"
    "Exit status: 0 every file reads; 1 a file was refused (its message is on\n"
    "standard error) or the output could not be written; 2 the command line is wrong.\n";

void Say(std::FILE* stream, const std::string& text)
{
    WriteText(stream, text);
}

int UsageError(const std::string& what)
{
    Say(stderr, "kvd: " + what + "\nRun \"kvd --help\" for the commands.\n");
    return kExitUsage;
}

std::string Text(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
}

// The library's message about a refused file, on one line of standard error.
void SayRefused(const char* message)
{
    std::string line = KvdOneLine(Text(message));
    if (line.empty())
        line = "The exchange library refused the file without saying why.";
    Say(stderr, line + "\n");
}

// One attachment of the exchange library for the whole run.
class Attachment {
public:
    Attachment()
    {
        char* message = nullptr;
        attached_ = KivAttach(&message) != 0;
        if (!attached_)
            message_ = Text(message);
    }
    ~Attachment() { KivDetach(); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    bool Attached() const { return attached_; }
    const std::string& Message() const { return message_; }

private:
    bool attached_ = false;
    std::string message_;
};

bool Open(const std::string& path)
{
    char* message = nullptr;
    if (KivOpen(path.c_str(), &message, 0))
        return true;
    SayRefused(message);
    return false;
}

struct ObjectTexts {
    std::string name, author, version, wellId, date;
};

bool NextObject(ObjectTexts& object)
{
    return KivCopyNextObject(object.name, object.author, object.version, object.wellId, object.date);
}

struct ValueTexts {
    std::string group, parentGroup, name, text, suffix, extra;
    int record = 0;
};

bool NextValue(ValueTexts& value)
{
    char *group = nullptr, *name = nullptr, *extra = nullptr, *suffix = nullptr, *text = nullptr,
         *parent = nullptr;
    int record = 0;
    if (!KivGetNextValue(&group, &name, &extra, &suffix, &text, &parent, &record))
        return false;
    value.group = Text(group);
    value.parentGroup = Text(parent);
    value.name = Text(name);
    value.text = Text(text);
    value.suffix = Text(suffix);
    value.extra = Text(extra);
    value.record = record;
    return true;
}

int Check(const std::vector<std::string>& files)
{
    int status = kExitOk;
    for (const std::string& file : files) {
        if (!Open(file))
            status = kExitRefused;
    }
    return status;
}

int List(const std::string& file)
{
    if (!Open(file))
        return kExitRefused;
    ObjectTexts object;
    std::string line;
    while (NextObject(object)) {
        line.clear();
        for (const std::string* text :
             {&object.name, &object.author, &object.version, &object.wellId, &object.date}) {
            if (!line.empty())
                line += ' ';
            AppendKvdText(line, *text);
        }
        line += '\n';
        Say(stdout, line);
    }
    return kExitOk;
}

std::string DisplayDate(const std::string& date)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    KivStringToDate(date.c_str(), &year, &month, &day, &hour, &minute);
    return KvdDisplayDate(year, month, day, hour, minute);
}

void SayItem(int depth, const std::string& label)
{
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    line += KvdOneLine(label);
    line += '\n';
    Say(stdout, line);
}

int DumpTree(const std::string& file)
{
    if (!Open(file))
        return kExitRefused;
    ObjectTexts object;
    ValueTexts value;
    KvdTreeWalk walk;
    while (NextObject(object)) {
        SayItem(0, KvdObjectLabel(object.name, object.author, object.version, object.wellId,
                                  DisplayDate(object.date)));
        walk.BeginObject();
        while (NextValue(value)) {
            walk.AddValue({value.group, value.parentGroup, value.name, value.text, value.suffix,
                           value.record},
                          SayItem);
        }
    }
    return kExitOk;
}

struct JsonMember {
    const char* key;
    const std::string& text;
};

// `"key":"text"` members, separated by commas, each text turned into UTF-8.
void AppendJsonMembers(std::string& out, std::initializer_list<JsonMember> members)
{
    bool first = true;
    for (const JsonMember& member : members) {
        if (!first)
            out += ',';
        first = false;
        AppendJsonString(out, member.key);
        out += ':';
        AppendJsonString(out, Utf8FromLibraryText(member.text));
    }
}

int DumpJson(const std::string& file)
{
    if (!Open(file))
        return kExitRefused;
    ObjectTexts object;
    ValueTexts value;
    std::string line;
    while (NextObject(object)) {
        line = "{";
        AppendJsonMembers(line, {{"name", object.name},
                                 {"author", object.author},
                                 {"version", object.version},
                                 {"wellId", object.wellId},
                                 {"date", object.date}});
        line += ",\"values\":[";
        bool first = true;
        while (NextValue(value)) {
            if (!first)
                line += ',';
            first = false;
            line += '{';
            AppendJsonMembers(line, {{"groupName", value.group}, {"parentGroupName", value.parentGroup}});
            line += ",\"recordNumber\":" + std::to_string(value.record) + ',';
            AppendJsonMembers(line, {{"valueName", value.name},
                                     {"valueText", value.text},
                                     {"suffixText", value.suffix},
                                     {"extraText", value.extra}});
            line += '}';
            // An object may hold millions of values: its line goes out in pieces.
            if (line.size() > 65536) {
                Say(stdout, line);
                line.clear();
            }
        }
        line += "]}\n";
        Say(stdout, line);
    }
    return kExitOk;
}

int Run(int argc, char** argv)
{
    std::string command;
    std::vector<std::string> files;
    bool json = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "-h" || arg == "--help") {
                Say(stdout, kUsage);
                return kExitOk;
            } else if (arg == "--version") {
                Say(stdout, "kvd " KVD_VERSION "\n");
                return kExitOk;
            } else if (arg == "--json") {
                json = true;
            } else {
                return UsageError("unknown option \"" + KvdOneLine(arg) + "\".");
            }
        } else if (command.empty()) {
            command = arg;
        } else {
            files.push_back(arg);
        }
    }

    if (command.empty())
        return UsageError("say what to do: check, list or dump.");
    if (command == "help") {
        Say(stdout, kUsage);
        return kExitOk;
    }
    if (command != "check" && command != "list" && command != "dump")
        return UsageError("unknown command \"" + KvdOneLine(command) + "\".");
    if (json && command != "dump")
        return UsageError("--json goes with dump only.");
    if (files.empty())
        return UsageError(command + " needs a file.");
    if (command != "check" && files.size() > 1)
        return UsageError(command + " takes one file; check takes several.");

    Attachment library;
    if (!library.Attached()) {
        SayRefused(library.Message().c_str());
        return kExitRefused;
    }
    int status;
    if (command == "check")
        status = Check(files);
    else if (command == "list")
        status = List(files[0]);
    else
        status = json ? DumpJson(files[0]) : DumpTree(files[0]);

    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(stderr, "kvd: the output could not be written (a full disk or a closed pipe?).\n");
        return kExitRefused;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (...) {
        // Only memory can run out here: every text the tool keeps is one object's or one value's.
        std::fputs("kvd: out of memory.\n", stderr);
        return kExitRefused;
    }
}

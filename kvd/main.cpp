// kvd - checks, lists and dumps exchange files from a terminal or a script.
// Every file is read through the exchange library's calls, as a host reads it:
// the tool's answers are the library's own (the same messages as the dialogs,
// the same objects and values in the same order), written in UTF-8.
#include <kivapi.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "KvdConsole.h"
#include "KvdNext.h"
#include "KvdText.h"
#include "KvdTree.h"
#include "KvdWriter.h"

#ifndef KVD_VERSION
#define KVD_VERSION "unknown"
#endif

namespace {

// Exit status: every file read, a file refused (or the output lost), the command
// line wrong, the reader of the output gone (as a shell reports a program that a
// closed pipe ended).
enum ExitCode { kExitOk = 0, kExitRefused = 1, kExitUsage = 2, kExitOutputGone = 141 };

const char kUsage[] =
    "Usage: kvd check [--json] FILE...\n"
    "       kvd list [--json] FILE\n"
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
    "                 (control characters appear as \\xHH, HH their number)\n"
    "\n"
    "  --json         JSON Lines instead (one JSON object per line, lines end in LF):\n"
    "                 check: per file {\"file\",\"readable\"} and, for a refused file,\n"
    "                   \"line\" and \"column\" (null when the message names none)\n"
    "                   and \"message\", all on standard output;\n"
    "                 list: per object {\"name\",\"author\",\"version\",\"wellId\",\"date\"};\n"
    "                 dump: the same with \"values\", a list of {\"groupName\",\n"
    "                   \"parentGroupName\",\"recordNumber\",\"valueName\",\"valueText\",\n"
    "                   \"suffixText\",\"extraText\"};\n"
    "                 list and dump write a refused file's line to standard error.\n"
    "\n"
    "Texts are UTF-8 in files and pipes; a console shows every character. A file's\n"
    "texts all come out by one rule: a UTF-8 file's as UTF-8 (U+FFFD for bytes that\n"
    "are not), an older file's from the Windows Western code page. No control\n"
    "character (below U+0020, U+0080 to U+009F) is written as it is: dump writes\n"
    "\\xHH (HH its number; DEL too), list the file's escapes (\\x01; U+009B as\n"
    "\\xC2\\x9B), JSON its own (\\u0001, \\u009B).\n"
    "Options: -h, --help  this text;  --version  the version;  --  ends the options.\n"
    "\n"
    "Exit status: 0 every file reads; 1 a file was refused (its message is on\n"
    "standard error) or the output could not be written; 2 the command line is wrong;\n"
    "141 the reader of the output went away (a closed pipe), which ends the tool at\n"
    "once and quietly.\n";

std::string Text(const char* text)
{
    return text != nullptr ? std::string(text) : std::string();
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

// Assigning in place keeps each text's room from one value to the next.
void Assign(std::string& to, const char* text)
{
    if (text != nullptr)
        to.assign(text);
    else
        to.clear();
}

bool NextValue(ValueTexts& value)
{
    char *group = nullptr, *name = nullptr, *extra = nullptr, *suffix = nullptr, *text = nullptr,
         *parent = nullptr;
    int record = 0;
    if (!KivGetNextValue(&group, &name, &extra, &suffix, &text, &parent, &record))
        return false;
    Assign(value.group, group);
    Assign(value.parentGroup, parent);
    Assign(value.name, name);
    Assign(value.text, text);
    Assign(value.suffix, suffix);
    Assign(value.extra, extra);
    value.record = record;
    return true;
}

std::string DisplayDate(const std::string& date)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    KivStringToDate(date.c_str(), &year, &month, &day, &hour, &minute);
    return KvdDisplayDate(year, month, day, hour, minute);
}

struct JsonMember {
    const char* key;
    const std::string& text;
};

// `"key":"text"` members, separated by commas, each text turned into UTF-8: by the
// rule of `file` when they are its texts, else each by itself.
void AppendJsonMembers(std::string& out, KvdFileTexts* file, std::initializer_list<JsonMember> members)
{
    static std::string utf8;  // the tool has one thread: one text at a time, its room kept
    bool first = true;
    for (const JsonMember& member : members) {
        if (!first)
            out += ',';
        first = false;
        AppendJsonString(out, member.key);
        out += ':';
        utf8.clear();
        if (file != nullptr)
            file->Append(utf8, member.text);
        else
            AppendUtf8FromLibraryText(utf8, member.text);
        AppendJsonString(out, utf8);
    }
}

void AppendObjectMembers(std::string& out, KvdFileTexts& file, const ObjectTexts& object)
{
    AppendJsonMembers(out, &file, {{"name", object.name},
                                   {"author", object.author},
                                   {"version", object.version},
                                   {"wellId", object.wellId},
                                   {"date", object.date}});
}

// One run of a command: what it writes, and how.
class Tool {
public:
    explicit Tool(bool json)
        : json_(json),
          out_(KvdOutput::Which::Out, json ? KvdOutput::LineEnds::Lf : KvdOutput::LineEnds::Platform),
          err_(KvdOutput::Which::Err, json ? KvdOutput::LineEnds::Lf : KvdOutput::LineEnds::Platform)
    {
    }

    int Check(const std::vector<std::string>& files)
    {
        int status = kExitOk;
        for (const std::string& file : files) {
            char* message = nullptr;
            if (KivOpen(file.c_str(), &message, 0)) {
                if (json_) {
                    std::string line = "{";
                    AppendJsonMembers(line, nullptr, {{"file", file}});
                    out_.Write(line + ",\"readable\":true}\n");
                }
            } else {
                status = kExitRefused;
                (json_ ? out_ : err_).Write(RefusalLine(file, Text(message)));
            }
        }
        return status;
    }

    int List(const std::string& file)
    {
        if (!Open(file))
            return kExitRefused;
        KvdFileTexts texts(file);
        ObjectTexts object;
        std::string line, utf8, field;
        while (NextObject(object)) {
            line.clear();
            if (json_) {
                line += '{';
                AppendObjectMembers(line, texts, object);
                line += '}';
            } else {
                for (const std::string* text :
                     {&object.name, &object.author, &object.version, &object.wellId, &object.date}) {
                    if (!line.empty())
                        line += ' ';
                    utf8.clear();
                    texts.Append(utf8, *text);
                    field.clear();
                    AppendKvdText(field, utf8);
                    AppendFieldC1Escaped(line, field);
                }
            }
            line += '\n';
            out_.Write(line);
        }
        return kExitOk;
    }

    int Dump(const std::string& file) { return json_ ? DumpJson(file) : DumpTree(file); }

    // The library's message, in UTF-8 (never empty): one line of text, or a JSON object
    // under --json.
    std::string RefusalLine(const std::string& file, const std::string& message)
    {
        const std::string text = KvdRefusalMessage(Utf8FromLibraryText(message));
        if (!json_)
            return KvdOneLine(text) + "\n";
        std::string line = "{";
        AppendJsonMembers(line, nullptr, {{"file", file}});
        unsigned long long lineNumber = 0, column = 0;
        if (KvdMessagePlace(message, file, lineNumber, column))
            line += ",\"readable\":false,\"line\":" + std::to_string(lineNumber) +
                    ",\"column\":" + std::to_string(column) + ",\"message\":";
        else
            line += ",\"readable\":false,\"line\":null,\"column\":null,\"message\":";
        AppendJsonString(line, text);
        return line + "}\n";
    }

    void Say(const std::string& text) { out_.Write(text); }
    void SayError(const std::string& text) { err_.Write(text); }
    void Flush() { out_.Flush(); }

private:
    bool Open(const std::string& file)
    {
        char* message = nullptr;
        if (KivOpen(file.c_str(), &message, 0))
            return true;
        err_.Write(RefusalLine(file, Text(message)));
        return false;
    }

    void SayItem(KvdFileTexts& texts, int depth, const std::string& label)
    {
        utf8_.clear();
        texts.Append(utf8_, label);
        line_.assign(static_cast<size_t>(depth) * 2, ' ');
        AppendOneLine(line_, utf8_);
        line_ += '\n';
        out_.Write(line_);
    }

    int DumpTree(const std::string& file)
    {
        if (!Open(file))
            return kExitRefused;
        KvdFileTexts texts(file);
        ObjectTexts object;
        ValueTexts value;
        KvdTreeWalk walk;
        const auto sayItem = [&](int depth, const std::string& label) { SayItem(texts, depth, label); };
        while (NextObject(object)) {
            SayItem(texts, 0, KvdObjectLabel(object.name, object.author, object.version, object.wellId,
                                             DisplayDate(object.date)));
            walk.BeginObject();
            while (NextValue(value)) {
                walk.AddValue({value.group, value.parentGroup, value.name, value.text, value.suffix,
                               value.record},
                              sayItem);
            }
        }
        return kExitOk;
    }

    int DumpJson(const std::string& file)
    {
        if (!Open(file))
            return kExitRefused;
        KvdFileTexts texts(file);
        ObjectTexts object;
        ValueTexts value;
        std::string piece;
        while (NextObject(object)) {
            piece = "{";
            AppendObjectMembers(piece, texts, object);
            piece += ",\"values\":[";
            bool first = true;
            while (NextValue(value)) {
                if (!first)
                    piece += ',';
                first = false;
                piece += '{';
                AppendJsonMembers(piece, &texts,
                                  {{"groupName", value.group}, {"parentGroupName", value.parentGroup}});
                piece += ",\"recordNumber\":" + std::to_string(value.record) + ',';
                AppendJsonMembers(piece, &texts, {{"valueName", value.name},
                                                  {"valueText", value.text},
                                                  {"suffixText", value.suffix},
                                                  {"extraText", value.extra}});
                piece += '}';
                // An object may hold millions of values: its line goes out in pieces.
                out_.Write(piece);
                piece.clear();
            }
            piece += "]}\n";
            out_.Write(piece);
        }
        return kExitOk;
    }

    bool json_;
    KvdOutput out_;
    KvdOutput err_;
    std::string line_, utf8_;  // one item's, kept from item to item for their room
};

int UsageError(Tool& tool, const std::string& what)
{
    tool.SayError("kvd: " + what + "\nRun \"kvd --help\" for the commands.\n");
    return kExitUsage;
}

int Run(Tool& tool, const std::string& command, const std::vector<std::string>& files)
{
    if (command.empty())
        return UsageError(tool, "say what to do: check, list or dump.");
    if (command != "check" && command != "list" && command != "dump")
        return UsageError(tool, "unknown command \"" + KvdOneLine(Utf8FromLibraryText(command)) + "\".");
    if (files.empty())
        return UsageError(tool, command + " needs a file.");
    if (command != "check" && files.size() > 1)
        return UsageError(tool, command + " takes one file; check takes several.");

    Attachment library;
    if (!library.Attached()) {
        tool.SayError(tool.RefusalLine(std::string(), library.Message()));
        return kExitRefused;
    }
    if (command == "check")
        return tool.Check(files);
    if (command == "list")
        return tool.List(files[0]);
    return tool.Dump(files[0]);
}

// The command line: the command, the files, and whether --json was given. Help
// and the version are answered here; a wrong option is the usage error returned.
struct CommandLine {
    std::string command;
    std::vector<std::string> files;
    bool json = false;
    bool help = false;
    bool version = false;
    std::string wrongOption;
};

CommandLine Parse(int argc, char** argv)
{
    CommandLine line;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--")
                optionsEnded = true;
            else if (arg == "-h" || arg == "--help")
                line.help = true;
            else if (arg == "--version")
                line.version = true;
            else if (arg == "--json")
                line.json = true;
            else if (line.wrongOption.empty())
                line.wrongOption = arg;
        } else if (line.command.empty()) {
            line.command = arg;
        } else {
            line.files.push_back(arg);
        }
    }
    return line;
}

int Main(int argc, char** argv)
{
    const CommandLine line = Parse(argc, argv);
    // Help and usage errors are for a person: plain text even under --json.
    Tool tool(line.json && !line.help && line.wrongOption.empty());
    int status;
    if (line.help || line.command == "help") {
        tool.Say(kUsage);
        status = kExitOk;
    } else if (line.version) {
        tool.Say("kvd " KVD_VERSION "\n");
        status = kExitOk;
    } else if (!line.wrongOption.empty()) {
        status = UsageError(tool, "unknown option \"" + KvdOneLine(Utf8FromLibraryText(line.wrongOption)) + "\".");
    } else {
        status = Run(tool, line.command, line.files);
    }
    tool.Flush();
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Main(argc, argv);
    } catch (const KvdOutput::OutputGone&) {
        return kExitOutputGone;
    } catch (const KvdOutput::OutputLost& lost) {
        try {
            KvdOutput err(KvdOutput::Which::Err, KvdOutput::LineEnds::Platform);
            err.Write(std::string("kvd: the output could not be written: ") + lost.what() + ".\n");
        } catch (...) {
        }
        return kExitRefused;
    } catch (...) {
        // Only memory can run out here: every text the tool keeps is one object's or one value's.
        std::fputs("kvd: out of memory.\n", stderr);
        return kExitRefused;
    }
}

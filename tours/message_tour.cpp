// message_tour.cpp - every refusal of the exchange library, as the browser shows it.
//
// Each damaged file has one fault that the library reports in its own way. The
// browser is opened on the file as a host opens it; the message box it shows is
// saved, its text is checked for the file's name and the fault's line and column,
// and both the box and the browser are closed again.
#include "message_tour.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "host_window.h"
#include "tour.h"
#include "window_picture.h"

using hostkit::Dialog;

namespace {

const char kBrowserTitle[] = "Browse Kiv File";

// samples\damaged\<kind>.kvd and where its message must point (line 0: nowhere).
const struct {
    const char* kind;
    int line;
    int column;
} kDamagedFiles[] = {
    // The file as a whole.
    {"empty-file", 0, 0},
    {"zeroed-file", 1, 1},
    {"wrong-first-line", 1, 1},
    {"wrong-version", 1, 5},
    {"cut-short", 7, 0},
    // Lines.
    {"unknown-line", 6, 1},
    {"text-after-end", 10, 1},
    {"value-before-object", 4, 1},
    {"missing-field", 4, 45},
    {"text-after-date", 4, 65},
    {"text-after-extra", 6, 49},
    // Texts.
    {"quote-in-bare-text", 6, 33},
    {"control-byte-in-bare-text", 6, 28},
    {"unclosed-quote", 6, 53},
    {"control-byte-in-quotes", 6, 34},
    {"bad-hex-escape", 6, 33},
    {"zero-escape", 6, 31},
    {"unknown-escape", 6, 29},
    {"text-after-quote", 6, 34},
    // Fields.
    {"bad-record-number", 6, 17},
    {"record-number-out-of-range", 6, 17},
    {"empty-object-name", 4, 8},
    {"date-without-quotes", 4, 46},
    {"bad-date", 4, 46},
    // Groups.
    {"empty-group-name", 6, 7},
    {"parent-on-first-value", 5, 14},
    {"parent-not-on-path", 7, 14},
    {"nesting-too-deep", 37, 7},
};

struct Refusal {
    std::string kind;       // names the picture
    std::string directory;  // with its separator, as the browser joins it to the name
    std::string fileName;
    int line = 0;           // 0: the message names no line
    int column = 0;         // 0: no column is checked
};

// "line 6" in "line 6, column 33" but not in "line 60".
bool NamesNumber(const std::string& text, const std::string& word, int number)
{
    const std::string wanted = word + " " + std::to_string(number);
    for (size_t at = text.find(wanted); at != std::string::npos; at = text.find(wanted, at + 1)) {
        const size_t after = at + wanted.size();
        if (after == text.size() || !isdigit(static_cast<unsigned char>(text[after]))) return true;
    }
    return false;
}

bool WriteFileText(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                    written == content.size();
    CloseHandle(file);
    return ok;
}

class MessageTour {
public:
    MessageTour(HostWindow& host, const std::string& directory)
        : m_host(host), m_directory(WithSeparator(directory)), m_damaged(SamplesDirectory() + "damaged\\")
    {
    }
    int Run();

private:
    // Opens the browser on the file and expects a refusal.
    void Show(const Refusal& refusal);
    void Check(const Refusal& refusal, const std::string& text, HWND box);
    // Refusals of files that cannot be kept among the samples.
    void FolderNamedLikeAFile();
    void FileInUse();
    void LineTooLong();
    void LongPath();
    void Fault(const std::string& text) { m_failures.push_back(text); }
    void WriteTexts();

    HostWindow& m_host;
    std::string m_directory;
    std::string m_damaged;
    std::vector<std::string> m_texts;  // "kind: text", in the order shown
    std::vector<std::string> m_failures;
    int m_saved = 0;
};

void MessageTour::Show(const Refusal& refusal)
{
    TourUser script(m_failures, refusal.kind + ": ");
    auto capture = std::make_shared<hostkit::SteadyCapture>();
    script.Until("the message box of " + refusal.kind, [this, refusal, capture] {
        HWND box = hostkit::FindThreadDialog(hostkit::AnyMessageBox());
        if (!box) {
            // The browser is shown once the refresh is over: then no message is coming.
            if (hostkit::FindThreadDialog(hostkit::WindowMatch(kBrowserTitle))) {
                Fault(refusal.kind + ": the browser accepted " + refusal.fileName + " without a message");
                return true;
            }
            return false;
        }
        hostkit::Picture picture;
        if (!capture->Poll(box, picture)) return false;
        std::string error;
        const std::string path = m_directory + refusal.kind + ".png";
        if (hostkit::SavePicture(picture, path, error)) {
            ++m_saved;
            std::printf("%s\n", path.c_str());
            std::fflush(stdout);
        } else {
            Fault(refusal.kind + ": " + error);
        }
        Check(refusal, Dialog(box).MessageText(), box);
        return Dialog(box).PostClick(IDOK);
    });
    script.Until("Close in the browser after " + refusal.kind, [] {
        HWND browser = hostkit::FindThreadDialog(hostkit::WindowMatch(kBrowserTitle));
        return browser && Dialog(browser).PostClick(IDOK);
    });
    script.Run([&] { m_host.Browse(refusal.directory, refusal.fileName); });
}

void MessageTour::Check(const Refusal& refusal, const std::string& text, HWND box)
{
    m_texts.push_back(refusal.kind + ": " + text);
    if (text.find(refusal.fileName) == std::string::npos)
        Fault(refusal.kind + ": the message does not name " + refusal.fileName + ": \"" + text + "\"");
    if (refusal.line > 0 && !NamesNumber(text, "line", refusal.line))
        Fault(refusal.kind + ": the message does not name line " + std::to_string(refusal.line) + ": \"" +
              text + "\"");
    if (refusal.column > 0 && !NamesNumber(text, "column", refusal.column))
        Fault(refusal.kind + ": the message does not name column " + std::to_string(refusal.column) + ": \"" +
              text + "\"");
    if (Dialog(box).Caption() != kHostName)
        Fault(refusal.kind + ": the message box is captioned \"" + Dialog(box).Caption() + "\", not \"" + kHostName +
              "\"");
    // A box wider or taller than the screen hides part of its text and its OK button.
    RECT rect;
    GetWindowRect(box, &rect);
    if (rect.left < 0 || rect.top < 0 || rect.right > GetSystemMetrics(SM_CXSCREEN) ||
        rect.bottom > GetSystemMetrics(SM_CYSCREEN))
        Fault(refusal.kind + ": the message box does not fit on the screen");
}

// A folder whose name ends in ".kvd" is listed among the exchange files.
void MessageTour::FolderNamedLikeAFile()
{
    const std::string name = "well-data.kvd";
    if (!CreateDirectoryA((m_damaged + name).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        Fault("folder: cannot make " + m_damaged + name);
        return;
    }
    Show({"folder", m_damaged, name});
    RemoveDirectoryA((m_damaged + name).c_str());
}

// A sound file that another program holds open without sharing it.
void MessageTour::FileInUse()
{
    const std::string name = "in-use.kvd";
    const std::string path = m_damaged + name;
    const std::vector<std::string>& samples = m_host.SampleFiles();
    if (samples.empty() || !CopyFileA((SamplesDirectory() + samples.front()).c_str(), path.c_str(), FALSE)) {
        Fault("file-in-use: cannot copy a sample to " + path);
        return;
    }
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        Fault("file-in-use: cannot hold " + path);
    else
        Show({"file-in-use", m_damaged, name});
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    DeleteFileA(path.c_str());
}

// More than a megabyte without a line end: what a file of another kind often looks like.
void MessageTour::LineTooLong()
{
    const std::string name = "line-too-long.kvd";
    const std::string path = m_damaged + name;
    if (!WriteFileText(path, "KVD 1\r\n# " + std::string(size_t(1) << 20, 'x') + "\r\nend\r\n")) {
        Fault("line-too-long: cannot write " + path);
        return;
    }
    Show({"line-too-long", m_damaged, name, 2, 0});
    DeleteFileA(path.c_str());
}

// The unclosed quote again, in folders nested until the path nears MAX_PATH, the
// longest that the browser opens: how the box shows a path that long.
void MessageTour::LongPath()
{
    const std::string name = "unclosed-quote.kvd";
    const std::string segment = "Well NF-001 casing program, corrected by hand\\";
    std::vector<std::string> folders = {m_damaged + "long-path\\"};
    while (folders.back().size() + segment.size() + name.size() < MAX_PATH - 1)
        folders.push_back(folders.back() + segment);
    for (const std::string& folder : folders) CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folders.back() + name;
    if (CopyFileA((m_damaged + name).c_str(), path.c_str(), FALSE))
        Show({"long-path", folders.back(), name, 6, 53});
    else
        Fault("long-path: cannot copy " + name + " to " + folders.back());
    DeleteFileA(path.c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        RemoveDirectoryA(folder->c_str());
}

void MessageTour::WriteTexts()
{
    std::string all;
    for (const std::string& text : m_texts) all += text + "\r\n";
    if (!WriteFileText(m_directory + "messages.txt", all)) Fault("cannot write " + m_directory + "messages.txt");
}

int MessageTour::Run()
{
    CreateDirectoryA(m_directory.c_str(), nullptr);
    // The pointer rests in a corner, so no button is drawn in its hover state.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ShowWindow(m_host.Handle(), SW_SHOW);
    UpdateWindow(m_host.Handle());
    for (const auto& file : kDamagedFiles)
        Show({file.kind, m_damaged, std::string(file.kind) + ".kvd", file.line, file.column});
    LineTooLong();
    FolderNamedLikeAFile();
    FileInUse();
    LongPath();
    // A device name is found like a file by the browser's existence check: the
    // name a person may type into the open-file dialog.
    Show({"device-name", m_damaged, "NUL"});
    WriteTexts();
    return FinishTour("messages", m_failures, m_saved, m_directory);
}

} // namespace

int RunMessageTour(HostWindow& host, const std::string& directory)
{
    return MessageTour(host, directory).Run();
}

// Every form of path a host may give for the exchange file, in both modes of the transfer
// dialog and in the browser, each on a file that holds an object of another author. A form
// either behaves as the plain path does (the dialog, its row, its author warning, the tree)
// or is refused with a message; never "no file" in silence, which in export mode would let
// the host overwrite another author's data unwarned.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "browser_host.h"
#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"
#include "transfer_host.h"

using dialog_driver::AnyMessageBox;
using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;
using transfer_host::Call;
using transfer_host::kExport;
using transfer_host::kImport;
using transfer_host::Outcome;
using Names = std::vector<std::string>;
namespace key = fixtures::last_file_key;

namespace {

const char kFileName[] = "wells.kvd";
const char kObject[] = "Deviation survey";
const char kOtherAuthor[] = "A. Rahman";
const char kWell[] = "NF-001";
const char kCurrentAuthor[] = "jdoe";

std::string FileText() { return transfer_host::KvdText({ { kObject, kOtherAuthor, "3", kWell, "2000-12-05 14:07" } }); }

std::string Replaced(std::string text, char from, char to)
{
    for (char& c : text)
        if (c == from)
            c = to;
    return text;
}

// A live named pipe that hands every client the exchange file's text: a host's path may
// name one, and reading it must neither block nor pass for a file.
class PipeServer {
public:
    explicit PipeServer(std::string name) : m_name(std::move(name)), m_text(FileText())
    {
        m_thread = std::thread([this] { Serve(); });
        // The first instance exists before any client looks for it.
        while (!WaitNamedPipeA(m_name.c_str(), 50) && GetLastError() == ERROR_FILE_NOT_FOUND && !m_failed)
            Sleep(10);
    }
    ~PipeServer()
    {
        m_stop = true;
        HANDLE wake = CreateFileA(m_name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (wake != INVALID_HANDLE_VALUE)
            CloseHandle(wake);
        m_thread.join();
    }
    const std::string& Name() const { return m_name; }

private:
    void Serve()
    {
        while (!m_stop) {
            HANDLE pipe = CreateNamedPipeA(m_name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, nullptr);
            if (pipe == INVALID_HANDLE_VALUE) {
                m_failed = true;
                return;
            }
            if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
                DWORD written = 0;
                if (!m_stop)
                    WriteFile(pipe, m_text.data(), static_cast<DWORD>(m_text.size()), &written, nullptr);
                FlushFileBuffers(pipe);
                DisconnectNamedPipe(pipe);
            }
            CloseHandle(pipe);
        }
    }

    std::string m_name;
    std::string m_text;
    std::thread m_thread;
    volatile bool m_stop = false;
    volatile bool m_failed = false;
};

// A share of the machine itself, "\\localhost\<name>\": Wine serves UNC paths from the
// prefix's dosdevices\unc folder, which this program reaches through the Z: drive.
class LocalShare {
public:
    explicit LocalShare(const std::string& name)
    {
        const char* prefix = getenv("WINEPREFIX");
        if (prefix == nullptr || prefix[0] != '/')
            return;
        std::string unc = "Z:" + Replaced(prefix, '/', '\\') + "\\dosdevices\\unc\\";
        CreateDirectoryA(unc.c_str(), nullptr);
        m_server = unc + "localhost\\";
        CreateDirectoryA(m_server.c_str(), nullptr);
        m_folder = m_server + name + "\\";
        if (!CreateDirectoryA(m_folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return;
        m_name = name;
    }
    ~LocalShare()
    {
        DeleteFileA((m_folder + kFileName).c_str());
        RemoveDirectoryA(m_folder.c_str());
        RemoveDirectoryA(m_server.c_str());  // only when empty: another share may be there
    }
    bool Exists() const { return !m_name.empty(); }
    void Write(const std::string& text) const
    {
        HANDLE file = CreateFileA((m_folder + kFileName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    std::string Unc() const { return "\\\\localhost\\" + m_name + "\\"; }

private:
    std::string m_server, m_folder, m_name;
};

// One form: the host's two texts, with <folder> (the file's folder, with its separator),
// <folder/> (the same with forward slashes), <folder.> (the same folder with a dot before its
// separator), <leaf> (the folder's own name), <share> (a UNC share holding the same file,
// "\\localhost\name\", <server\share> without its leading separators) and <pipe> (a live
// pipe's name); what it must come to; and what the
// browser's file name list then selects (its prefix rule on the name as given). The current
// folder is the file's folder's parent, or the file's folder itself for a row with inFolder.
struct Form {
    const char* name;
    const char* directory;
    const char* fileName;
    bool refused;  // else it behaves as the plain path
    const char* selected;
    bool inFolder = false;
};

const Form kForms[] = {
    { "plain", "<folder>", kFileName, false, kFileName },
    { "long-path form", "\\\\?\\<folder>", kFileName, false, kFileName },
    { "device namespace", "\\\\.\\<folder>", kFileName, false, kFileName },
    { "UNC share", "<share>", kFileName, false, kFileName },
    { "long-path UNC", "\\\\?\\UNC\\<server\\share>", kFileName, false, kFileName },
    { "forward slashes", "<folder/>", kFileName, false, kFileName },
    { "relative folder", "<leaf>\\", kFileName, false, kFileName },
    { "empty directory: a bare name in the current folder", "", kFileName, false, kFileName, true },
    { "trailing dot", "<folder>", "wells.kvd.", false, "" },
    { "trailing spaces", "<folder>", "wells.kvd  ", false, "" },
    { "folder with a trailing dot", "<folder.>", kFileName, false, kFileName },
    // Devices and pipes reach the exchange library, which refuses them with a message.
    { "device CON in the folder", "<folder>", "CON", true, "" },
    { "device COM1.kvd in the folder", "<folder>", "COM1.kvd", true, "" },
    { "device namespace NUL", "\\\\.\\", "NUL", true, "" },
    { "live pipe", "\\\\.\\pipe\\", "<pipe>", true, "" },
    { "pipe through the long-path form", "\\\\?\\pipe\\", "<pipe>", true, "" },
    { "a server's pipe share", "\\\\localhost\\pipe\\", "<pipe>", true, "" },
};

class PathForms : public ::testing::Test {
protected:
    void SetUp() override
    {
        key::Remove();
        folder.Write(kFileName, FileText());
        const std::string path = folder.Path();
        const size_t cut = path.find_last_of('\\', path.size() - 2);
        parent = path.substr(0, cut + 1);
        leaf = path.substr(cut + 1, path.size() - cut - 2);
        if (share.Exists())
            share.Write(FileText());
        GetCurrentDirectoryA(MAX_PATH, savedFolder);
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(savedFolder);
        key::Remove();
    }

    std::string Expand(std::string text) const
    {
        const std::string path = folder.Path();
        const std::pair<const char*, std::string> marks[] = {
            { "<folder>", path },
            { "<folder/>", Replaced(path, '\\', '/') },
            { "<folder.>", path.substr(0, path.size() - 1) + ".\\" },
            { "<leaf>", leaf },
            { "<share>", share.Unc() },
            { "<server\\share>", share.Unc().substr(2) },
            { "<pipe>", pipe.Name().substr(9) },  // after "\\.\pipe\"
        };
        for (const auto& mark : marks) {
            const size_t at = text.find(mark.first);
            if (at != std::string::npos)
                text.replace(at, strlen(mark.first), mark.second);
        }
        return text;
    }

    // Plays the transfer dialog on the two texts: as the plain path does, the dialog lists
    // the object, and OK warns about its author; a refusal is a message and the names back.
    void ExpectTransfer(const Form& form, int mode, const std::string& directory, const std::string& fileName)
    {
        SCOPED_TRACE(mode == kImport ? "import" : "export");
        transfer_host::Rows rows;
        std::string warning, message;
        ScriptedUser user;
        if (form.refused) {
            user.When(AnyMessageBox(), [&](Dialog& box) {
                message = box.MessageText();
                box.ClickButton("OK");
            });
        } else {
            user.When(mode == kImport ? "Kiv Import" : "Kiv Export", [&](Dialog& d) {
                rows = transfer_host::RowTexts(d.List(IDC_AVAILABLE_LIST));
                d.Click(IDC_ADDALL);
                d.Click(IDOK);
            });
            user.When("Warning", [&](Dialog& w) {
                warning = w.Text(IDC_WARNING_TEXT);
                w.Click(IDYES);
            });
        }
        Outcome outcome =
            transfer_host::PlayImpExp(user, Call(mode, directory, fileName, { kObject }, kCurrentAuthor, kWell));
        if (form.refused) {
            EXPECT_FALSE(message.empty()) << "refused with a message";
            EXPECT_EQ(outcome.result, 0);
            EXPECT_EQ(outcome.names, Names{ kObject }) << "the host's names, unchanged";
            for (const auto& window : user.ShownWindows())
                EXPECT_TRUE(window.isMessageBox) << "a dialog was shown: " << window.caption;
            return;
        }
        EXPECT_EQ(rows, (transfer_host::Rows{ { kObject, kOtherAuthor, "3", transfer_host::kShownDate, kWell } }));
        EXPECT_EQ(warning,
                  transfer_host::AuthorWarning(kObject, transfer_host::kShownDate, kOtherAuthor, kCurrentAuthor));
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.names, Names{ kObject });
    }

    // The browser on the two texts: the plain path's tree and file list, or the library's
    // message and an empty browser.
    void ExpectBrowser(const Form& form, const std::string& directory, const std::string& fileName)
    {
        SCOPED_TRACE("browser");
        browser_host::View view;
        std::string message;
        ScriptedUser user;
        if (form.refused) {
            user.When(AnyMessageBox(), [&](Dialog& box) {
                message = box.MessageText();
                box.ClickButton("OK");
            });
        }
        user.When(browser_host::kCaption, [&](Dialog& d) {
            view = browser_host::Look(d);
            d.Click(IDOK);
        });
        browser_host::RunBrowser(user, directory, fileName);
        if (form.refused) {
            EXPECT_FALSE(message.empty()) << "refused with a message";
            EXPECT_EQ(view.tree, "");
            EXPECT_FALSE(key::GetRaw("FileName")) << "a refused file is not remembered";
            return;
        }
        EXPECT_EQ(view.tree, std::string(kObject) + " - " + kOtherAuthor + " - 3 - " + kWell + " - " +
                                 transfer_host::kShownDate + "\n  Header\n    1\n      Depth: 1520.5 [m]\n");
        EXPECT_EQ(view.directory, directory);
        EXPECT_EQ(view.files, Names{ kFileName }) << "the folder where the name was opened";
        EXPECT_EQ(view.selectedFile, form.selected);
        EXPECT_EQ(key::GetText("FileName"), std::optional<std::string>(fileName));
    }

    fixtures::TempFolder folder;
    std::string parent, leaf;
    LocalShare share{ "derar-path-forms-" + std::to_string(GetCurrentProcessId()) };
    PipeServer pipe{ "\\\\.\\pipe\\derar-path-forms-" + std::to_string(GetCurrentProcessId()) };
    char savedFolder[MAX_PATH] = {};
};

TEST_F(PathForms, EachFormBehavesAsThePlainPathOrIsRefusedWithAMessage)
{
    ASSERT_TRUE(share.Exists()) << "no share of this machine to put the file on (WINEPREFIX is not set)";
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        ASSERT_TRUE(SetCurrentDirectoryA(form.inFolder ? folder.Path().c_str() : parent.c_str()));
        const std::string directory = Expand(form.directory), fileName = Expand(form.fileName);
        SCOPED_TRACE("directory \"" + directory + "\", file name \"" + fileName + "\"");
        ExpectTransfer(form, kImport, directory, fileName);
        ExpectTransfer(form, kExport, directory, fileName);
        key::Remove();
        ExpectBrowser(form, directory, fileName);
        key::Remove();
    }
}

}  // namespace

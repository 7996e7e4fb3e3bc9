// KivIdentityTest.cpp - a written file stays the user's file: what the system keeps of
// a file (attributes, permissions, owner, descriptor, streams, encryption) survives a
// write; a hard-linked, read-only or special file is refused with a message that says
// why; a symbolic link is written through; every name the folder takes can be written.
// One table, run natively and under Wine; each row in both modes. A row that this
// system cannot show is a skip that says why, never a pass.
#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>
#else
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "KivTestFolder.h"
#endif

namespace {

const std::string kOld = "KVD 1\nobject A amy 1 W \"2001-01-01 10:00\"\nvalue G \"\" 1 a 1\nend\n";

// ---- The folder and its files, in each system's own calls ----------------------------

#ifdef _WIN32
// A path for the W calls: the long ones with the long-path prefix (paths here are absolute).
std::wstring W(const std::string& path)
{
    std::wstring wide(path.begin(), path.end());
    return wide.size() >= MAX_PATH - 12 && wide.compare(0, 4, L"\\\\.\\") != 0 ? L"\\\\?\\" + wide : wide;
}

void Put(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << ": error " << GetLastError();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Get(const std::string& path)
{
    HANDLE file = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(cannot be read)";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

class Folder {
public:
    Folder()
    {
        static int count = 0;
        do {
            path_ = testing::TempDir() + "kivid_" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(count++) + "\\";
        } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~Folder()
    {
        for (const std::string& name : Names()) {
            SetFileAttributesW(W(path_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(W(path_ + name).c_str());
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string operator/(const std::string& name) const { return path_ + name; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(W(path_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name(found.cFileName, found.cFileName + wcslen(found.cFileName));
                if (name != "." && name != "..")
                    names.push_back(name);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

// Ends the process when a row hangs (a pipe read as a file would).
class Watchdog {
public:
    Watchdog() : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this] {
            if (WaitForSingleObject(done_, 120000) == WAIT_TIMEOUT) {
                std::fprintf(stderr, "the row hangs\n");
                TerminateProcess(GetCurrentProcess(), 3);
            }
        });
    }
    ~Watchdog()
    {
        SetEvent(done_);
        thread_.join();
        CloseHandle(done_);
    }

private:
    HANDLE done_;
    std::thread thread_;
};
#else
using Folder = TestFolder;
void Put(const std::string& path, const std::string& bytes) { WriteBytes(path, bytes); }
std::string Get(const std::string& path) { return ReadBytes(path); }

class Watchdog {
public:
    Watchdog() { alarm(120); }  // a row that hangs ends the program
    ~Watchdog() { alarm(0); }
};
#endif

// ---- A place laid out for a row, and the write -----------------------------------------

struct Place {
    Folder folder;
    std::string target;              // what the host writes
    std::string file;                // where the content is then, "" for no file
    std::vector<std::string> names;  // what the folder holds before and after
    std::function<void()> end;       // undoes what is not in the folder
    ~Place()
    {
        if (end)
            end();
    }
};

struct IdentityCase {
    const char* id;
    // Lays out the place; returns why this system cannot show the row, or "".
    std::function<std::string(Place&)> layOut;
    const char* refusal;  // a part of the message; nullptr: the write goes through
    std::function<void(Place&)> check;
};

// A place whose target is an existing file of the old content named `name`.
std::string Plain(Place& place, const std::string& name = "target.kvd")
{
    place.target = place.file = place.folder / name;
    Put(place.target, kOld);
    place.names = { name };
    return "";
}

std::string Write(const std::string& path, int mode)
{
    char* text = nullptr;
    KivAttach(&text);
    std::string message;
    if (!KivBeginWrite(path.c_str(), &text, mode) || !KivPutObject("A", "new", "1", "W", "", &text) ||
        !KivPutValue("G", "", 1, "v", "1", "", "", &text) || !KivCommitWrite(&text))
        message = text;
    KivDetach();
    return message;
}

void ReadIsRefused(Place& place)
{
    ReadResult read = ReadKvdFile(place.target);
    EXPECT_FALSE(read.opened);
    EXPECT_NE(read.message.find("special file"), std::string::npos) << read.message;
}

// A name of 250 characters, whose temporary file has a short name; one that an earlier
// process with this process's id left goes with the commit.
std::string LongName(Place& place)
{
    Plain(place, std::string(246, 'n') + ".kvd");
#ifdef _WIN32
    unsigned long process = GetCurrentProcessId();
#else
    unsigned long process = static_cast<unsigned long>(getpid());
#endif
    Put(place.folder / ("~kvd.~" + std::to_string(process) + "-999999.tmp"), "left over");
    return "";
}

// ---- The rows of each system -----------------------------------------------------------

#ifdef _WIN32
DWORD Attributes(const std::string& path) { return GetFileAttributesW(W(path).c_str()); }

std::function<std::string(Place&)> WithAttributes(DWORD attributes)
{
    return [attributes](Place& place) {
        Plain(place);
        SetFileAttributesW(W(place.target).c_str(), attributes);
        return Attributes(place.target) == attributes ? "" : "this file system keeps no such attributes";
    };
}

std::function<void(Place&)> AttributesAre(DWORD attributes)
{
    return [attributes](Place& place) { EXPECT_EQ(Attributes(place.target), attributes); };
}

// The DACL of a file as SDDL, "" when it has none that this system keeps.
std::string Dacl(const std::string& path)
{
    DWORD size = 0;
    GetFileSecurityW(W(path).c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<char> descriptor(size + 1);
    char* text = nullptr;
    if (size == 0 || !GetFileSecurityW(W(path).c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr))
        return "";
    std::string sddl = text;
    LocalFree(text);
    return sddl;
}

// Under Wine a symbolic link is the system's own (CreateSymbolicLinkW does nothing in Wine
// 8): made by ln(1), which Wine starts as it starts any program.
bool MakeLink(const std::string& link, const std::string& to)
{
    if (CreateSymbolicLinkW(W(link).c_str(), W(to).c_str(), 0x2 /* unprivileged */) &&
        GetFileAttributesW(W(link).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return false;
    char* where = unixName(W(link).c_str());
    if (where == nullptr)
        return false;
    std::string command = "/bin/ln -s " + to.substr(to.find_last_of('\\') + 1) + " \"" + where + "\"";
    HeapFree(GetProcessHeap(), 0, where);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    // Wine does not wait for a program of the system's own: watch for the link instead.
    for (int waited = 0; waited < 20000; waited += 20) {
        if (GetFileAttributesW(W(link).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(20);
    }
    return false;
}

// A pipe server that offers a sound file to whoever connects, and records whether it
// could act as them (the level of the impersonation it gets). The next instance waits
// before a connection is served, so that the name never stops naming a pipe.
class PipeServer {
public:
    PipeServer()
    {
        static std::atomic<int> count{ 0 };
        name = "\\\\.\\pipe\\kivid_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(count++);
        HANDLE first = Instance();
        thread_ = std::thread([this, first] { Serve(first); });
    }
    ~PipeServer() { Stop(); }
    void Stop()
    {
        if (!thread_.joinable())
            return;
        stop_ = true;
        // A connection wakes the server. While it still serves the last one and has not made
        // the next instance, every instance is busy: wait for one rather than leave it waiting.
        for (int tries = 0; tries < 100; ++tries) {
            HANDLE wake = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (wake != INVALID_HANDLE_VALUE) {
                CloseHandle(wake);
                break;
            }
            if (GetLastError() != ERROR_PIPE_BUSY)
                break;
            WaitNamedPipeA(name.c_str(), 100);
        }
        thread_.join();
    }
    std::string name;
    std::vector<int> levels;  // one a connection: SECURITY_IMPERSONATION_LEVEL, or -1 when none was had

private:
    HANDLE Instance() const
    {
        return CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                65536, 65536, 0, nullptr);
    }
    void Serve(HANDLE pipe)
    {
        while (pipe != INVALID_HANDLE_VALUE) {
            bool connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
            if (stop_) {
                CloseHandle(pipe);
                return;
            }
            HANDLE next = Instance();
            if (connected) {
                levels.push_back(Level(pipe));
                DWORD written = 0;
                WriteFile(pipe, kOld.data(), static_cast<DWORD>(kOld.size()), &written, nullptr);
                FlushFileBuffers(pipe);
                DisconnectNamedPipe(pipe);
            }
            CloseHandle(pipe);
            pipe = next;
        }
    }
    static int Level(HANDLE pipe)
    {
        if (!ImpersonateNamedPipeClient(pipe))
            return -1;
        HANDLE token = nullptr;
        SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
        DWORD size = 0;
        bool known = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
                     GetTokenInformation(token, TokenImpersonationLevel, &level, sizeof level, &size);
        if (token != nullptr)
            CloseHandle(token);
        RevertToSelf();
        return known ? static_cast<int>(level) : -1;
    }
    std::thread thread_;
    std::atomic<bool> stop_{ false };
};

// Does this system hand a pipe's server the level that its client asked for?
bool ShowsImpersonationLevels()
{
    PipeServer server;
    HANDLE client = CreateFileA(server.name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (client == INVALID_HANDLE_VALUE)
        return false;
    char buffer[256];
    DWORD got = 0;
    ReadFile(client, buffer, sizeof buffer, &got, nullptr);  // the server has recorded the level
    CloseHandle(client);
    return server.levels.size() == 1 && server.levels[0] == SecurityIdentification;
}

const IdentityCase kCases[] = {
    { "HiddenArchive", WithAttributes(0x22), nullptr, AttributesAre(0x22) },
    { "HiddenSystemArchive", WithAttributes(0x26), nullptr, AttributesAre(0x26) },
    { "ReadOnly",
      [](Place& place) {
          Plain(place);
          SetFileAttributesW(W(place.target).c_str(), FILE_ATTRIBUTE_READONLY);
          return "";
      },
      "read-only", [](Place& place) { EXPECT_NE(Attributes(place.target) & FILE_ATTRIBUTE_READONLY, 0u); } },
    { "HardLink",
      [](Place& place) {
          Plain(place);
          place.names.insert(place.names.begin(), "other.kvd");
          return CreateHardLinkW(W(place.folder / "other.kvd").c_str(), W(place.target).c_str(), nullptr)
                     ? ""
                     : "this file system has no hard links";
      },
      "2 names (hard links)", [](Place& place) { EXPECT_EQ(Get(place.folder / "other.kvd"), kOld); } },
    { "SymbolicLink",
      [](Place& place) {
          Plain(place, "real.kvd");
          place.target = place.folder / "link.kvd";
          place.names = { "link.kvd", "real.kvd" };
          return MakeLink(place.target, place.file) ? "" : "this system makes no symbolic links";
      },
      nullptr,
      [](Place& place) {
          Put(place.file, kOld);  // the link still leads to the file
          EXPECT_EQ(Get(place.target), kOld);
      } },
    { "NameOf250Characters", LongName, nullptr, nullptr },
    { "NameTooLong",
      [](Place& place) {
          place.target = place.folder / (std::string(296, 'n') + ".kvd");
          return "";
      },
      "300 characters long", nullptr },
    { "NulInAFolder",
      [](Place& place) {
          place.target = place.folder / "NUL";
          return "";
      },
      "special file", ReadIsRefused },
    { "Pipe",
      [](Place& place) {
          auto server = std::make_shared<PipeServer>();
          place.target = server->name;
          place.end = [server] {};
          return "";
      },
      "special file", ReadIsRefused },
    { "PipeServerCannotActAsTheUser",
      [](Place& place) {
          if (!ShowsImpersonationLevels())
              return "this Wine does not hand a pipe's server the impersonation level its client asked for";
          auto server = std::make_shared<PipeServer>();
          place.target = server->name;
          place.end = [server] {
              server->Stop();
              for (int level : server->levels)
                  EXPECT_LE(level, static_cast<int>(SecurityIdentification)) << "the library's open of the pipe";
          };
          return "";
      },
      "special file", ReadIsRefused },
    { "SecurityDescriptor",
      [](Place& place) {
          Plain(place);
          PSECURITY_DESCRIPTOR descriptor = nullptr;
          if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;WD)(A;;FR;;;BU)", SDDL_REVISION_1,
                                                                    &descriptor, nullptr))
              return "no security descriptor can be made here";
          BOOL set = SetFileSecurityW(W(place.target).c_str(), DACL_SECURITY_INFORMATION, descriptor);
          LocalFree(descriptor);
          return set && Dacl(place.target).find("(A;;FR;;;BU)") != std::string::npos
                     ? ""
                     : "this Wine keeps no security descriptor of a file";
      },
      nullptr, [](Place& place) { EXPECT_NE(Dacl(place.target).find("(A;;FR;;;BU)"), std::string::npos); } },
    { "AlternateStream",
      [](Place& place) {
          Plain(place);
          HANDLE stream =
              CreateFileW(W(place.target + ":notes").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
          if (stream == INVALID_HANDLE_VALUE)
              return "this Wine has no alternate data streams";
          DWORD written = 0;
          WriteFile(stream, "notes", 5, &written, nullptr);
          CloseHandle(stream);
          // Wine makes a file of that name beside it.
          return place.folder.Names() == place.names ? "" : "this Wine has no alternate data streams";
      },
      nullptr, [](Place& place) { EXPECT_EQ(Get(place.target + ":notes"), "notes"); } },
    { "Encryption",
      [](Place& place) {
          Plain(place);
          return EncryptFileW(W(place.target).c_str()) && (Attributes(place.target) & FILE_ATTRIBUTE_ENCRYPTED)
                     ? ""
                     : "this Wine has no encrypting file system";
      },
      nullptr, [](Place& place) { EXPECT_NE(Attributes(place.target) & FILE_ATTRIBUTE_ENCRYPTED, 0u); } },
};
#else
std::function<void(Place&)> ModeIs(mode_t mode)
{
    return [mode](Place& place) {
        struct stat st;
        ASSERT_EQ(stat(place.target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    };
}

std::string Fifo(Place& place)
{
    place.target = place.folder / "fifo.kvd";
    place.names = { "fifo.kvd" };
    return mkfifo(place.target.c_str(), 0644) == 0 ? "" : "no FIFO can be made here";
}

// The process id of a process that has ended.
pid_t Gone()
{
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

const IdentityCase kCases[] = {
    { "Permissions",
      [](Place& place) {
          Plain(place);
          chmod(place.target.c_str(), 0640);
          return "";
      },
      nullptr, ModeIs(0640) },
    { "Owner",
      [](Place& place) {
          Plain(place);
          return geteuid() == 0 && chown(place.target.c_str(), 1234, 5678) == 0
                     ? ""
                     : "only the super-user can give a file to another user";
      },
      nullptr,
      [](Place& place) {
          struct stat st;
          ASSERT_EQ(stat(place.target.c_str(), &st), 0);
          EXPECT_EQ(st.st_uid, 1234u);
          EXPECT_EQ(st.st_gid, 5678u);
      } },
    { "ReadOnly",
      [](Place& place) {
          Plain(place);
          chmod(place.target.c_str(), 0444);
          return "";
      },
      "read-only", ModeIs(0444) },
    { "HardLink",
      [](Place& place) {
          Plain(place);
          place.names.insert(place.names.begin(), "other.kvd");
          return link(place.target.c_str(), (place.folder / "other.kvd").c_str()) == 0
                     ? ""
                     : "this file system has no hard links";
      },
      "2 names (hard links)", [](Place& place) { EXPECT_EQ(Get(place.folder / "other.kvd"), kOld); } },
    { "SymbolicLink",
      [](Place& place) {
          Plain(place, "real.kvd");
          place.target = place.folder / "link.kvd";
          place.names = { "link.kvd", "real.kvd" };
          return symlink("real.kvd", place.target.c_str()) == 0 ? "" : "this file system has no symbolic links";
      },
      nullptr,
      [](Place& place) {
          char text[64] = {};
          EXPECT_EQ(readlink(place.target.c_str(), text, sizeof text - 1), 8) << "the link is no longer a link";
          EXPECT_STREQ(text, "real.kvd");
      } },
    { "SymbolicLinkToAFileNotYetMade",
      [](Place& place) {
          place.target = place.folder / "link.kvd";
          place.file = place.folder / "later/real.kvd";
          place.names = { "later", "link.kvd" };
          mkdir((place.folder / "later").c_str(), 0755);
          place.end = [&place] {
              std::remove(place.file.c_str());
              rmdir((place.folder / "later").c_str());
          };
          return symlink("later/real.kvd", place.target.c_str()) == 0 ? "" : "this file system has no symbolic links";
      },
      nullptr,
      [](Place& place) {
          struct stat st;
          EXPECT_EQ(lstat(place.target.c_str(), &st), 0);
          EXPECT_TRUE(S_ISLNK(st.st_mode));
          EXPECT_EQ(NamesIn(place.folder / "later"), std::vector<std::string>{ "real.kvd" });
      } },
    { "NameOf250Characters", LongName, nullptr, nullptr },
    { "NameTooLong",
      [](Place& place) {
          place.target = place.folder / (std::string(296, 'n') + ".kvd");
          return "";
      },
      "300 characters long", nullptr },
    { "Fifo", Fifo, "special file", ReadIsRefused },
    { "Device",
      [](Place& place) {
          place.target = "/dev/null";
          return "";
      },
      "special file", ReadIsRefused },
    { "FifoNamedLikeALeftover",
      [](Place& place) {
          Plain(place);
          std::string leftover = "target.kvd.~" + std::to_string(Gone()) + "-1.tmp";
          place.names.push_back(leftover);
          return mkfifo((place.folder / leftover).c_str(), 0644) == 0 ? "" : "no FIFO can be made here";
      },
      nullptr, nullptr },
};
#endif

class Identity : public testing::TestWithParam<IdentityCase> {};

TEST_P(Identity, TheFileStaysTheUsersFile)
{
    const IdentityCase& c = GetParam();
    Watchdog watchdog;
    for (int mode : { KIV_WRITE_UPDATE, KIV_WRITE_REPLACE }) {
        SCOPED_TRACE(mode == KIV_WRITE_UPDATE ? "update" : "replace");
        Place place;
        std::string cannot = c.layOut(place);
        if (!cannot.empty())
            GTEST_SKIP() << cannot;
        std::string message = Write(place.target, mode);
        if (c.refusal != nullptr) {
            EXPECT_NE(message.find(c.refusal), std::string::npos) << message;
            EXPECT_EQ(message.rfind("Cannot write \"" + place.target + "\": ", 0), 0u) << message;
            if (!place.file.empty()) {
                EXPECT_EQ(Get(place.file), kOld);
            }
        } else {
            EXPECT_EQ(message, "");
            ReadResult read = ReadKvdFile(place.file);
            ASSERT_TRUE(read.opened) << read.message;
            ASSERT_EQ(read.objects.size(), 1u);
            EXPECT_EQ(read.objects[0].author, "new");
        }
        EXPECT_EQ(place.folder.Names(), place.names) << "nothing is left or lost beside the file";
        if (c.check)
            c.check(place);
    }
}

INSTANTIATE_TEST_SUITE_P(Kiv, Identity, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<IdentityCase>& info) { return info.param.id; });

}  // namespace

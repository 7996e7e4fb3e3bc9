// KivWindowsTest.cpp - Kiv.dll under Windows (Wine here): texts between the ANSI
// code page and the UTF-8 of the files, and the faults that only Windows has (a file
// held open without sharing, the read-only attribute).
//
// The ANSI code page of a process is fixed when it starts; under Wine it follows the
// locale of the environment (LC_ALL=C.UTF-8 gives 1252, ru_RU.UTF-8 gives 1251).
// ctest runs this program once per code page; the tests of the other one skip.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"

namespace {

// Through the A functions, so that a path in the code page means what it means to the library.
std::string ReadBytes(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "(cannot be read)";
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

void WriteBytes(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << ": error " << GetLastError();
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// A folder of the test's own; everything in it is removed with it.
class Folder {
public:
    // A name that no folder has: under Wine the first process of a session always has
    // the same id, so a name of an earlier run may still be taken.
    Folder()
    {
        static int count = 0;
        do {
            path_ = testing::TempDir() + "kivwin_" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(count++) + "\\";
        } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~Folder()
    {
        for (const std::string& name : Names()) {
            SetFileAttributesA((path_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((path_ + name).c_str());
        }
        RemoveDirectoryA(path_.c_str());
    }
    std::string operator/(const std::string& name) const { return path_ + name; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name != "." && name != "..")
                    names.push_back(name);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        return names;
    }

private:
    std::string path_;
};

#define REQUIRE_CODE_PAGE(cp)                                                                        \
    if (GetACP() != (cp))                                                                            \
    GTEST_SKIP() << "this test assumes the ANSI code page " << (cp) << "; the process has " << GetACP() \
                 << " (set LC_ALL of the Wine process)"

const char* const kDate = "2001-02-03 04:05";

// In the Western code page (1252).
const char* const kBronnAnsi = "Br\xF8nn 7/11-A";
const char* const kGroesseAnsi = "Gr\xF6\xDF" "e";
const char* const kSkvazinaAnsi = "Skva\x9Eina";
// The same in UTF-8, as the file holds them.
const char* const kBronnUtf8 = "Br\xC3\xB8nn 7/11-A";
const char* const kGroesseUtf8 = "Gr\xC3\xB6\xC3\x9F" "e";
const char* const kSkvazinaUtf8 = "Skva\xC5\xBEina";
const char* const kCyrillicUtf8 = "\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\xD0\xB6\xD0\xB8\xD0\xBD\xD0\xB0";  // Скважина
const char* const kCyrillic1251 = "\xD1\xEA\xE2\xE0\xE6\xE8\xED\xE0";

std::string WriteNames(const std::string& path, int mode, const std::vector<std::string>& names)
{
    char* message = nullptr;
    KivAttach(&message);
    std::string failure;
    if (!KivBeginWrite(path.c_str(), &message, mode)) {
        failure = message;
    } else {
        for (const std::string& name : names) {
            if (!KivPutObject(name.c_str(), name.c_str(), "1", name.c_str(), kDate, &message) ||
                !KivPutValue(name.c_str(), "", 1, name.c_str(), name.c_str(), name.c_str(), name.c_str(), &message)) {
                failure = message;
                break;
            }
        }
        if (failure.empty() && !KivCommitWrite(&message))
            failure = message;
    }
    KivDetach();
    return failure;
}

TEST(KivCodePage, Cp1252NamesRoundTripThroughUtf8)
{
    REQUIRE_CODE_PAGE(1252);
    Folder folder;
    std::string path = folder / "western.kvd";
    ASSERT_EQ(WriteNames(path, KIV_WRITE_REPLACE, {kBronnAnsi, kGroesseAnsi, kSkvazinaAnsi}), "");
    std::string bytes = ReadBytes(path);
    for (const char* utf8 : {kBronnUtf8, kGroesseUtf8, kSkvazinaUtf8})
        EXPECT_NE(bytes.find(utf8), std::string::npos) << "the file holds UTF-8: " << utf8;
    ReadResult read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 3u);
    const char* expected[] = {kBronnAnsi, kGroesseAnsi, kSkvazinaAnsi};
    for (size_t i = 0; i < 3; ++i) {
        const ReadObject& o = read.objects[i];
        EXPECT_EQ(o.name, expected[i]);
        EXPECT_EQ(o.author, expected[i]);
        EXPECT_EQ(o.wellId, expected[i]);
        ASSERT_EQ(o.values.size(), 1u);
        EXPECT_EQ(o.values[0].group, expected[i]);
        EXPECT_EQ(o.values[0].value, expected[i]);
        EXPECT_EQ(o.values[0].extra, expected[i]);
    }
}

TEST(KivCodePage, Cp1252ShowsWhatItLacksAsQuestionMarks)
{
    REQUIRE_CODE_PAGE(1252);
    std::string file = KvdFile(std::string("object ") + kCyrillicUtf8 + " a 1 " + kSkvazinaUtf8 + " \"" + kDate +
                               "\"\nvalue G \"\" 1 v " + kCyrillicUtf8 + "\n");
    ReadResult read = ReadKvdText(file);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 1u);
    EXPECT_EQ(read.objects[0].name, "????????");
    EXPECT_EQ(read.objects[0].wellId, kSkvazinaAnsi);
    ASSERT_EQ(read.objects[0].values.size(), 1u);
    EXPECT_EQ(read.objects[0].values[0].value, "????????");
}

TEST(KivCodePage, Cp1252OlderFilesAreReadUnchangedAndBecomeUtf8WhenUpdated)
{
    REQUIRE_CODE_PAGE(1252);
    Folder folder;
    std::string path = folder / "older.kvd";
    // Not UTF-8 as a whole: an older file in the Windows code page.
    WriteBytes(path, KvdFile(std::string("object ") + kGroesseAnsi + " amy 1 W \"" + kDate + "\"\n" +
                             "value G \"\" 1 v \"caf\\xE9\"\nobject Old b 1 W \"" + kDate + "\"\n"));
    ReadResult read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 2u);
    EXPECT_EQ(read.objects[0].name, kGroesseAnsi);
    EXPECT_EQ(read.objects[0].values.at(0).value, "caf\xE9");

    ASSERT_EQ(WriteNames(path, KIV_WRITE_UPDATE, {"Old", kBronnAnsi}), "");
    std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find(kGroesseUtf8), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("caf\xC3\xA9"), std::string::npos) << bytes;
    read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 3u);
    EXPECT_EQ(read.objects[0].name, kGroesseAnsi);
    EXPECT_EQ(read.objects[0].values.at(0).value, "caf\xE9");
    EXPECT_EQ(read.objects[1].name, "Old");
    EXPECT_EQ(read.objects[1].author, "Old");
    EXPECT_EQ(read.objects[2].name, kBronnAnsi);
}

TEST(KivCodePage, Cp1252MessagesKeepTheCallersPathAndShowTheFilesTexts)
{
    REQUIRE_CODE_PAGE(1252);
    Folder folder;
    std::string path = folder / (std::string(kBronnAnsi).substr(0, 5) + ".kvd");  // "Brønn.kvd"
    WriteBytes(path, std::string("KVD 1\nobject ") + kGroesseUtf8 + " a 1 W \"2001-02-30 10:00\"\nend\n");
    char* message = nullptr;
    KivAttach(&message);
    EXPECT_EQ(KivOpen(path.c_str(), &message, 0), 0);
    std::string text = message;
    KivDetach();
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_EQ(WriteNames(path, KIV_WRITE_UPDATE, {"x"}), text) << "update refuses with the reader's message";

    std::string refusal;
    KivAttach(&message);
    ASSERT_NE(KivBeginWrite((folder / "m.kvd").c_str(), &message, KIV_WRITE_REPLACE), 0) << message;
    EXPECT_EQ(KivPutObject(kGroesseAnsi, "", "", "", "bad", &message), 0);
    refusal = message;
    KivDetach();
    EXPECT_NE(refusal.find(kGroesseAnsi), std::string::npos) << refusal;
}

TEST(KivCodePage, Cp1251CyrillicRoundTrips)
{
    REQUIRE_CODE_PAGE(1251);
    Folder folder;
    std::string path = folder / "cyrillic.kvd";
    ASSERT_EQ(WriteNames(path, KIV_WRITE_REPLACE, {kCyrillic1251}), "");
    EXPECT_NE(ReadBytes(path).find(kCyrillicUtf8), std::string::npos);
    ReadResult read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 1u);
    EXPECT_EQ(read.objects[0].name, kCyrillic1251);
    EXPECT_EQ(read.objects[0].values.at(0).value, kCyrillic1251);
}

const char* const kOld = "KVD 1\nobject A amy 1 W \"2001-01-01 10:00\"\nvalue G \"\" 1 a 1\nend\n";

// Messages are UTF-8 inside the library and turned into the code page as a whole: a
// Cyrillic path keeps every letter (no byte pair of it is taken for UTF-8), and a file's
// texts come in the code page whether the file is UTF-8 or an older one in 1251.
TEST(KivCodePage, Cp1251MessagesKeepCyrillicPaths)
{
    REQUIRE_CODE_PAGE(1251);
    // This Wine names files on the disk in the charset of the process's locale, which
    // here has none for Cyrillic: the paths name nothing, and the messages say so.
    const std::string kLake = "\xCE\xC7\xA8\xD0\xCD\xCE\xC5";  // ОЗЁРНОЕ: "З" and "Ё" make a UTF-8 pair
    Folder folder;
    std::string missing = folder / (kLake + "\\" + kLake + ".kvd");
    char* message = nullptr;
    ASSERT_EQ(KivAttach(&message), 1);
    EXPECT_EQ(KivOpen(missing.c_str(), &message, 0), 0);
    EXPECT_NE(std::string(message).find("\"" + missing + "\": there is no such file"), std::string::npos) << message;
    EXPECT_EQ(KivBeginWrite(missing.c_str(), &message, KIV_WRITE_REPLACE), 0);
    EXPECT_NE(std::string(message).find("Cannot write \"" + missing + "\""), std::string::npos) << message;
    ASSERT_NE(KivBeginWrite((folder / "w.kvd").c_str(), &message, KIV_WRITE_REPLACE), 0) << message;
    EXPECT_EQ(KivPutObject(kCyrillic1251, "", "", "", "bad", &message), 0);
    EXPECT_NE(std::string(message).find(std::string("\"") + kCyrillic1251 + "\""), std::string::npos) << message;
    KivDetach();

    struct Case {
        const char* name;
        std::string content;  // a file that the reader refuses
        const char* shown;    // what the message shows of the file's text, in 1251
    };
    const Case kCases[] = {
        {"a UTF-8 file", std::string("KVD 1\nobject A a 1 W \"") + kCyrillicUtf8 + "\"\nend\n", kCyrillic1251},
        {"an older file in 1251", std::string("KVD 1\nobject A a 1 W \"") + kCyrillic1251 + "\"\nend\n",
         kCyrillic1251},
        {"an older file, a pair of its letters taken for UTF-8 nowhere",
         "KVD 1\nobject A a 1 W \"" + kLake + "\"\nend\n", kLake.c_str()},
    };
    for (const Case& c : kCases) {
        std::string path = folder / "refused.kvd";
        WriteBytes(path, c.content);
        ASSERT_EQ(KivAttach(&message), 1);
        EXPECT_EQ(KivOpen(path.c_str(), &message, 0), 0) << c.name;
        std::string text = message;
        KivDetach();
        EXPECT_NE(text.find(std::string("found \"") + c.shown + "\""), std::string::npos) << c.name << ": " << text;
        EXPECT_EQ(WriteNames(path, KIV_WRITE_UPDATE, {"x"}), text) << c.name << ": an update refuses with it too";
    }
}

// The file being read is the file committed however the host spells it: the commit ends
// the reading first (Windows replaces no file that is open) instead of finding the file
// held open by the host itself.
TEST(KivFiles, AFileReadAndWrittenUnderTwoSpellingsIsOneFile)
{
    Folder folder;
    std::string path = folder / "Wells.kvd";
    auto upper = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
        return text;
    };
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        return text;
    };
    auto slashes = [](std::string text) {
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    };
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    struct Case {
        const char* name;
        std::string read, written;
        bool relative;  // read as a name in the current folder
    };
    const Case kCases[] = {
        {"the same text", path, path, false},
        {"upper and lower case", upper(path), lower(path), false},
        {"forward slashes", slashes(path), path, false},
        {"a name in the current folder", "wells.KVD", path, true},
        {"a doubled separator", folder / "\\Wells.kvd", path, false},
    };
    for (const Case& c : kCases) {
        WriteBytes(path, kOld);
        if (c.relative) {
            ASSERT_TRUE(SetCurrentDirectoryA((folder / "").c_str()));
        }
        char* message = nullptr;
        ASSERT_EQ(KivAttach(&message), 1);
        ASSERT_EQ(KivOpen(c.read.c_str(), &message, 0), 1) << c.name << ": " << message;
        ASSERT_NE(KivBeginWrite(c.written.c_str(), &message, KIV_WRITE_UPDATE), 0) << c.name << ": " << message;
        ASSERT_NE(KivPutObject("New", "amy", "1", "W", kDate, &message), 0) << message;
        EXPECT_NE(KivCommitWrite(&message), 0) << c.name << ": " << message;
        char* name = nullptr;
        EXPECT_EQ(KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr), 0)
            << c.name << ": the reading of the replaced file ended";
        KivDetach();
        SetCurrentDirectoryA(current);
        ReadResult read = ReadKvdFile(path);
        ASSERT_TRUE(read.opened) << c.name << ": " << read.message;
        EXPECT_EQ(read.objects.size(), 2u) << c.name;
    }
}

// A process that writes one file again and again: each begin right after a commit finds
// the file free (nothing of the commit before still holds it).
TEST(KivFiles, ABeginRightAfterACommitOfTheSameFile)
{
    Folder folder;
    std::string path = folder / "again.kvd";
    WriteBytes(path, kOld);
    char* message = nullptr;
    ASSERT_EQ(KivAttach(&message), 1);
    int committed = 0;
    for (int round = 0; round < 200; ++round) {
        int mode = round % 2 ? KIV_WRITE_UPDATE : KIV_WRITE_REPLACE;
        ASSERT_NE(KivBeginWrite(path.c_str(), &message, mode), 0) << "round " << round << ": " << message;
        std::string name = "O" + std::to_string(round);
        ASSERT_NE(KivPutObject(name.c_str(), "amy", "1", "W", kDate, &message), 0) << message;
        ASSERT_NE(KivCommitWrite(&message), 0) << "round " << round << ": " << message;
        ++committed;
        ASSERT_EQ(KivOpen(path.c_str(), &message, 0), 1) << "round " << round << ": " << message;
    }
    KivDetach();
    EXPECT_EQ(committed, 200);
}

// Threads of one process that write one file: a begin or an open that comes while
// another thread's commit puts its file in place waits for that step, and never finds
// the file held by the process's own commit.
TEST(KivFiles, ThreadsOfOneProcessNeverFindTheFileHeldByTheirOwnCommit)
{
    Folder folder;
    const std::string path = folder / "shared.kvd";
    WriteBytes(path, kOld);
    constexpr int kThreads = 4, kRounds = 40;
    std::vector<std::string> faults(kThreads);
    std::vector<int> begun(kThreads, 0), read(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            char* message = nullptr;
            KivAttach(&message);
            for (int round = 0; round < kRounds; ++round) {
                std::string name = "T" + std::to_string(t);
                int mode = (round + t) % 2 ? KIV_WRITE_UPDATE : KIV_WRITE_REPLACE;
                if (!KivBeginWrite(path.c_str(), &message, mode)) {
                    faults[t] = message;  // a begin reads or examines the file only
                    break;
                }
                ++begun[t];
                // A commit may be refused while another thread reads the file; not a begin.
                if (KivPutObject(name.c_str(), "amy", "1", "W", kDate, &message))
                    KivCommitWrite(&message);
                KivAbandonWrite();
                if (!KivOpen(path.c_str(), &message, 0) && std::string(message).find("changed") == std::string::npos) {
                    faults[t] = message;
                    break;
                }
                char* object = nullptr;
                while (KivGetNextObject(&object, nullptr, nullptr, nullptr, nullptr))
                    ;  // to the end, which lets go of the file
                ++read[t];
            }
            KivDetach();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(faults[t], "") << "thread " << t;
        EXPECT_EQ(begun[t], kRounds) << "thread " << t;
    }
}

// ---- Faults of Windows ----------------------------------------------------------------

TEST(KivWindowsFaults, ATargetHeldOpenWithoutSharing)
{
    struct Case {
        const char* name;
        DWORD share;
        int mode;
    };
    const Case cases[] = {
        {"no sharing, update", 0, KIV_WRITE_UPDATE},
        {"no sharing, replace", 0, KIV_WRITE_REPLACE},
        {"reading shared, not deleting, update", FILE_SHARE_READ, KIV_WRITE_UPDATE},
        {"reading shared, not deleting, replace", FILE_SHARE_READ, KIV_WRITE_REPLACE},
    };
    for (const Case& c : cases) {
        Folder folder;
        std::string path = folder / "held.kvd";
        WriteBytes(path, kOld);
        char* message = nullptr;
        KivAttach(&message);
        ASSERT_NE(KivBeginWrite(path.c_str(), &message, c.mode), 0) << c.name << ": " << message;
        ASSERT_NE(KivPutObject("A", "new", "", "", kDate, &message), 0) << message;
        HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(KivCommitWrite(&message), 0) << c.name;
        std::string text = message;
        KivDetach();
        CloseHandle(held);
        EXPECT_NE(text.find("another program holds the file open"), std::string::npos) << c.name << ": " << text;
        EXPECT_EQ(ReadBytes(path), kOld) << c.name;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"held.kvd"}) << c.name;
    }
}

// Another process: this program again, running only one of the KivChild tests below,
// named by KIV_CHILD_ROLE: "hold" opens the file named by KIV_CHILD_PATH without
// sharing, "write" begins a write to it and puts an object. Either says so through an
// event and then waits until told to let go (or is killed).
class Child {
public:
    Child(const std::string& role, const std::string& path)
    {
        std::string id = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(count_++);
        ready_ = CreateEventA(nullptr, TRUE, FALSE, ("kiv_ready_" + id).c_str());
        release_ = CreateEventA(nullptr, TRUE, FALSE, ("kiv_release_" + id).c_str());
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        SetEnvironmentVariableA("KIV_CHILD_ROLE", role.c_str());
        SetEnvironmentVariableA("KIV_CHILD_PATH", path.c_str());
        SetEnvironmentVariableA("KIV_CHILD_EVENTS", id.c_str());
        std::string command = std::string("\"") + exe + "\" --gtest_filter=KivChild.*";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_) != 0;
        SetEnvironmentVariableA("KIV_CHILD_ROLE", nullptr);
        SetEnvironmentVariableA("KIV_CHILD_PATH", nullptr);
        SetEnvironmentVariableA("KIV_CHILD_EVENTS", nullptr);
        ready = started_ && WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0;
    }
    ~Child()
    {
        SetEvent(release_);
        if (started_) {
            WaitForSingleObject(process_.hProcess, 30000);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    // Ends the process at once, as the task manager does.
    void Kill()
    {
        TerminateProcess(process_.hProcess, 9);
        WaitForSingleObject(process_.hProcess, 30000);
    }
    DWORD ProcessId() const { return process_.dwProcessId; }
    bool ready = false;

private:
    static int count_;
    HANDLE ready_, release_;
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};
int Child::count_ = 0;

// The child's side: what the role asks, then the events.
class ChildRole {
public:
    explicit ChildRole(const char* role)
    {
        char name[64], path[MAX_PATH], id[64];
        active_ = GetEnvironmentVariableA("KIV_CHILD_ROLE", name, sizeof name) && std::string(name) == role &&
                  GetEnvironmentVariableA("KIV_CHILD_PATH", path, MAX_PATH) &&
                  GetEnvironmentVariableA("KIV_CHILD_EVENTS", id, sizeof id);
        if (active_) {
            path_ = path;
            id_ = id;
        }
    }
    bool Active() const { return active_; }
    const std::string& Path() const { return path_; }
    void ReadyThenWait() const
    {
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, ("kiv_ready_" + id_).c_str());
        HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, ("kiv_release_" + id_).c_str());
        SetEvent(ready);
        WaitForSingleObject(release, 60000);
        CloseHandle(ready);
        CloseHandle(release);
    }

private:
    bool active_ = false;
    std::string path_, id_;
};

TEST(KivChild, Hold)
{
    ChildRole role("hold");
    if (!role.Active())
        GTEST_SKIP() << "only as the child of another test";
    HANDLE file = CreateFileA(role.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    role.ReadyThenWait();
    CloseHandle(file);
}

TEST(KivChild, Write)
{
    ChildRole role("write");
    if (!role.Active())
        GTEST_SKIP() << "only as the child of another test";
    char* message = nullptr;
    KivAttach(&message);
    ASSERT_NE(KivBeginWrite(role.Path().c_str(), &message, KIV_WRITE_UPDATE), 0) << message;
    ASSERT_NE(KivPutObject("Child", "", "", "", "", &message), 0) << message;
    role.ReadyThenWait();
    KivDetach();
}

TEST(KivWindowsFaults, ATargetHeldOpenByAnotherProcess)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder folder;
        std::string path = folder / "other.kvd";
        WriteBytes(path, kOld);
        char* message = nullptr;
        KivAttach(&message);
        ASSERT_NE(KivBeginWrite(path.c_str(), &message, mode), 0) << message;
        ASSERT_NE(KivPutObject("A", "new", "", "", kDate, &message), 0) << message;
        std::string text;
        {
            Child holder("hold", path);
            ASSERT_TRUE(holder.ready) << "the other process does not hold the file";
            EXPECT_EQ(KivCommitWrite(&message), 0) << mode;
            text = message;
        }
        KivDetach();
        EXPECT_NE(text.find("another program holds the file open"), std::string::npos) << mode << ": " << text;
        EXPECT_EQ(ReadBytes(path), kOld) << mode;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"other.kvd"}) << mode;
    }
}

TEST(KivWindowsFaults, TheReadOnlyAttribute)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder folder;
        std::string path = folder / "readonly.kvd";
        WriteBytes(path, kOld);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_NE(WriteNames(path, mode, {"A"}).find("read-only"), std::string::npos) << mode;
        // Made read-only after the begin: the commit still leaves it.
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        char* message = nullptr;
        KivAttach(&message);
        ASSERT_NE(KivBeginWrite(path.c_str(), &message, mode), 0) << message;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_EQ(KivCommitWrite(&message), 0) << mode;
        KivDetach();
        EXPECT_EQ(ReadBytes(path), kOld) << mode;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"readonly.kvd"}) << mode;
    }
}

TEST(KivWindowsFaults, ACommitReplacesInOneStepAndLeavesNoTemporaryFile)
{
    Folder folder;
    std::string path = folder / "plain.kvd";
    WriteBytes(path, kOld);
    ASSERT_EQ(WriteNames(path, KIV_WRITE_UPDATE, {"B"}), "");
    ReadResult read = ReadKvdFile(path);
    ASSERT_TRUE(read.opened) << read.message;
    ASSERT_EQ(read.objects.size(), 2u);
    EXPECT_EQ(read.objects[0].name, "A");
    EXPECT_EQ(read.objects[1].name, "B");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"plain.kvd"});
}

// ---- The temporary file: its name, its folder, its end --------------------------------

// The name of the temporary file of the write open now, or "".
std::string TemporaryName(const Folder& folder)
{
    for (const std::string& name : folder.Names())
        if (name.find(".tmp") != std::string::npos)
            return name;
    return "";
}

bool BeginAndPut(const std::string& path, int mode, std::string& message)
{
    char* text = nullptr;
    KivAttach(&text);
    bool begun = KivBeginWrite(path.c_str(), &text, mode) && KivPutObject("A", "new", "", "", kDate, &text);
    message = text;
    return begun;
}

TEST(KivWindowsFaults, ANameThatALeftoverHoldsIsPassedOverAndTheCommitRemovesIt)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder folder;
        std::string path = folder / "target.kvd";
        WriteBytes(path, kOld);
        std::string message;
        ASSERT_TRUE(BeginAndPut(path, mode, message)) << message;
        std::string seen = TemporaryName(folder);  // target.kvd.~<process>-<n>.tmp
        KivDetach();
        ASSERT_NE(seen, "");
        size_t dash = seen.rfind('-');
        int n = std::atoi(seen.c_str() + dash + 1);
        // An earlier process with this process's id (under Wine the first process of a
        // session always has the same one) left the names that come next.
        for (int next = n + 1; next <= n + 40; ++next)
            WriteBytes(folder / (seen.substr(0, dash + 1) + std::to_string(next) + ".tmp"), "left over");
        EXPECT_EQ(WriteNames(path, mode, {"B"}), "") << mode;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"})
            << "mode " << mode << ": the commit removes what the earlier process left";
    }
}

// Another process's live write: this one waits for it, is refused when it stays open,
// and touches neither its temporary file nor the target; once it ended, it writes.
TEST(KivWindowsFaults, AnotherProcesssLiveWriteIsWaitedForAndKeepsItsFile)
{
    Folder folder;
    std::string path = folder / "target.kvd";
    WriteBytes(path, kOld);
    {
        Child writer("write", path);
        ASSERT_TRUE(writer.ready) << "the other process did not begin its write";
        std::string theirs = TemporaryName(folder);
        ASSERT_NE(theirs, "");
        DWORD begin = GetTickCount();
        std::string refusal = WriteNames(path, KIV_WRITE_UPDATE, {"B"});
        DWORD waited = GetTickCount() - begin;
        EXPECT_NE(refusal.find("another program is writing the file"), std::string::npos) << refusal;
        EXPECT_GE(waited, 4900u);
        EXPECT_LT(waited, 15000u);
        std::vector<std::string> names = folder.Names();
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
                  (std::set<std::string>{"target.kvd", theirs, "target.kvd.~lock"}))
            << "a live writer's temporary file was removed";
        EXPECT_EQ(ReadBytes(path), kOld);
    }
    EXPECT_EQ(WriteNames(path, KIV_WRITE_UPDATE, {"B"}), "");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"}) << "the writers leave nothing beside it";
}

TEST(KivWindowsFaults, AKilledWriterLeavesNoTemporaryFile)
{
    Folder folder;
    std::string path = folder / "target.kvd";
    WriteBytes(path, kOld);
    Child writer("write", path);
    ASSERT_TRUE(writer.ready) << "the other process did not begin its write";
    ASSERT_EQ(folder.Names().size(), 3u) << "the target, the temporary file and the writers' lock file";
    writer.Kill();
    // The lock file stays, let go of; the next writer takes it and removes it.
    std::vector<std::string> names = folder.Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"target.kvd", "target.kvd.~lock"}));
    EXPECT_EQ(ReadBytes(path), kOld);
    EXPECT_EQ(WriteNames(path, KIV_WRITE_UPDATE, {"B"}), "");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"});
}

TEST(KivWindowsFaults, AThreadThatEndsAttachedLeavesNoTemporaryFile)
{
    Folder folder;
    std::string path = folder / "target.kvd";
    WriteBytes(path, kOld);
    std::string message;
    bool begun = false;
    std::thread writer([&] { begun = BeginAndPut(path, KIV_WRITE_UPDATE, message); });  // and no KivDetach
    writer.join();
    ASSERT_TRUE(begun) << message;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"});
    EXPECT_EQ(ReadBytes(path), kOld);
}

TEST(KivWindowsFaults, TheFolderOfAnOpenWriteCannotBeRenamedOrRemoved)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder outer;
        std::string inner = outer / "inner", moved = outer / "moved";
        ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
        std::string path = inner + "\\target.kvd";
        WriteBytes(path, kOld);
        std::string message;
        ASSERT_TRUE(BeginAndPut(path, mode, message)) << message;
        bool renamed = MoveFileA(inner.c_str(), moved.c_str()) != 0;
        EXPECT_FALSE(renamed) << "mode " << mode << ": the folder of an open write was renamed";
        char* text = nullptr;
        bool committed = KivCommitWrite(&text) != 0;
        KivDetach();
        const std::string where = renamed ? moved : inner;
        // Whether the commit went through or not, no temporary file is left anywhere.
        for (const std::string& folder : {inner, moved}) {
            WIN32_FIND_DATAA found;
            HANDLE search = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
            EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "mode " << mode << ": " << found.cFileName << " left in "
                                                    << folder;
            if (search != INVALID_HANDLE_VALUE)
                FindClose(search);
        }
        EXPECT_TRUE(committed) << mode << ": " << (text ? text : "");
        EXPECT_NE(ReadBytes(where + "\\target.kvd"), kOld) << mode;
        EXPECT_TRUE(MoveFileA(where.c_str(), (outer / "after").c_str())) << "the folder is free again";
        DeleteFileA((outer / "after\\target.kvd").c_str());
        RemoveDirectoryA((outer / "after").c_str());
        DeleteFileA((where + "\\target.kvd").c_str());
        RemoveDirectoryA(where.c_str());
    }
}

TEST(KivWindowsFaults, AnIdenticalCopyPutInTheTargetsPlaceIsAChange)
{
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        Folder folder;
        std::string path = folder / "target.kvd", copy = folder / "copy.kvd";
        WriteBytes(path, kOld);
        std::string message;
        ASSERT_TRUE(BeginAndPut(path, mode, message)) << message;
        // Another program saves the same bytes through a file of its own, with the same time.
        WriteBytes(copy, kOld);
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
        HANDLE file = CreateFileA(copy.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFileTime(file, nullptr, nullptr, &data.ftLastWriteTime);
        CloseHandle(file);
        ASSERT_TRUE(MoveFileExA(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
        char* text = nullptr;
        EXPECT_EQ(KivCommitWrite(&text), 0) << mode;
        message = text;
        KivDetach();
        EXPECT_NE(message.find("changed on the disk"), std::string::npos) << mode << ": " << message;
        EXPECT_EQ(ReadBytes(path), kOld) << mode;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.kvd"}) << mode;
    }
}

// A disk that fills. The test command mounts a file system of 1 MB for this program
// and names its folder in KIV_FULL_DISK (tests/kiv/full_disk.sh); without it these skip.
class FullDisk {
public:
    FullDisk()
    {
        char folder[MAX_PATH];
        if (GetEnvironmentVariableA("KIV_FULL_DISK", folder, MAX_PATH))
            folder_ = folder;
    }
    bool There() const { return !folder_.empty(); }
    std::string operator/(const std::string& name) const { return folder_ + name; }
    // Leaves `bytes` free: a filler file takes the rest.
    void LeaveFree(uint64_t bytes)
    {
        DeleteFileA((folder_ + "filler").c_str());
        ULARGE_INTEGER free = {};
        GetDiskFreeSpaceExA(folder_.c_str(), &free, nullptr, nullptr);
        std::string filler(free.QuadPart > bytes ? static_cast<size_t>(free.QuadPart - bytes) : 0, 'f');
        WriteBytes(folder_ + "filler", filler);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = found.cFileName;
                if (name != "." && name != ".." && name != "filler")
                    names.push_back(name);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        return names;
    }
    ~FullDisk()
    {
        if (There())
            DeleteFileA((folder_ + "filler").c_str());
    }

private:
    std::string folder_;
};

TEST(KivWindowsFullDisk, TheMessageSaysTheDiskIsFullWheneverItFills)
{
    FullDisk disk;
    if (!disk.There())
        GTEST_SKIP() << "no small file system to fill (KIV_FULL_DISK is not set)";
    struct Case {
        const char* name;
        uint64_t free;       // bytes left free before the write
        size_t valueBytes;   // the value put
    };
    const Case cases[] = {
        {"no byte free", 0, 1000},
        {"64 KB free, a value of 300,000 bytes", 64 << 10, 300000},
        {"300 KB free, two values of 300,000 bytes", 300 << 10, 600000},
        {"600 KB free, three values of 300,000 bytes", 600 << 10, 900000},
    };
    const std::string path = disk / "target.kvd";
    for (int mode : {KIV_WRITE_UPDATE, KIV_WRITE_REPLACE}) {
        for (const Case& c : cases) {
            DeleteFileA(path.c_str());
            WriteBytes(path, kOld);
            disk.LeaveFree(c.free);
            char* message = nullptr;
            KivAttach(&message);
            std::string failure;
            if (!KivBeginWrite(path.c_str(), &message, mode)) {
                failure = message;
            } else {
                for (size_t put = 0; put < c.valueBytes && failure.empty(); put += 300000) {
                    std::string value(std::min<size_t>(300000, c.valueBytes - put), 'v');
                    std::string name = "big" + std::to_string(put);
                    if (!KivPutObject(name.c_str(), "", "", "", kDate, &message) ||
                        !KivPutValue("G", "", 1, "v", value.c_str(), "", "", &message))
                        failure = message;
                }
                if (failure.empty() && !KivCommitWrite(&message))
                    failure = message;
            }
            KivDetach();
            EXPECT_NE(failure.find("the disk is full"), std::string::npos)
                << c.name << ", mode " << mode << ": " << failure;
            EXPECT_TRUE(ReadBytes(path) == kOld) << c.name << ", mode " << mode << ": the target changed";
            EXPECT_EQ(disk.Names(), std::vector<std::string>{"target.kvd"}) << c.name << ", mode " << mode;
        }
    }
    DeleteFileA(path.c_str());
}

}  // namespace

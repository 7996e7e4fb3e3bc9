// KivProcessesWindowsTest.cpp - writers and readers of one file in several Windows
// processes: this program starts copies of itself (CreateProcess), each a writer that
// updates the file, or another program that tries to change a file being read. Every
// commit that reports success is in the file and no writer gives up; a file being read
// cannot be changed, so the reader gets all of it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "KivTestSupport.h"

namespace {

constexpr int kTries = 20;          // a refused commit is tried again this often
constexpr DWORD kWatchdog = 600000;  // ms: all children end by then, or the test fails

std::string Slurp(const std::string& path)
{
    std::string content;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return content;
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        content.append(buffer, got);
    std::fclose(file);
    return content;
}

void Spit(const std::string& path, const std::string& content)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

std::string ObjectLine(const std::string& name)
{
    return "object " + name + " amy 1 W-1 \"2001-01-01 10:00\"\n";
}

// A folder of the test's own, removed with what is in it.
class Folder {
public:
    Folder()
    {
        static int count = 0;
        do {
            path_ = testing::TempDir() + "kivproc_" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(count++) + "\\";
        } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~Folder()
    {
        for (const std::string& name : Names())
            DeleteFileA((path_ + name).c_str());
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
                if (found.cFileName[0] != '.')
                    names.push_back(found.cFileName);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        return names;
    }

private:
    std::string path_;
};

// Copies of this program, each started with `arguments`; Wait ends them all and says
// whether each ended with 0 within the watchdog's time.
class Children {
public:
    void Start(const std::string& arguments)
    {
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        std::string command = std::string("\"") + exe + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            processes_.push_back(process.hProcess);
        } else {
            ++notStarted_;
        }
    }
    int Wait()
    {
        int failed = notStarted_;
        DWORD until = GetTickCount() + kWatchdog;
        for (HANDLE process : processes_) {
            DWORD left = until - GetTickCount();
            DWORD code = 1;
            if (WaitForSingleObject(process, left > kWatchdog ? 0 : left) != WAIT_OBJECT_0) {
                TerminateProcess(process, 9);  // the watchdog: a hung child fails the test
                WaitForSingleObject(process, 10000);
            }
            GetExitCodeProcess(process, &code);
            failed += code != 0;
            CloseHandle(process);
        }
        processes_.clear();
        return failed;
    }

private:
    std::vector<HANDLE> processes_;
    int notStarted_ = 0;
};

// The child "writer PATH W COMMITS RESULT": COMMITS updates that each add "W<w>-<i>";
// RESULT receives "committed refused gave-up" and the first refusal's message.
int Writer(const std::string& path, int w, int commits, const std::string& result)
{
    WriterCounts wrote = WriteDistinctObjects(path, w, commits, kTries);
    Spit(result, std::to_string(wrote.committed) + " " + std::to_string(wrote.refused) + " " +
                     std::to_string(wrote.gaveUp) + "\n" + wrote.firstRefusal);
    return 0;
}

// The child "change PATH RESULT": another program that tries to change the file while
// it is read, each way once; RESULT receives each try's outcome, one a line.
int Change(const std::string& path, const std::string& result)
{
    std::string said;
    auto open = [&](const char* what, DWORD disposition) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, disposition, 0, nullptr);
        DWORD code = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (file != INVALID_HANDLE_VALUE) {
            SetEndOfFile(file);
            DWORD written = 0;
            WriteFile(file, "KVD 1\nend\n", 10, &written, nullptr);
            CloseHandle(file);
        }
        said += std::string(what) + " " + std::to_string(code) + "\n";
    };
    open("open-to-write", OPEN_EXISTING);
    open("truncate", TRUNCATE_EXISTING);
    const std::string other = path + ".other";
    Spit(other, "KVD 1\nend\n");
    said += "move-over " + std::to_string(MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)
                                              ? 0
                                              : GetLastError()) +
            "\n";
    DeleteFileA(other.c_str());
    said += "delete " + std::to_string(DeleteFileA(path.c_str()) ? 0 : GetLastError()) + "\n";
    char* message = nullptr;
    KivAttach(&message);
    bool committed = KivBeginWrite(path.c_str(), &message, KIV_WRITE_REPLACE) &&
                     KivPutObject("Other", "", "", "", "2001-01-01 10:00", &message) && KivCommitWrite(&message);
    said += std::string("library-commit ") + (committed ? "0" : "refused") + "\n";
    KivDetach();
    Spit(result, said);
    return 0;
}

TEST(KivProcesses, FourWriterProcessesLoseNoCommit)
{
    constexpr int kWriters = 4, kCommits = 100;
    for (bool exists : {true, false}) {
        Folder folder;
        const std::string path = folder / "shared.kvd";
        if (exists)
            Spit(path, KvdFile(ObjectLine("Kept")));
        Children children;
        DWORD begin = GetTickCount();
        for (int w = 0; w < kWriters; ++w)
            children.Start("writer \"" + path + "\" " + std::to_string(w) + " " + std::to_string(kCommits) + " \"" +
                           folder / ("result" + std::to_string(w)) + "\"");
        ASSERT_EQ(children.Wait(), 0) << "every writer ends, with 0";
        DWORD took = GetTickCount() - begin;
        ReadResult read = ReadKvdFile(path);
        ASSERT_TRUE(read.opened) << read.message;
        std::set<std::string> names;
        for (const ReadObject& o : read.objects)
            names.insert(o.name);
        int committed = 0;
        for (int w = 0; w < kWriters; ++w) {
            std::string result = Slurp(folder / ("result" + std::to_string(w)));
            int done = -1, refused = -1, gaveUp = -1;
            ASSERT_EQ(std::sscanf(result.c_str(), "%d %d %d", &done, &refused, &gaveUp), 3) << result;
            EXPECT_EQ(gaveUp, 0) << "writer " << w;
            EXPECT_EQ(refused, 0) << "writer " << w << ": " << result;
            committed += done;
            for (int i = 0; i < kCommits; ++i)
                EXPECT_EQ(names.count("W" + std::to_string(w) + "-" + std::to_string(i)), 1u)
                    << "a commit of writer " << w << " is lost";
            DeleteFileA((folder / ("result" + std::to_string(w))).c_str());
        }
        EXPECT_EQ(committed, kWriters * kCommits);
        EXPECT_EQ(read.objects.size(), static_cast<size_t>(committed + (exists ? 1 : 0)));
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"shared.kvd"}) << "nothing is left beside it";
        std::printf("%s: %d commits of %d processes in %lu ms\n", exists ? "updates" : "made and updated", committed,
                    kWriters, static_cast<unsigned long>(took));
    }
}

TEST(KivProcesses, AFileBeingReadCannotBeChangedByAnotherProcess)
{
    constexpr int kObjects = 20000;
    Folder folder;
    const std::string path = folder / "big.kvd";
    std::string body;
    for (int i = 0; i < kObjects; ++i)
        body += ObjectLine("Obj" + std::to_string(i)) + "value Survey \"\" 1 MD " + std::to_string(i) + " m \"\"\n";
    Spit(path, KvdFile(body));
    char* message = nullptr;
    ASSERT_EQ(KivAttach(&message), 1);
    ASSERT_EQ(KivOpen(path.c_str(), &message, 0), 1) << message;
    char* name = nullptr;
    int delivered = 0, foreign = 0;
    for (; delivered < 5 && KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr); ++delivered)
        foreign += std::string(name) != "Obj" + std::to_string(delivered);

    Children other;
    other.Start("change \"" + path + "\" \"" + folder / "result" + "\"");
    ASSERT_EQ(other.Wait(), 0);
    while (KivGetNextObject(&name, nullptr, nullptr, nullptr, nullptr)) {
        foreign += std::string(name) != "Obj" + std::to_string(delivered);
        ++delivered;
    }
    DWORD endedWith = GetLastError();
    KivDetach();
    EXPECT_EQ(delivered, kObjects);
    EXPECT_EQ(foreign, 0);
    EXPECT_EQ(endedWith, static_cast<DWORD>(ERROR_NO_MORE_ITEMS)) << "the end of the file, not a fault";

    // Each way of the other program was refused; none reached the file.
    const std::string said = Slurp(folder / "result");
    const std::string sharing = std::to_string(ERROR_SHARING_VIOLATION), denied = std::to_string(ERROR_ACCESS_DENIED);
    for (const char* way : {"open-to-write ", "truncate ", "move-over ", "delete "}) {
        size_t at = said.find(way);
        ASSERT_NE(at, std::string::npos) << said;
        std::string code = said.substr(at + std::strlen(way), said.find('\n', at) - at - std::strlen(way));
        EXPECT_TRUE(code == sharing || code == denied) << way << "gave " << code;
    }
    EXPECT_NE(said.find("library-commit refused"), std::string::npos) << said;
    EXPECT_EQ(Slurp(path).size(), KvdFile(body).size()) << "the file is as it was";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::string(argv[1]) == "writer")
        return Writer(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (argc == 4 && std::string(argv[1]) == "change")
        return Change(argv[2], argv[3]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

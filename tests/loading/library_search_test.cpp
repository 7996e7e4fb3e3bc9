// What our DLLs load at run time, and from where: only the system's own libraries, from
// the system folder, and only when an assistive program asks for a window's object.
//
// Each scenario runs in a process of its own: a copy of this program in a folder that also
// holds our three DLLs and a planted oleacc.dll (recording_oleacc.c, which records every
// load of it), with that folder as its current folder too. So it stands for a host whose
// program folder, or whose folder of documents, holds a library of a system name. The
// program loads derar.dll as the guide says, by its full path.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "resource.h"
#include "test_fixtures.h"

using dialog_driver::Dialog;
using dialog_driver::ScriptedUser;

namespace {

const char kPlantRecord[] = "oleacc-loads.txt";

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

std::string SystemFolder()
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, MAX_PATH);
    return Lower(folder) + "\\";
}

// The path of every module of the process, lower case.
std::set<std::string> LoadedModules()
{
    std::vector<HMODULE> modules(1024);
    DWORD bytes = 0;
    EnumProcessModules(GetCurrentProcess(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                       &bytes);
    modules.resize(std::min<size_t>(bytes / sizeof(HMODULE), modules.size()));
    std::set<std::string> paths;
    for (HMODULE module : modules) {
        char path[MAX_PATH] = "";
        if (GetModuleFileNameA(module, path, MAX_PATH) > 0)
            paths.insert(Lower(path));
    }
    return paths;
}

std::string ModulePath(const char* name)
{
    char path[MAX_PATH] = "";
    HMODULE module = GetModuleHandleA(name);
    if (module != nullptr)
        GetModuleFileNameA(module, path, MAX_PATH);
    return Lower(path);
}

typedef int(__cdecl* ImpExpProc)(int, const char*, const char*, const char*, const char*, char**, int*);
typedef int(__cdecl* BrowseProc)(const char*, const char*);

// derar.dll from this program's folder, by its full path, as the guide tells hosts.
HMODULE LoadDerar()
{
    const std::string path = fixtures::ProgramFolder() + "derar.dll";
    HMODULE derar = LoadLibraryA(path.c_str());
    EXPECT_NE(derar, nullptr) << path << ": error " << GetLastError();
    return derar;
}

template <typename T>
T Export(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const char kFile[] = "KVD 1\nobject Alpha kim 1 W-17 \"2000-12-05 14:07\"\nend\n";

// An export of Alpha, which the file holds: the dialog shows it; during the dialog `during`
// runs, then the person cancels.
void ExportAndCancel(HMODULE derar, const std::function<void(Dialog&)>& during)
{
    fixtures::TempFolder documents;
    documents.Write("wells.kvd", kFile);
    auto impExp = Export<ImpExpProc>(derar, "KivImpExpDialog");
    ASSERT_NE(impExp, nullptr);
    char name[256] = "Alpha";
    char* names[] = { name };
    int count = 1;
    std::string seen;
    int result = -1;
    ScriptedUser user;
    user.When("Kiv Export", [&](Dialog& d) {
        seen = d.Text(IDC_AVAILABLE_GROUP);
        during(d);
        d.Click(IDCANCEL);
    });
    user.Run([&] { result = impExp(0, documents.Path().c_str(), "wells.kvd", "jdoe", "W-17", names, &count); });
    EXPECT_EQ(seen, "Objects Which Already Exists in the Export File");
    EXPECT_EQ(result, 0) << "cancelled";
}

// ---- The scenarios, each run by the test below in the planted folder ----

// The instrument: on this platform a library asked for by its bare name is the plant.
TEST(InPlantedFolder, DISABLED_ABareNameLoadsThePlant)
{
    HMODULE plant = LoadLibraryA("oleacc.dll");
    ASSERT_NE(plant, nullptr);
    EXPECT_EQ(ModulePath("oleacc.dll"), Lower(fixtures::ProgramFolder() + "oleacc.dll"));
}

// Both dialogs, shown and closed, with no assistive program about: no oleacc.dll (of any
// folder), and every module that came with them is ours or the system's.
TEST(InPlantedFolder, DISABLED_DialogsNobodyAskedAboutLoadNothing)
{
    const std::set<std::string> before = LoadedModules();
    HMODULE derar = LoadDerar();
    ASSERT_NE(derar, nullptr);
    ExportAndCancel(derar, [](Dialog&) {});
    fixtures::TempFolder documents;
    documents.Write("wells.kvd", kFile);
    std::string root;
    ScriptedUser user;
    user.When("Browse Kiv File", [&](Dialog& d) {
        root = d.Tree(IDC_TREE).Text(d.Tree(IDC_TREE).Root());
        d.Click(IDOK);
    });
    user.Run([&] { Export<BrowseProc>(derar, "KivBrowseDialog")(documents.Path().c_str(), "wells.kvd"); });
    EXPECT_EQ(root.rfind("Alpha - kim", 0), 0u) << root;

    EXPECT_EQ(GetModuleHandleA("oleacc.dll"), nullptr) << ModulePath("oleacc.dll");
    const std::string ours = Lower(fixtures::ProgramFolder());
    const std::set<std::string> allowed = { ours + "derar.dll", ours + "derafx.dll", ours + "kiv.dll" };
    for (const std::string& path : LoadedModules()) {
        if (before.count(path) == 0 && allowed.count(path) == 0) {
            EXPECT_EQ(FolderOf(path), SystemFolder()) << path << " came with the dialogs";
        }
    }
}

// An assistive program asks a button of the export dialog for its object: it is handed
// out, and the oleacc.dll that serves it is the system's.
TEST(InPlantedFolder, DISABLED_AnAssistiveProgramGetsTheSystemsOleacc)
{
    HMODULE derar = LoadDerar();
    ASSERT_NE(derar, nullptr);
    LRESULT handedOut = 0;
    ExportAndCancel(derar, [&](Dialog& d) {
        handedOut = SendMessageW(d.Item(IDC_ADD), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    });
    EXPECT_GT(handedOut, 0) << "the button handed out no object";
    EXPECT_EQ(ModulePath("oleacc.dll"), SystemFolder() + "oleacc.dll");
}

// A host that sets its process's search as the guide says and keeps the kit in a folder of
// its own, loaded as the guide says: what derar.dll imports comes from that folder (plain
// LoadLibrary would look for it beside the program and in the current folder, and not find
// it there), and the dialog works as ever.
TEST(InPlantedFolder, DISABLED_AKitInAFolderOfItsOwnBringsItsOwnImports)
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesProc)(DWORD);
    auto setDefault =
        Export<SetDefaultDllDirectoriesProc>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    ASSERT_NE(setDefault, nullptr);
    ASSERT_TRUE(setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    const std::string kit = fixtures::ProgramFolder() + "kit\\";
    EXPECT_EQ(LoadLibraryA((kit + "derar.dll").c_str()), nullptr) << "plain LoadLibrary found the kit's imports";
    HMODULE derar = LoadLibraryExA((kit + "derar.dll").c_str(), nullptr,
                                   LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    ASSERT_NE(derar, nullptr) << "error " << GetLastError();
    EXPECT_EQ(ModulePath("Kiv.dll"), Lower(kit + "kiv.dll"));
    EXPECT_EQ(ModulePath("derafx.dll"), Lower(kit + "derafx.dll"));
    ExportAndCancel(derar, [](Dialog&) {});
}

// ---- The test that runs them ----

const char kHost[] = "planted_host.exe";

// Under Wine a library of a system name is Wine's own unless a program is told to take the
// file it finds first, as Windows (which has no other) always does: the planted host is told,
// in the prefix's registry, for as long as this object lives. Windows ignores the key.
class PlantPreferredUnderWine {
public:
    PlantPreferredUnderWine()
    {
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, Key().c_str(), &key) == ERROR_SUCCESS) {
            const char order[] = "native,builtin";
            RegSetValueExA(key, "oleacc", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
            RegCloseKey(key);
        }
    }
    ~PlantPreferredUnderWine()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, Key().c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, Key().substr(0, Key().rfind('\\')).c_str());
    }

private:
    static std::string Key() { return std::string("Software\\Wine\\AppDefaults\\") + kHost + "\\DllOverrides"; }
};

struct Scenario {
    const char* test;  // of InPlantedFolder, without DISABLED_
    const char* kit;   // the folder of our DLLs below the program's
    bool plantLoaded;  // whether the planted library records a load
};

const Scenario kScenarios[] = {
    { "ABareNameLoadsThePlant", "", true },
    { "DialogsNobodyAskedAboutLoadNothing", "", false },
    { "AnAssistiveProgramGetsTheSystemsOleacc", "", false },
    { "AKitInAFolderOfItsOwnBringsItsOwnImports", "kit\\", false },
};

class PlantedFolder : public ::testing::TestWithParam<Scenario> {};

TEST_P(PlantedFolder, Runs)
{
    const Scenario& s = GetParam();
    fixtures::TempFolder folder;
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string program = folder.CopyIn(self, kHost);
    if (*s.kit != '\0')
        folder.MakeFolder(s.kit);
    for (const char* dll : { "derar.dll", "derafx.dll", "Kiv.dll" })
        folder.CopyIn(fixtures::ProgramFolder() + dll, std::string(s.kit) + dll);
    folder.CopyIn(DERAR_PLANTED_OLEACC, "oleacc.dll");

    const std::string output = folder.File("output.txt");
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, nullptr, TRUE };
    HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string command = "\"" + program +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=InPlantedFolder.DISABLED_" + s.test +
                          " --gtest_output=xml:" + folder.File("report.xml");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PlantPreferredUnderWine preferred;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.Path().c_str(),
                                        &startup, &process);
    CloseHandle(file);
    ASSERT_TRUE(started) << command << ": error " << GetLastError();
    const DWORD waited = WaitForSingleObject(process.hProcess, 120000 * dialog_driver::TimeScale());
    if (waited == WAIT_TIMEOUT)
        TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const std::string seen = fixtures::ReadFile(output);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << s.test << ": did not end";
    EXPECT_EQ(exitCode, 0u) << s.test << ":\n" << seen;
    EXPECT_NE(seen.find("[  PASSED  ] 1 test."), std::string::npos) << s.test << ":\n" << seen;
    const std::string recordFile = folder.File(kPlantRecord);
    const std::string record = fixtures::FileExists(recordFile) ? fixtures::ReadFile(recordFile) : "";
    if (s.plantLoaded) {
        EXPECT_NE(Lower(record).find(Lower(folder.File("oleacc.dll"))), std::string::npos) << s.test << ": " << record;
    } else {
        EXPECT_EQ(record, "") << s.test << ": the planted oleacc.dll was loaded";
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PlantedFolder, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.test); });

}  // namespace

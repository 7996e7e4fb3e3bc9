// Hosts that load one of our DLLs for each use and free it again, without end: the
// process lives, and its thread-local storage slots, heap and modules stay where the
// first load left them (each DLL stays loaded once loaded: the guide's "Deployment").
//
//   loading_cycles_tests [--cycles=N] [--call-every=M] [gtest options]
//
// N cycles per DLL, 2,000 unless told: each loads the DLL, looks up a call and frees it,
// and every Mth (20th unless told, and the first) also makes its calls. Before each DLL
// kept its module, a 32-bit host died of the toolchain's runtime after about 360 cycles
// of derar.dll (a thread-local storage slot per load of each of the three DLLs, of the
// process's 1,088) and a 64-bit one after about 550 (two of the three). This program
// imports none of our DLLs, so every cycle loads them as a host does, by their full path.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "process_counters.h"
#include "test_fixtures.h"

namespace {

int g_cycles = 2000;
int g_callEvery = 20;

// How far the heaps may end from where the first cycle left them, for any number of
// cycles: the platform's caches settle in the first few.
const long long kHeapAllowance = 16 * 1024;

// The free thread-local storage slots of the process: taken one by one until there is
// none, then given back.
int FreeTlsSlots()
{
    std::vector<DWORD> taken;
    for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;)
        taken.push_back(slot);
    for (DWORD slot : taken)
        TlsFree(slot);
    return static_cast<int>(taken.size());
}

// The instrument first: slots taken on purpose must show, or the cycles would pass blind.
TEST(FreeTlsSlots, SeeSlotsThatAreKept)
{
    const int before = FreeTlsSlots();
    DWORD kept[3];
    for (DWORD& slot : kept)
        slot = TlsAlloc();
    EXPECT_EQ(FreeTlsSlots(), before - 3);
    for (DWORD slot : kept)
        TlsFree(slot);
    EXPECT_EQ(FreeTlsSlots(), before);
    EXPECT_GT(before, 1000) << "a process has 1,088 slots, and this one uses few";
}

typedef int(__stdcall* KivTextProc)(char**);
typedef int(__stdcall* KivOpenProc)(const char*, char**, int);
typedef int(__stdcall* KivNextObjectProc)(char**, char**, char**, char**, char**);
typedef void(__stdcall* KivVoidProc)();
typedef int(__cdecl* ImpExpProc)(int, const char*, const char*, const char*, const char*, char**, int*);

template <typename T>
T Call(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// What a cycle that calls does between LoadLibrary and FreeLibrary; an empty text when
// it went as a host expects, else what went wrong.
typedef std::string (*Use)(HMODULE module, const fixtures::TempFolder& folder);

// A reading of one object and a write abandoned, in a session of its own.
std::string ReadAndAbandonAWrite(HMODULE kiv, const fixtures::TempFolder& folder)
{
    auto attach = Call<KivTextProc>(kiv, "KivAttach");
    auto open = Call<KivOpenProc>(kiv, "KivOpen");
    auto next = Call<KivNextObjectProc>(kiv, "KivGetNextObject");
    auto beginWrite = Call<KivOpenProc>(kiv, "KivBeginWrite");
    auto abandon = Call<KivVoidProc>(kiv, "KivAbandonWrite");
    auto detach = Call<KivVoidProc>(kiv, "KivDetach");
    if (!attach || !open || !next || !beginWrite || !abandon || !detach)
        return "a call of Kiv.dll is missing";
    char* message = nullptr;
    if (!attach(&message))
        return std::string("KivAttach: ") + message;
    std::string failure;
    char *name = nullptr, *author = nullptr, *version = nullptr, *wellId = nullptr, *date = nullptr;
    const std::string path = folder.File("cycle.kvd");
    if (!open(path.c_str(), &message, 0))
        failure = std::string("KivOpen: ") + message;
    else if (!next(&name, &author, &version, &wellId, &date) || strcmp(name, "Alpha") != 0)
        failure = "the first object is not Alpha";
    else if (!beginWrite(folder.File("written.kvd").c_str(), &message, 2))
        failure = std::string("KivBeginWrite: ") + message;
    abandon();
    detach();
    return failure;
}

// The export of two candidates to a file that does not exist: both are new, so the
// dialog ends before it shows, with 1 and no names.
std::string ExportToAFileThatDoesNotExist(HMODULE derar, const fixtures::TempFolder& folder)
{
    auto impExp = Call<ImpExpProc>(derar, "KivImpExpDialog");
    if (!impExp)
        return "no KivImpExpDialog";
    char first[256] = "Alpha", second[256] = "Beta";
    char* names[] = { first, second };
    int count = 2;
    const int result = impExp(0, folder.Path().c_str(), "absent.kvd", "jdoe", "W-17", names, &count);
    if (result != 1 || count != 0)
        return "KivImpExpDialog gave " + std::to_string(result) + " and " + std::to_string(count) + " names";
    return "";
}

std::string Nothing(HMODULE, const fixtures::TempFolder&) { return ""; }

struct DllCase {
    const char* dll;
    const char* lookedUp;  // the export that every cycle looks up
    const char* use;       // what a cycle that calls does with it
    Use run;
};

const DllCase kDlls[] = {
    { "Kiv.dll", "KivAttach", "a reading and an abandoned write", ReadAndAbandonAWrite },
    { "derafx.dll", nullptr, "no call (its exports are the class layer's C++ names)", Nothing },
    { "derar.dll", "KivImpExpDialog", "an export that ends before it shows", ExportToAFileThatDoesNotExist },
};

class LoadCallFree : public ::testing::TestWithParam<DllCase> {};

TEST_P(LoadCallFree, KeepsNothingPerCycle)
{
    const DllCase& c = GetParam();
    fixtures::TempFolder folder;
    folder.Write("cycle.kvd", "KVD 1\nobject Alpha jdoe 1 W-17 \"2000-12-05 14:07\"\nend\n");
    const std::string path = fixtures::ProgramFolder() + c.dll;

    HMODULE first = nullptr;
    auto Cycle = [&](int cycle) {
        HMODULE module = LoadLibraryA(path.c_str());
        if (module == nullptr) {
            ADD_FAILURE() << c.dll << ", cycle " << cycle << ": LoadLibrary failed, error " << GetLastError();
            return;
        }
        if (first == nullptr)
            first = module;
        if (c.lookedUp != nullptr) {
            EXPECT_TRUE(GetProcAddress(module, c.lookedUp) != nullptr) << c.dll << ", cycle " << cycle;
        }
        if (cycle % g_callEvery == 0) {
            EXPECT_EQ(c.run(module, folder), "") << c.dll << ", cycle " << cycle;
        }
        EXPECT_TRUE(FreeLibrary(module)) << c.dll << ", cycle " << cycle;
        EXPECT_EQ(GetModuleHandleA(path.c_str()), first)
            << c.dll << ", cycle " << cycle << ": the DLL stays loaded once loaded, at the same address";
    };

    Cycle(0);  // what a first load takes is the DLL's to keep
    const int slotsBefore = FreeTlsSlots();
    const ProcessCounters before = ProcessCounters::Take();
    const DWORD start = GetTickCount();
    for (int cycle = 1; cycle <= g_cycles && !HasFailure(); ++cycle)
        Cycle(cycle);
    const DWORD elapsed = GetTickCount() - start;
    const ProcessCounters after = ProcessCounters::Take();
    const int slotsAfter = FreeTlsSlots();

    printf(
        "  %s: %d cycles in %lu ms, 1 in %d with %s\n    free TLS slots %d, then %d\n    before: %s\n    after:  %s\n",
        c.dll, g_cycles, static_cast<unsigned long>(elapsed), g_callEvery, c.use, slotsBefore, slotsAfter,
        before.Describe().c_str(), after.Describe().c_str());
    fflush(stdout);
    EXPECT_EQ(slotsAfter, slotsBefore) << c.dll << ": thread-local storage slots kept";
    EXPECT_LE(static_cast<long long>(after.crtHeapInUse) - static_cast<long long>(before.crtHeapInUse), kHeapAllowance)
        << c.dll << ": C runtime heap";
    EXPECT_LE(static_cast<long long>(after.processHeapsInUse) - static_cast<long long>(before.processHeapsInUse),
              kHeapAllowance)
        << c.dll << ": heaps of the process";
    EXPECT_EQ(after.threadWindows, before.threadWindows) << c.dll << ": top-level windows of the thread";
}

INSTANTIATE_TEST_SUITE_P(OurDlls, LoadCallFree, ::testing::ValuesIn(kDlls),
                         [](const ::testing::TestParamInfo<DllCase>& info) {
                             std::string name = info.param.dll;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--cycles=", 9) == 0)
            g_cycles = std::max(1, atoi(argv[i] + 9));
        else if (strncmp(argv[i], "--call-every=", 13) == 0)
            g_callEvery = std::max(1, atoi(argv[i] + 13));
    }
    return RUN_ALL_TESTS();
}

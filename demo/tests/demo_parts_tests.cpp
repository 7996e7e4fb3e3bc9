// demo_parts_tests.cpp - the demo's own parts, one case a row: the sample listing, the
// path joining, reading list cells of any length, and the tour driver's watchdog (a tour
// that waits for a window that never comes must fail and close what is open, not hang).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sample_files.h"
#include "tour_driver.h"

namespace {

int g_failures = 0;

void Expect(bool ok, const std::string& what)
{
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++g_failures;
    }
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return "[" + text + "]";
}

std::string MakeTempFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = WithSeparator(temp) + "derardemo-parts-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void CreateEmptyFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

// Only real .kvd files, in byte order: the platform's "*.kvd" also matches long names
// whose short name ends in .KVD, and folders.
void TestSampleListing()
{
    const std::string folder = MakeTempFolder();
    const char* const files[] = {"a.kvd", "B.KVD", "three.kvdx", "notes.txt", "z.kvd", "kvd"};
    for (const char* file : files) CreateEmptyFile(folder + file);
    CreateDirectoryA((folder + "folder.kvd").c_str(), nullptr);

    const std::vector<std::string> expected = {"B.KVD", "a.kvd", "z.kvd"};
    const std::vector<std::string> listed = ListExchangeFiles(folder);
    Expect(listed == expected, "listing: got " + Joined(listed) + ", expected " + Joined(expected));
    Expect(ListExchangeFiles(folder + "missing\\").empty(), "listing: a missing folder lists nothing");
    Expect(ListExchangeFiles(folder.substr(0, folder.size() - 1)) == expected,
           "listing: a folder without its separator lists the same");

    for (const char* file : files) DeleteFileA((folder + file).c_str());
    RemoveDirectoryA((folder + "folder.kvd").c_str());
    RemoveDirectoryA(folder.c_str());
}

void TestWithSeparator()
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""}, {"C:\\data", "C:\\data\\"}, {"C:\\data\\", "C:\\data\\"}, {"C:/data/", "C:/data/"}, {"C:", "C:\\"},
    };
    for (const auto& c : cases)
        Expect(WithSeparator(c.in) == c.out, std::string("separator: \"") + c.in + "\" gave \"" +
                                                 WithSeparator(c.in) + "\", expected \"" + c.out + "\"");
}

// The list copies at most its buffer: a long cell must still come back whole.
void TestListCells()
{
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    const std::string texts[] = {"", "Deviation survey", std::string(255, 'x'), std::string(256, 'y'),
                                 std::string(1000, 'z')};
    int row = 0;
    for (const std::string& text : texts) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row++;
        item.pszText = const_cast<char*>(text.c_str());
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    row = 0;
    for (const std::string& text : texts) {
        const std::string read = tour::ListCell(list, row, 0);
        Expect(read == text, "list cell of " + std::to_string(text.size()) + " characters came back with " +
                                 std::to_string(read.size()));
        ++row;
    }
    Expect(tour::FindListRow(list, "Deviation survey") == 1, "list: the row of a name");
    Expect(tour::FindListRow(list, "deviation survey") == -1, "list: names differ in letter case");
    DestroyWindow(list);
}

// A step that never comes true fails after the step timeout and cancels the message box
// that the host call is waiting in, so the call returns.
void TestStepTimeout()
{
    tour::TourScript script(1000);
    script.Then("a window that never comes", [] { return tour::FindDialog("No such dialog") != nullptr; });
    int answer = 0;
    const DWORD started = GetTickCount();
    const bool ok = script.Run([&] { answer = MessageBoxA(nullptr, "Waiting", "Parts test", MB_OKCANCEL); });
    const DWORD took = GetTickCount() - started;
    Expect(!ok, "timeout: the script reports the failure");
    Expect(script.Failures().size() == 1 && script.Failures()[0].find("a window that never comes") != std::string::npos,
           "timeout: the failure names the step");
    Expect(answer == IDCANCEL, "timeout: the message box was cancelled (answer " + std::to_string(answer) + ")");
    Expect(took < 10000, "timeout: it took " + std::to_string(took) + " ms");
}

// Steps run in order, each inside the modal loop that is open when it is due.
void TestStepsInOrder()
{
    tour::TourScript script(5000);
    std::vector<std::string> seen;
    for (const char* caption : {"First", "Second"})
        script.Then(caption, [&seen, caption] {
            HWND box = tour::FindDialog(caption);
            if (!box) return false;
            seen.push_back(tour::MessageBoxText(box));
            return tour::Click(box, IDOK);
        });
    const bool ok = script.Run([] {
        MessageBoxA(nullptr, "one", "First", MB_OK);
        MessageBoxA(nullptr, "two", "Second", MB_OK);
    });
    Expect(ok && seen == std::vector<std::string>({"one", "two"}), "order: saw " + Joined(seen));
}

} // namespace

int main()
{
    InitCommonControls();
    tour::ArmWatchdog(60000);
    TestSampleListing();
    TestWithSeparator();
    TestListCells();
    TestStepTimeout();
    TestStepsInOrder();
    tour::DisarmWatchdog();
    std::printf(g_failures == 0 ? "all passed\n" : "%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}

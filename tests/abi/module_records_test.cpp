// The records that cross a module boundary, laid out as the other side lays them out.
//
// The platform's records (a notification, a help request, a list view row, the
// open-file dialog's block, ...) go between our modules and user32, comctl32 and
// comdlg32: their sizes and offsets must be Microsoft's for the architecture, also
// after our public headers were included first (a packing pragma left open in one
// of them would move every field of a host's records). The class layer's records are
// written by derafx.dll and read by the module that includes its headers, and the
// other way round: each is checked by writing it on one side and reading it on the other.
#include <afxwin.h>
#include <derar.h>
#include <kivapi.h>

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "test_fixtures.h"

namespace {

constexpr bool k32 = sizeof(void*) == 4;

struct Layout {
    const char* what;
    size_t actual;
    size_t i686;
    size_t x86_64;
};

#define SIZE(T, a, b) Layout{ "sizeof(" #T ")", sizeof(T), a, b }
#define AT(T, f, a, b) Layout{ #T "::" #f, offsetof(T, f), a, b }

TEST(ModuleRecords, ThePlatformsRecordsHaveMicrosoftsLayout)
{
    const Layout layouts[] = {
        // WM_NOTIFY from the list and tree views.
        SIZE(NMHDR, 12, 24), AT(NMHDR, code, 8, 16),
        SIZE(NMTREEVIEWA, 104, 152), AT(NMTREEVIEWA, itemNew, 56, 88),
        // WM_HELP (F1) and WM_COPYDATA (the help request WinHelp sends).
        SIZE(HELPINFO, 28, 40), AT(HELPINFO, hItemHandle, 12, 16), AT(HELPINFO, dwContextId, 16, 24),
        AT(HELPINFO, MousePos, 20, 32),
        SIZE(COPYDATASTRUCT, 12, 24), AT(COPYDATASTRUCT, cbData, 4, 8), AT(COPYDATASTRUCT, lpData, 8, 16),
        // WM_DRAWITEM of the owner-drawn bitmap buttons.
        SIZE(DRAWITEMSTRUCT, 48, 64), AT(DRAWITEMSTRUCT, hwndItem, 20, 24), AT(DRAWITEMSTRUCT, rcItem, 28, 40),
        AT(DRAWITEMSTRUCT, itemData, 44, 56),
        // Rows, columns and items sent to the list and tree views.
        SIZE(LVITEMA, 60, 88), AT(LVITEMA, pszText, 20, 24), AT(LVITEMA, lParam, 32, 40),
        SIZE(LVCOLUMNA, 44, 56), AT(LVCOLUMNA, pszText, 12, 16), AT(LVCOLUMNA, iSubItem, 20, 28),
        SIZE(TVITEMA, 40, 56), AT(TVITEMA, pszText, 16, 24), AT(TVITEMA, lParam, 36, 48),
        SIZE(TVINSERTSTRUCTA, 64, 96), AT(TVINSERTSTRUCTA, item, 8, 16),
        // The open-file dialog's block.
        SIZE(OPENFILENAMEA, 88, 152), AT(OPENFILENAMEA, lpstrFile, 28, 48), AT(OPENFILENAMEA, Flags, 52, 96),
        SIZE(MSG, 28, 48), AT(MSG, pt, 20, 36),
        // The class layer's file status, filled by derafx.dll for any module.
        SIZE(CFileStatus, 272, 272), AT(CFileStatus, m_attribute, 8, 8), AT(CFileStatus, m_szFullName, 10, 10),
    };
    for (const Layout& layout : layouts)
        EXPECT_EQ(layout.actual, k32 ? layout.i686 : layout.x86_64) << layout.what;
}

// Each case writes a record of the class layer on one side of the boundary and reads
// it on the other.
TEST(ModuleRecords, TheClassLayersRecordsReadAsTheyWereWritten)
{
    AFX_MODULE_STATE* state = AfxGetModuleState();
    ASSERT_NE(state, nullptr);
    const HINSTANCE saved = state->m_hCurrentResourceHandle;
    HINSTANCE kernel = GetModuleHandleA("kernel32.dll");

    state->m_hCurrentResourceHandle = kernel;  // written here, read by derafx.dll
    EXPECT_EQ(AfxGetResourceHandle(), kernel) << "the resource handle written by the host";
    AfxSetResourceHandle(saved);  // written by derafx.dll, read here
    EXPECT_EQ(state->m_hCurrentResourceHandle, saved) << "the resource handle written by the class layer";
    EXPECT_EQ(state->m_hCurrentInstanceHandle, GetModuleHandleA(nullptr));
    EXPECT_EQ(std::string(state->m_lpszCurrentAppName), "abi_tests");

    AFX_EXTENSION_MODULE extension = {};
    ASSERT_TRUE(AfxInitExtensionModule(extension, kernel));
    EXPECT_TRUE(extension.bInitialized);
    EXPECT_EQ(extension.hModule, kernel);
    CDynLinkLibrary* library = new CDynLinkLibrary(extension);
    EXPECT_EQ(library->m_hModule, kernel);
    EXPECT_EQ(state->m_pFirstDLL, library) << "the chain that derafx.dll keeps starts with the new module";
    AfxTermExtensionModule(extension);  // deletes the library object
    EXPECT_NE(state->m_pFirstDLL, library);

    fixtures::TempFolder folder;
    const std::string path = folder.Write("status.bin", std::string(70000, 'x'));
    CFileStatus status;
    std::memset(&status, 0xCD, sizeof status);
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_EQ(status.m_size, 70000u);
    EXPECT_EQ(status.m_attribute & FILE_ATTRIBUTE_DIRECTORY, 0);
    EXPECT_EQ(std::string(status.m_szFullName), path);

    // A text built by derafx.dll and read here, and the other way round.
    CString built = CString("well ") + "W-17";
    EXPECT_EQ(built.GetLength(), 9);
    EXPECT_EQ(std::string(static_cast<LPCSTR>(built)), "well W-17");
    EXPECT_TRUE(built == "well W-17");
}

}  // namespace

// Real modal dialogs: message maps, the modal run, the resource rule, owners, centring,
// window wrappers and bitmap buttons. Each run is played by the scripted user (polled
// steps) with its watchdog.
#include "test_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <malloc.h>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <dialog_driver.h>

BEGIN_MESSAGE_MAP(CTestDialog, CDialog)
    ON_BN_CLICKED(IDC_CLICK, OnClick)
    ON_BN_CLICKED(IDC_THROW, OnThrow)
    ON_NOTIFY(NM_DBLCLK, IDC_LIST, OnDblclkList)
    ON_CBN_SELCHANGE(IDC_COMBO, OnSelchangeCombo)
    ON_WM_HELPINFO()
    ON_MESSAGE(WM_APP + 1, OnAppMessage)
END_MESSAGE_MAP()

void CTestDialog::OnThrow() { throw std::runtime_error("a handler that fails"); }

namespace {

// A dialog whose own map takes IDC_CLICK and leaves everything else to CTestDialog's map.
class CDerivedDialog : public CTestDialog
{
public:
    int m_nDerivedClicks = 0;

protected:
    afx_msg void OnClickDerived() { ++m_nDerivedClicks; }
    DECLARE_MESSAGE_MAP()
};

}  // namespace

BEGIN_MESSAGE_MAP(CDerivedDialog, CTestDialog)
    ON_BN_CLICKED(IDC_CLICK, OnClickDerived)
END_MESSAGE_MAP()

using dialog_driver::ScriptedUser;

namespace {

bool Visible(const CWnd& dlg) { return dlg.m_hWnd != NULL && IsWindowVisible(dlg.m_hWnd); }

void Click(HWND hDlg, int nID) { SendMessageA(GetDlgItem(hDlg, nID), BM_CLICK, 0, 0); }

// Runs dlg modally under the scripted user's watchdog alone: for a dialog that ends
// in its initialisation.
template <typename TDialog>
int RunWatched(TDialog& dlg)
{
    ScriptedUser user;
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    return nResult;
}

// Runs dlg modally; once it shows, each action in turn, one a tick, as a person acts.
// The scripted user's watchdog fails the test and ends the run when it never shows.
template <typename TDialog>
int RunShown(TDialog& dlg, const std::vector<std::function<void()>>& actions)
{
    ScriptedUser user;
    user.Until("the dialog shown", [&] { return Visible(dlg); });
    for (const std::function<void()>& action : actions)
        user.Until("its turn", [action] {
            action();
            return true;
        });
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    return nResult;
}

LRESULT SendNotify(HWND hDlg, int nID, UINT nCode)
{
    NMHDR hdr = {};
    hdr.hwndFrom = GetDlgItem(hDlg, nID);
    hdr.idFrom = (UINT_PTR)nID;
    hdr.code = nCode;
    return SendMessageA(hDlg, WM_NOTIFY, (WPARAM)nID, (LPARAM)&hdr);
}

TEST(MessageMap, EveryEntryKindReachesItsHandler)
{
    CTestDialog dlg;
    LRESULT nDblclkResult = -1, nClickResult = -1, nHelpResult = -1, nAppResult = -1, nOtherAppResult = -1;
    int nResult = RunShown(dlg, {
        [&] {
            Click(dlg.m_hWnd, IDC_CLICK);
            Click(dlg.m_hWnd, IDC_CLICK);
            nDblclkResult = SendNotify(dlg.m_hWnd, IDC_LIST, NM_DBLCLK);
            nClickResult = SendNotify(dlg.m_hWnd, IDC_LIST, NM_CLICK);   // not in the map
            HELPINFO hi = {};
            hi.cbSize = sizeof(hi);
            hi.iContextType = HELPINFO_WINDOW;
            nHelpResult = SendMessageA(dlg.m_hWnd, WM_HELP, 0, (LPARAM)&hi);
            nAppResult = SendMessageA(dlg.m_hWnd, WM_APP + 1, 2, 3);
            nOtherAppResult = SendMessageA(dlg.m_hWnd, WM_APP + 2, 2, 3);  // not in the map
            HWND hCombo = GetDlgItem(dlg.m_hWnd, IDC_COMBO);
            SendMessageA(hCombo, CB_ADDSTRING, 0, (LPARAM) "alpha");
            SendMessageA(hCombo, CB_ADDSTRING, 0, (LPARAM) "beta");
            SendMessageA(hCombo, CB_SETCURSEL, 1, 0);
            SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_COMBO, CBN_SELCHANGE), (LPARAM)hCombo);
            Click(dlg.m_hWnd, IDOK);
        },
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(dlg.m_nClicks, 2);
    EXPECT_EQ(dlg.m_nNotifyFrom, (UINT_PTR)IDC_LIST);
    EXPECT_EQ(nDblclkResult, 5) << "the handler's *pResult is the message result";
    EXPECT_EQ(nClickResult, 0);
    EXPECT_EQ(nHelpResult, TRUE);
    EXPECT_EQ(dlg.m_nHelp, 1);
    EXPECT_EQ(nAppResult, 32) << "ON_MESSAGE: the handler's result is the message result";
    EXPECT_EQ(nOtherAppResult, 0);
    EXPECT_EQ(std::string(dlg.m_strSelected), "beta");
    EXPECT_EQ(dlg.m_nOK, 1) << "IDOK without an entry of its own calls the virtual OnOK";
    EXPECT_EQ(dlg.m_hWnd, (HWND)NULL) << "detached when the window died";
    EXPECT_EQ(CWnd::FromHandlePermanent(dlg.m_hWndDuringRun), (CWnd*)NULL);
}

TEST(MessageMap, EveryWayOfCancellingCallsOnCancel)
{
    struct Case
    {
        const char* name;
        std::function<void(HWND)> act;
    } cases[] = {
        { "Cancel button", [](HWND h) { Click(h, IDCANCEL); } },
        { "close box", [](HWND h) { PostMessageA(h, WM_CLOSE, 0, 0); } },
        { "Escape key", [](HWND h) { PostMessageA(GetDlgItem(h, IDC_CLICK), WM_KEYDOWN, VK_ESCAPE, 0); } },
    };
    for (const Case& c : cases)
    {
        CTestDialog dlg;
        int nResult = RunShown(dlg, { [&] { c.act(dlg.m_hWnd); } });
        EXPECT_EQ(nResult, IDCANCEL) << c.name;
        EXPECT_EQ(dlg.m_nCancel, 1) << c.name;
    }
}

TEST(MessageMap, DerivedMapFallsBackToTheBaseMap)
{
    CDerivedDialog dlg;
    int nResult = RunShown(dlg, {
        [&] {
            Click(dlg.m_hWnd, IDC_CLICK);
            HELPINFO hi = {};
            hi.cbSize = sizeof(hi);
            SendMessageA(dlg.m_hWnd, WM_HELP, 0, (LPARAM)&hi);
            Click(dlg.m_hWnd, IDOK);
        },
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(dlg.m_nDerivedClicks, 1);
    EXPECT_EQ(dlg.m_nClicks, 0) << "the derived entry hides the base entry";
    EXPECT_EQ(dlg.m_nHelp, 1) << "WM_HELP found in the base map";
    EXPECT_EQ(dlg.m_nOK, 1);
}

// Records every window that is about to be shown on this thread.
class ShowRecorder
{
public:
    ShowRecorder() { s_pCurrent = this, m_hHook = SetWindowsHookExA(WH_CALLWNDPROC, &Hook, NULL, GetCurrentThreadId()); }
    ~ShowRecorder() { UnhookWindowsHookEx(m_hHook), s_pCurrent = nullptr; }
    bool WasShown(HWND hWnd) const { return m_shown.count(hWnd) != 0; }

private:
    static LRESULT CALLBACK Hook(int nCode, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT* p = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (nCode == HC_ACTION && s_pCurrent != nullptr &&
            ((p->message == WM_SHOWWINDOW && p->wParam) ||
             (p->message == WM_WINDOWPOSCHANGING && (reinterpret_cast<WINDOWPOS*>(p->lParam)->flags & SWP_SHOWWINDOW))))
            s_pCurrent->m_shown.insert(p->hwnd);
        return CallNextHookEx(NULL, nCode, wParam, lParam);
    }
    HHOOK m_hHook;
    std::set<HWND> m_shown;
    static ShowRecorder* s_pCurrent;
};
ShowRecorder* ShowRecorder::s_pCurrent = nullptr;

TEST(ModalRun, EndDialogDuringInitialisationEndsTheRunUnseen)
{
    struct Case
    {
        const char* name;
        int nEndWith;
        BOOL bReturn;
    } cases[] = {
        { "ended with a code of its own", 42, TRUE },
        { "ended with IDOK", IDOK, TRUE },
        { "ended with IDCANCEL, returning FALSE", IDCANCEL, FALSE },
        { "ended with 0", 0, TRUE },
    };
    for (const Case& c : cases)
    {
        ShowRecorder shows;
        CTestDialog dlg;
        dlg.m_init = [&](CTestDialog& d) {
            d.EndDialog(c.nEndWith);
            return c.bReturn;
        };
        int nResult = RunWatched(dlg);
        EXPECT_EQ(nResult, c.nEndWith) << c.name;
        ASSERT_NE(dlg.m_hWndDuringRun, (HWND)NULL) << c.name;
        EXPECT_FALSE(shows.WasShown(dlg.m_hWndDuringRun)) << c.name;
    }
}

TEST(ModalRun, AHandlerThatThrowsLeavesTheDialogWorking)
{
    CTestDialog dlg;
    int nResult = RunShown(dlg, {
        [&] {
            Click(dlg.m_hWnd, IDC_THROW);
            Click(dlg.m_hWnd, IDC_CLICK);
        },
        [&] {
            Click(dlg.m_hWnd, IDOK);
        },
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(dlg.m_nClicks, 1);
}

TEST(ModalRun, AnInitialisationThatThrowsFailsTheRunUnseen)
{
    ShowRecorder shows;
    CTestDialog dlg;
    dlg.m_init = [](CTestDialog&) -> BOOL { throw std::runtime_error("initialisation fails"); };
    int nResult = RunWatched(dlg);
    EXPECT_EQ(nResult, -1);
    EXPECT_FALSE(shows.WasShown(dlg.m_hWndDuringRun));
    EXPECT_EQ(dlg.m_hWnd, (HWND)NULL);
}

// The resource DLL of these tests, loaded once.
HMODULE ResourceDll()
{
    static HMODULE hDll = LoadLibraryA("afx_test_resources.dll");
    return hDll;
}

// Runs template nID and returns DoModal's result and the caption the dialog showed;
// bShown: the template is found, so the dialog shows and is ended with OK.
std::pair<int, std::string> RunTemplate(UINT nID, bool bShown = true)
{
    CDialog dlg(nID);
    std::string caption;
    ScriptedUser user;
    if (bShown)
        user.Until("the dialog shown", [&] {
            if (!Visible(dlg))
                return false;
            caption = dialog_driver::Dialog(dlg.m_hWnd).Caption();
            Click(dlg.m_hWnd, IDOK);
            return true;
        });
    int nResult = 0;
    user.Run([&] { nResult = dlg.DoModal(); });
    EXPECT_FALSE(user.TimedOut()) << "template " << nID;
    return { nResult, caption };
}

TEST(ResourceRule, TemplatesComeFromTheCurrentResourceHandle)
{
    ASSERT_NE(ResourceDll(), (HMODULE)NULL);
    HINSTANCE hExe = GetModuleHandleA(NULL);
    ASSERT_EQ(AfxGetResourceHandle(), hExe) << "the executable is the default";
    ASSERT_EQ(AfxGetInstanceHandle(), hExe);
    struct Case
    {
        const char* name;
        HINSTANCE hResource;
        UINT nID;
        int nResult;
        const char* caption;
    } cases[] = {
        { "the program's template", hExe, IDD_AFXTEST, IDOK, TEST_CAPTION_EXE },
        { "the same id from the DLL", ResourceDll(), IDD_AFXTEST, IDOK, TEST_CAPTION_DLL },
        { "back to the program", hExe, IDD_AFXTEST, IDOK, TEST_CAPTION_EXE },
        { "missing everywhere", hExe, IDD_MISSING, -1, "" },
        { "only in a DLL that is not chained", hExe, IDD_ONLY_IN_DLL, -1, "" },
    };
    for (const Case& c : cases)
    {
        AfxSetResourceHandle(c.hResource);
        EXPECT_EQ(AfxGetModuleState()->m_hCurrentResourceHandle, c.hResource) << c.name;
        std::pair<int, std::string> run = RunTemplate(c.nID, c.nResult != -1);
        EXPECT_EQ(run.first, c.nResult) << c.name;
        EXPECT_EQ(run.second, c.caption) << c.name;
    }
    AfxSetResourceHandle(hExe);
}

TEST(ResourceRule, ExtensionModulesAreSearchedAfterTheCurrentHandle)
{
    ASSERT_NE(ResourceDll(), (HMODULE)NULL);
    static AFX_EXTENSION_MODULE extension = {};
    EXPECT_FALSE(AfxInitExtensionModule(extension, NULL));
    ASSERT_TRUE(AfxInitExtensionModule(extension, ResourceDll()));
    CDynLinkLibrary* pLibrary = new CDynLinkLibrary(extension);

    EXPECT_EQ(RunTemplate(IDD_ONLY_IN_DLL), std::make_pair(IDOK, std::string("Only In DLL")));
    EXPECT_EQ(RunTemplate(IDD_AFXTEST), std::make_pair(IDOK, std::string(TEST_CAPTION_EXE)))
        << "the current resource handle comes first";
    CBitmap bitmap;
    EXPECT_TRUE(bitmap.LoadBitmap("TESTU")) << "the program's own bitmaps still load";

    delete pLibrary;
    EXPECT_EQ(RunTemplate(IDD_ONLY_IN_DLL, false).first, -1) << "no longer chained";
    EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleA(NULL));
}

// A visible top-level window standing in for the host's main window.
class HostWindow
{
public:
    HostWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "AfxTestHost";
        RegisterClassA(&wc);
        m_hWnd = CreateWindowA("AfxTestHost", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 800, 600, NULL,
                               NULL, wc.hInstance, NULL);
        m_hChild = CreateWindowA("BUTTON", "child", WS_CHILD | WS_VISIBLE, 10, 10, 80, 20, m_hWnd, NULL, wc.hInstance,
                                 NULL);
        SetActiveWindow(m_hWnd);
    }
    ~HostWindow() { DestroyWindow(m_hWnd); }
    HWND m_hWnd, m_hChild;
};

TEST(ModalRun, OwnerIsTheTopLevelWindowOfParentOrActiveWindow)
{
    HostWindow host;
    ASSERT_EQ(GetActiveWindow(), host.m_hWnd);
    struct Case
    {
        const char* name;
        HWND hParent;
    } cases[] = {
        { "no parent: the active window", NULL },
        { "a top-level parent", host.m_hWnd },
        { "a child window as parent: its top-level window", host.m_hChild },
    };
    for (const Case& c : cases)
    {
        CTestDialog dlg(IDD_AFXTEST, CWnd::FromHandle(c.hParent));
        dlg.m_init = [](CTestDialog& d) {
            d.EndDialog(IDOK);
            return TRUE;
        };
        int nResult = RunWatched(dlg);
        EXPECT_EQ(nResult, IDOK) << c.name;
        EXPECT_EQ(dlg.m_hWndOwner, host.m_hWnd) << c.name;
    }
}

TEST(ModalRun, MessageBoxIsOwnedByTheActiveWindowAndNamedAfterTheProgram)
{
    HostWindow host;
    std::string caption, text;
    HWND hOwner = NULL;
    ScriptedUser user;
    user.Until("its turn", [&] {
        HWND hBox = dialog_driver::FindThreadDialog(dialog_driver::AnyMessageBox());
        if (hBox == NULL)
            return false;
        caption = dialog_driver::Dialog(hBox).Caption();
        text = dialog_driver::Dialog(hBox).MessageText();
        hOwner = GetWindow(hBox, GW_OWNER);
        SendMessageA(hBox, WM_COMMAND, IDOK, 0);
        return true;
    });
    int nAnswer = 0;
    user.Run([&] { nAnswer = AfxMessageBox("Registry problems.", MB_OK, 0); });
    EXPECT_EQ(nAnswer, IDOK);
    EXPECT_FALSE(user.TimedOut());
    EXPECT_EQ(caption, "afx_tests");
    EXPECT_EQ(text, "Registry problems.");
    EXPECT_EQ(hOwner, host.m_hWnd);
}

TEST(ModalRun, CenterWindowUsesTheVisibleOwnerOrTheWorkArea)
{
    HostWindow host;
    RECT rcHost, rcWork;
    GetWindowRect(host.m_hWnd, &rcHost);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    struct Case
    {
        const char* name;
        HWND hParent;
        bool bHideHost;
        RECT rcExpected;
    } cases[] = {
        { "no owner: the work area", NULL, false, rcWork },
        { "visible owner", host.m_hWnd, false, rcHost },
        { "hidden owner: the work area", host.m_hWnd, true, rcWork },
    };
    for (const Case& c : cases)
    {
        if (c.bHideHost)
            ShowWindow(host.m_hWnd, SW_HIDE);
        CTestDialog dlg(IDD_AFXTEST, CWnd::FromHandle(c.hParent));
        RECT rc = {};
        dlg.m_init = [&](CTestDialog& d) {
            if (c.hParent == NULL)
                SetWindowLongPtrA(d.m_hWnd, GWLP_HWNDPARENT, 0);   // really no owner
            d.CenterWindow();
            d.GetWindowRect(&rc);
            d.EndDialog(IDOK);
            return TRUE;
        };
        int nResult = RunWatched(dlg);
        EXPECT_EQ(nResult, IDOK) << c.name;
        EXPECT_NEAR((rc.left + rc.right) / 2, (c.rcExpected.left + c.rcExpected.right) / 2, 1) << c.name;
        EXPECT_NEAR((rc.top + rc.bottom) / 2, (c.rcExpected.top + c.rcExpected.bottom) / 2, 1) << c.name;
    }
}

// Bytes in use on the C runtime heap, which derafx's wrappers live on.
size_t HeapBytesInUse()
{
    _HEAPINFO info = {};
    size_t nBytes = 0;
    while (_heapwalk(&info) == _HEAPOK)
        if (info._useflag == _USEDENTRY)
            nBytes += info._size;
    return nBytes;
}

void RunWithWrappers(CWnd** ppFirst, CWnd** ppLater, CWnd** ppAgain, CWnd** ppMissing)
{
    CTestDialog dlg;
    int nResult = RunShown(dlg, {
        [&] {
            *ppLater = dlg.GetDlgItem(IDC_LIST);
            *ppAgain = CWnd::FromHandle(GetDlgItem(dlg.m_hWnd, IDC_LIST));
            *ppMissing = dlg.GetDlgItem(IDD_MISSING);
            dlg.GetDlgItem(IDC_COMBO)->GetParent();
            Click(dlg.m_hWnd, IDOK);
        },
    });
    EXPECT_EQ(nResult, IDOK);
    *ppFirst = dlg.m_pListAtInit;
}

TEST(WindowWrappers, StableWhileTheDialogLivesAndFreedAfterwards)
{
    CWnd *pFirst = NULL, *pLater = NULL, *pAgain = NULL, *pMissing = NULL;
    RunWithWrappers(&pFirst, &pLater, &pAgain, &pMissing);
    ASSERT_NE(pFirst, (CWnd*)NULL);
    EXPECT_EQ(pLater, pFirst) << "the same wrapper later in the run";
    EXPECT_EQ(pAgain, pFirst) << "FromHandle answers with the same wrapper";
    EXPECT_EQ(pMissing, (CWnd*)NULL);

    const size_t nBefore = HeapBytesInUse();
    for (int i = 0; i < 10; ++i)
        RunWithWrappers(&pFirst, &pLater, &pAgain, &pMissing);
    EXPECT_EQ(HeapBytesInUse(), nBefore) << "the wrappers of ten runs were freed";
}

// Draws button nID of a running dialog through the dialog (reflection) into a memory bitmap
// and returns the colour of a pixel inside the image.
COLORREF DrawThroughDialog(HWND hDlg, int nID, UINT nState, LRESULT* pResult)
{
    HDC hdcScreen = GetDC(NULL);
    HDC hdc = CreateCompatibleDC(hdcScreen);
    HBITMAP hbm = CreateCompatibleBitmap(hdcScreen, 40, 40);
    ReleaseDC(NULL, hdcScreen);
    HGDIOBJ hOld = SelectObject(hdc, hbm);
    RECT rcAll = { 0, 0, 40, 40 };
    FillRect(hdc, &rcAll, (HBRUSH)GetStockObject(BLACK_BRUSH));

    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = (UINT)nID;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = nState;
    dis.hwndItem = GetDlgItem(hDlg, nID);
    dis.hDC = hdc;
    SetRect(&dis.rcItem, 0, 0, 26, 24);
    *pResult = SendMessageA(hDlg, WM_DRAWITEM, (WPARAM)nID, (LPARAM)&dis);
    COLORREF color = GetPixel(hdc, 10, 10);

    SelectObject(hdc, hOld);
    DeleteObject(hbm);
    DeleteDC(hdc);
    return color;
}

class CButtonDialog : public CTestDialog
{
public:
    CBitmapButton m_btn, m_btnDisabled, m_btnMissing;
    BOOL m_bLoaded = FALSE, m_bLoadedDisabled = FALSE, m_bLoadedMissing = TRUE;
    RECT m_rcMissingBefore = {};

    virtual BOOL OnInitDialog() override
    {
        CTestDialog::OnInitDialog();
        ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_BITMAP_MISSING), &m_rcMissingBefore);
        m_bLoaded = m_btn.AutoLoad(IDC_BITMAP, this);
        m_bLoadedDisabled = m_btnDisabled.AutoLoad(IDC_BITMAP_DISABLED, this);
        m_bLoadedMissing = m_btnMissing.AutoLoad(IDC_BITMAP_MISSING, this);
        return TRUE;
    }
};

TEST(BitmapButton, AutoLoadSizesToTheNormalImageAndDrawsTheImageOfTheState)
{
    CButtonDialog dlg;
    RECT rcButton = {}, rcMissing = {};
    struct Case
    {
        const char* name;
        int nID;
        UINT nState;
        COLORREF expected;
    } cases[] = {
        { "normal", IDC_BITMAP, 0, RGB(255, 0, 0) },
        { "pressed", IDC_BITMAP, ODS_SELECTED, RGB(0, 255, 0) },
        { "focused", IDC_BITMAP, ODS_FOCUS, RGB(0, 0, 255) },
        { "pressed and focused", IDC_BITMAP, ODS_SELECTED | ODS_FOCUS, RGB(0, 255, 0) },
        { "disabled without an X image", IDC_BITMAP, ODS_DISABLED, RGB(255, 0, 0) },
        { "disabled with an X image", IDC_BITMAP_DISABLED, ODS_DISABLED, RGB(255, 255, 0) },
    };
    std::vector<COLORREF> drawn;
    std::vector<LRESULT> results;
    int nResult = RunShown(dlg, {
        [&] {
            GetWindowRect(GetDlgItem(dlg.m_hWnd, IDC_BITMAP), &rcButton);
            GetWindowRect(GetDlgItem(dlg.m_hWnd, IDC_BITMAP_MISSING), &rcMissing);
            for (const Case& c : cases)
            {
                LRESULT nDrawResult = 0;
                drawn.push_back(DrawThroughDialog(dlg.m_hWnd, c.nID, c.nState, &nDrawResult));
                results.push_back(nDrawResult);
            }
            Click(dlg.m_hWnd, IDC_BITMAP);   // an owner-drawn button still clicks
            Click(dlg.m_hWnd, IDOK);
        },
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_TRUE(dlg.m_bLoaded);
    EXPECT_TRUE(dlg.m_bLoadedDisabled);
    EXPECT_FALSE(dlg.m_bLoadedMissing) << "no NONEU bitmap";
    EXPECT_EQ(rcButton.right - rcButton.left, 26);
    EXPECT_EQ(rcButton.bottom - rcButton.top, 24);
    EXPECT_TRUE(EqualRect(&rcMissing, &dlg.m_rcMissingBefore)) << "a button without images keeps its size";
    ASSERT_EQ(drawn.size(), std::size(cases));
    for (size_t i = 0; i < drawn.size(); ++i)
    {
        EXPECT_EQ(drawn[i], cases[i].expected) << cases[i].name;
        EXPECT_EQ(results[i], TRUE) << cases[i].name;
    }
    EXPECT_EQ(dlg.m_btn.m_hWnd, (HWND)NULL) << "the button is detached with its window";
}

}  // namespace

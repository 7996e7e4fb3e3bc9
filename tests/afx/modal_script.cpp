#include "modal_script.h"

ModalScript* ModalScript::s_pCurrent = nullptr;

ModalScript::ModalScript(std::vector<Step> steps, UINT nWatchdogMs) : m_steps(std::move(steps))
{
    s_pCurrent = this;
    m_nTick = SetTimer(NULL, 0, 20, &ModalScript::OnTick);
    m_nWatchdog = SetTimer(NULL, 0, nWatchdogMs, &ModalScript::OnWatchdog);
}

ModalScript::~ModalScript()
{
    KillTimer(NULL, m_nTick);
    KillTimer(NULL, m_nWatchdog);
    s_pCurrent = nullptr;
}

void CALLBACK ModalScript::OnTick(HWND, UINT, UINT_PTR, DWORD)
{
    ModalScript* p = s_pCurrent;
    if (p == nullptr || p->m_bInStep || p->m_nNext >= p->m_steps.size())
        return;
    p->m_bInStep = true;   // a step may open a nested modal loop; the next tick waits for it
    bool bDone = p->m_steps[p->m_nNext]();
    p->m_bInStep = false;
    if (bDone)
        ++p->m_nNext;
}

static BOOL CALLBACK EndDialogs(HWND hWnd, LPARAM)
{
    char szClass[16] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (lstrcmpA(szClass, "#32770") == 0)
        EndDialog(hWnd, -2);
    return TRUE;
}

void CALLBACK ModalScript::OnWatchdog(HWND, UINT, UINT_PTR, DWORD)
{
    ModalScript* p = s_pCurrent;
    if (p == nullptr)
        return;
    p->m_bTimedOut = true;
    EnumThreadWindows(GetCurrentThreadId(), &EndDialogs, 0);
}

namespace {
struct FindData
{
    const char* pszCaption;
    HWND hFound;
};
BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam)
{
    FindData* pData = reinterpret_cast<FindData*>(lParam);
    char szClass[16] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (lstrcmpA(szClass, "#32770") != 0 || !IsWindowEnabled(hWnd))
        return TRUE;
    if (pData->pszCaption != nullptr && ModalScript::WindowText(hWnd) != pData->pszCaption)
        return TRUE;
    pData->hFound = hWnd;
    return FALSE;
}
}  // namespace

HWND ModalScript::FindThreadDialog(const char* pszCaption)
{
    FindData data = { pszCaption, NULL };
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&data));
    return data.hFound;
}

std::string ModalScript::WindowText(HWND hWnd)
{
    char sz[512] = {};
    GetWindowTextA(hWnd, sz, sizeof(sz));
    return sz;
}

// The resource rule of every dialog of derar.dll.
#include "ResourceRule.h"

HINSTANCE DerarInstanceHandle()
{
    // The module that holds this code: derar.dll, whichever copy of it the host loaded.
    HMODULE hModule = NULL;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&DerarInstanceHandle), &hModule);
    return hModule;
}

namespace
{
// The resource handle is the process's, and a host may run dialogs on two threads at once.
// Saved and restored by each run alone, the second run would save the library's handle
// and leave it behind. So the first run to begin keeps the host's handle and the last to
// end gives it back; while any dialog runs, the library's handle is current.
SRWLOCK g_lock = SRWLOCK_INIT;
int g_nRuns = 0;
HINSTANCE g_hHostResources = NULL;

void BeginOwnResources()
{
    AcquireSRWLockExclusive(&g_lock);
    AFX_MODULE_STATE* pState = AfxGetModuleState();
    if (g_nRuns++ == 0)
        g_hHostResources = pState->m_hCurrentResourceHandle;
    pState->m_hCurrentResourceHandle = DerarInstanceHandle();
    ReleaseSRWLockExclusive(&g_lock);
}

void EndOwnResources()
{
    AcquireSRWLockExclusive(&g_lock);
    if (--g_nRuns == 0)
        AfxGetModuleState()->m_hCurrentResourceHandle = g_hHostResources;
    ReleaseSRWLockExclusive(&g_lock);
}
}  // namespace

int DoModalWithOwnResources(CDialog& dialog)
{
    BeginOwnResources();
    int nResult = dialog.CDialog::DoModal();
    EndOwnResources();
    return nResult;
}

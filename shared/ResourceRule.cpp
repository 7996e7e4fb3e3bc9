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

int DoModalWithOwnResources(CDialog& dialog)
{
    AFX_MODULE_STATE* pState = AfxGetModuleState();
    HINSTANCE hHostResources = pState->m_hCurrentResourceHandle;
    pState->m_hCurrentResourceHandle = DerarInstanceHandle();
    int nResult = dialog.CDialog::DoModal();
    pState->m_hCurrentResourceHandle = hHostResources;
    return nResult;
}

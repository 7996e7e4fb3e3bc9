// The process's module state, extension modules, the resource lookup rule, the loading of
// the system's libraries and derafx.dll's start-up.
#include "afxwin.h"
#include "afxdllx.h"

#include <string.h>
#include <wchar.h>

namespace {

char g_szAppName[MAX_PATH];

AFX_MODULE_STATE& ModuleState()
{
    static AFX_MODULE_STATE state = [] {
        AFX_MODULE_STATE s = {};
        s.m_hCurrentInstanceHandle = GetModuleHandleA(NULL);
        s.m_hCurrentResourceHandle = s.m_hCurrentInstanceHandle;
        // MFC's default application name: the executable's base name without extension.
        char szPath[MAX_PATH];
        DWORD n = GetModuleFileNameA(NULL, szPath, MAX_PATH);
        szPath[n < MAX_PATH ? n : MAX_PATH - 1] = '\0';
        const char* pName = szPath;
        for (const char* p = szPath; *p != '\0'; ++p)
            if (*p == '\\' || *p == '/' || *p == ':')
                pName = p + 1;
        lstrcpynA(g_szAppName, pName, MAX_PATH);
        char* pDot = strrchr(g_szAppName, '.');
        if (pDot != NULL)
            *pDot = '\0';
        s.m_lpszCurrentAppName = g_szAppName;
        return s;
    }();
    return state;
}

// An extension DLL unloaded without removing its CDynLinkLibrary must not be searched.
bool IsModuleLoaded(HMODULE hModule)
{
    HMODULE hFound = NULL;
    return hModule != NULL &&
           GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(hModule), &hFound) &&
           hFound == hModule;
}

}  // namespace

HMODULE AfxLoadSystemLibrary(LPCWSTR lpszName)
{
    // By its full path, so that no module of that name elsewhere (beside the host's program,
    // in its current folder, on PATH, or loaded by the process already) can stand in for it.
    WCHAR szPath[MAX_PATH];
    const UINT nFolder = ::GetSystemDirectoryW(szPath, MAX_PATH);
    const size_t nName = wcslen(lpszName);
    if (nFolder == 0 || nFolder + 1 + nName >= MAX_PATH)
        return NULL;
    szPath[nFolder] = L'\\';
    memcpy(szPath + nFolder + 1, lpszName, (nName + 1) * sizeof(WCHAR));
    // What it imports in turn is looked for in the system folder alone.
    HMODULE hModule = ::LoadLibraryExW(szPath, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A system without the search flags (before Windows 8, or Windows 7 without its update
    // KB2533623) refuses them: its imports are then looked for in the system folder first.
    if (hModule == NULL && ::GetLastError() == ERROR_INVALID_PARAMETER)
        hModule = ::LoadLibraryExW(szPath, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    return hModule;
}

AFX_MODULE_STATE* AFXAPI AfxGetModuleState() { return &ModuleState(); }
HINSTANCE AFXAPI AfxGetInstanceHandle() { return ModuleState().m_hCurrentInstanceHandle; }
HINSTANCE AFXAPI AfxGetResourceHandle() { return ModuleState().m_hCurrentResourceHandle; }
void AFXAPI AfxSetResourceHandle(HINSTANCE hInstResource) { ModuleState().m_hCurrentResourceHandle = hInstResource; }
LPCSTR AFXAPI AfxGetAppName() { return ModuleState().m_lpszCurrentAppName; }

HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType)
{
    AFX_MODULE_STATE& state = ModuleState();
    HINSTANCE hCurrent = state.m_hCurrentResourceHandle;
    if (hCurrent != NULL && FindResourceA(hCurrent, lpszName, lpszType) != NULL)
        return hCurrent;
    for (CDynLinkLibrary* pDLL = state.m_pFirstDLL; pDLL != NULL; pDLL = pDLL->m_pNextDLL)
        if (pDLL->m_hResource != NULL && IsModuleLoaded(pDLL->m_hModule) &&
            FindResourceA(pDLL->m_hResource, lpszName, lpszType) != NULL)
            return pDLL->m_hResource;
    return hCurrent;
}

BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule)
{
    if (hModule == NULL)
        return FALSE;
    if (!state.bInitialized)
    {
        state.hModule = hModule;
        state.hResource = hModule;
        state.bInitialized = TRUE;
    }
    return TRUE;
}

void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL /*bAll: one thread, one chain*/)
{
    if (!state.bInitialized)
        return;
    CDynLinkLibrary** pp = &ModuleState().m_pFirstDLL;
    while (*pp != NULL)
    {
        CDynLinkLibrary* pDLL = *pp;
        if (pDLL->m_hModule == state.hModule)
            delete pDLL;   // its destructor unlinks it, so *pp is now the next one
        else
            pp = &pDLL->m_pNextDLL;
    }
    state.bInitialized = FALSE;
    state.hModule = NULL;
    state.hResource = NULL;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(bSystem), m_pNextDLL(NULL)
{
    AFX_MODULE_STATE& moduleState = ModuleState();
    m_pNextDLL = moduleState.m_pFirstDLL;
    moduleState.m_pFirstDLL = this;
}

CDynLinkLibrary::~CDynLinkLibrary()
{
    for (CDynLinkLibrary** pp = &ModuleState().m_pFirstDLL; *pp != NULL; pp = &(*pp)->m_pNextDLL)
    {
        if (*pp == this)
        {
            *pp = m_pNextDLL;
            break;
        }
    }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    // A host that loads a DLL built on the class layer, and with it derafx.dll, may free both
    // after each use: derafx.dll is loaded once.
    if (dwReason == DLL_PROCESS_ATTACH)
        AfxKeepModuleLoaded(hInstance);
    // FreeLibrary where it could not be kept.
    else if (dwReason == DLL_PROCESS_DETACH && pReserved == NULL)
        AfxFreeRuntimeReserve();
    return TRUE;
}

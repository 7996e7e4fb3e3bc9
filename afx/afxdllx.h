// derafx for the DllMain of a DLL built on the class layer (derafx.dll itself, derar.dll).
#ifndef DERAFX_AFXDLLX_H
#define DERAFX_AFXDLLX_H

#include "afx.h"

// Every module links the C++ runtime statically, and that runtime takes a reserve for
// exceptions thrown when memory is short (about 72 KB of heap, at load) that it never gives
// back by itself. A DLL calls this at DLL_PROCESS_DETACH when it is freed (lpReserved NULL),
// so that a host that loads and frees it again and again keeps its heap. Inline on purpose:
// it frees the reserve of the module that calls it.
// Keeps the calling DLL loaded until the process ends, whatever FreeLibrary calls the host
// makes; DllMain calls it at DLL_PROCESS_ATTACH with its own handle. The toolchain's runtime
// linked into every module keeps a thread-local storage slot and a thread record at each
// load that no unload gives back (on i686 also its unwinder's registration), and a process
// has 1,088 slots: a DLL loaded and freed for each use would end its host after a few
// hundred uses. Kept, every later load and free costs nothing. Should the platform refuse,
// the DLL goes on unpinned, as it was.
inline void AfxKeepModuleLoaded(HMODULE hModule)
{
    HMODULE hKept = NULL;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(hModule), &hKept);
}

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres();
}
inline void AfxFreeRuntimeReserve() { __gnu_cxx::__freeres(); }
#else
inline void AfxFreeRuntimeReserve() {}
#endif

#endif

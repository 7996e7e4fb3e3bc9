// derafx for the DllMain of a DLL built on the class layer (derafx.dll itself, derar.dll).
#ifndef DERAFX_AFXDLLX_H
#define DERAFX_AFXDLLX_H

#include "afx.h"

// Every module links the C++ runtime statically, and that runtime takes a reserve for
// exceptions thrown when memory is short (about 72 KB of heap, at load) that it never gives
// back by itself. A DLL calls this at DLL_PROCESS_DETACH when it is freed (lpReserved NULL),
// so that a host that loads and frees it again and again keeps its heap. Inline on purpose:
// it frees the reserve of the module that calls it.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __freeres();
}
inline void AfxFreeRuntimeReserve() { __gnu_cxx::__freeres(); }
#else
inline void AfxFreeRuntimeReserve() {}
#endif

#endif

// derar.dll start-up: the library joins the host's resource chain as an extension module.
#include <afxwin.h>
#include <afxdllx.h>

namespace {

// The library's extension-module record: made once when the process loads derar.dll.
AFX_EXTENSION_MODULE derarModule = { FALSE, NULL, NULL };

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        if (!AfxInitExtensionModule(derarModule, hInstance))
            return FALSE;
        // Joins the library's resources to the host's resource chain until the library unloads.
        new CDynLinkLibrary(derarModule);
    }
    else if (dwReason == DLL_PROCESS_DETACH)
    {
        // A host that frees the library must not keep its record in the chain: take it out.
        AfxTermExtensionModule(derarModule);
        // FreeLibrary (not the end of the process): the heap outlives the library.
        if (pReserved == NULL)
            AfxFreeRuntimeReserve();
    }
    return TRUE;
}

// derar.dll start-up: the library joins the host's resource chain as an extension module
// and stays loaded until the process ends.
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
        // A host may load and free the library for each call: the first load is the only one.
        AfxKeepModuleLoaded(hInstance);
    }
    else if (dwReason == DLL_PROCESS_DETACH)
    {
        // The end of the process, or a FreeLibrary where the library could not be kept: a
        // host that goes on must not keep its record in the chain. Take it out.
        AfxTermExtensionModule(derarModule);
        // FreeLibrary (not the end of the process): the heap outlives the library.
        if (pReserved == NULL)
            AfxFreeRuntimeReserve();
    }
    return TRUE;
}

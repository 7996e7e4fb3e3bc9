// The browser's entry point.
#include <afxwin.h>

#include <memory>

#include "BrowseDialog.h"
#include "derar.h"

extern "C" DERARAPI int __cdecl KivBrowseDialog(const char* directory, const char* fileName)
{
    // No C++ exception may leave the library; the host learns nothing from the result.
    try
    {
        std::unique_ptr<CBrowseDialog> pDialog(
            new CBrowseDialog(CString(directory != NULL ? directory : ""),
                              CString(fileName != NULL ? fileName : ""), NULL));
        pDialog->DoModal();
    }
    catch (...)
    {
    }
    return 1;
}

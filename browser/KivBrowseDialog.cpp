// The browser's entry point.
#include <afxwin.h>

#include "BrowseDialog.h"
#include "derar.h"
#include "KivTexts.h"

extern "C" DERARAPI int __cdecl KivBrowseDialog(const char* directory, const char* fileName)
{
    // No C++ exception may leave the library; the host learns nothing from the result.
    try
    {
        CBrowseDialog dialog(KivText(directory), KivText(fileName), NULL);
        dialog.DoModal();
    }
    catch (...)
    {
    }
    return 1;
}

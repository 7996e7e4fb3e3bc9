// ResourceRule.h - every dialog of derar.dll runs with the library's own resources.
#ifndef DERAR_RESOURCERULE_H
#define DERAR_RESOURCERULE_H

#include <afxwin.h>

// The instance handle of derar.dll, as DllMain received it.
HINSTANCE DerarInstanceHandle();

// Runs CDialog::DoModal (not the override) with derar.dll as the module state's
// current resource handle, so templates and bitmaps load from the library, and
// restores the host's handle afterwards; with dialogs on several threads at once,
// when the last of them ends. Every dialog's DoModal calls this.
int DoModalWithOwnResources(CDialog& dialog);

#endif

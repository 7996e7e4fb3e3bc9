/* A host written in C90 that calls both exports of derar.dll as hosts do: through
 * derar.h and the import library, and the stack pointer read around each call. */
#include <windows.h>
#include <string.h>

#include <derar.h>

#include "c_host.h"

#if defined(__i386__)
#define READ_STACK_POINTER(into) __asm__ volatile("movl %%esp, %0" : "=r"(into) : : "memory")
#else
#define READ_STACK_POINTER(into) __asm__ volatile("movq %%rsp, %0" : "=r"(into) : : "memory")
#endif

void CHostImpExp(int modeFlag, const char* directory, const char* fileName, const char* author,
                 const char* wellId, const char* const* candidates, CHostCall* call)
{
    char* names[4];
    int i;
    UINT_PTR before = 0, after = 0;
    memset(call, 0, sizeof *call);
    for (i = 0; i < 4; ++i)
        names[i] = call->names[i];
    for (call->count = 0; call->count < 4 && candidates[call->count] != NULL; ++call->count)
        strcpy(call->names[call->count], candidates[call->count]);
    READ_STACK_POINTER(before);
    call->result = KivImpExpDialog(modeFlag, directory, fileName, author, wellId, names, &call->count);
    READ_STACK_POINTER(after);
    call->stackBalanced = before == after;
}

void CHostBrowse(const char* directory, const char* fileName, CHostCall* call)
{
    UINT_PTR before = 0, after = 0;
    memset(call, 0, sizeof *call);
    READ_STACK_POINTER(before);
    call->result = KivBrowseDialog(directory, fileName);
    READ_STACK_POINTER(after);
    call->stackBalanced = before == after;
}

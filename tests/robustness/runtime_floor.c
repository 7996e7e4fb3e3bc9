/* The smallest DLL of this toolchain that links the unwinder, as every module of
 * ours does: what loading and freeing it keeps is what MinGW's own runtime keeps,
 * the floor under the library's figure. On i686 that is not nothing: the DWARF
 * unwinder registers the module's frame tables under a winpthreads lock and thread
 * record, four blocks (352 bytes) that no unload gives back. */
#include <windows.h>
#include <unwind.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}

static _Unwind_Reason_Code CountFrame(struct _Unwind_Context* context, void* frames)
{
    (void)context;
    ++*(int*)frames;
    return _URC_NO_REASON;
}

__declspec(dllexport) int RuntimeFloorFrames(void)
{
    int frames = 0;
    _Unwind_Backtrace(CountFrame, &frames);
    return frames;
}

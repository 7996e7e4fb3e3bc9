// Reads the counters a leak would move: GUI objects, kernel handles, windows and heaps.
#include "process_counters.h"

#include <malloc.h>

#include <cstdio>
#include <vector>

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM param)
{
    ++*reinterpret_cast<int*>(param);
    return TRUE;
}

size_t BusyBytesOfAllHeaps()
{
    std::vector<HANDLE> heaps(64);
    DWORD total = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (total > heaps.size()) {
        heaps.resize(total);
        total = GetProcessHeaps(total, heaps.data());
    }
    size_t busy = 0;
    for (DWORD i = 0; i < total && i < heaps.size(); ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                busy += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return busy;
}

}  // namespace

ProcessCounters ProcessCounters::Take()
{
    ProcessCounters c;
    c.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    c.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    GetProcessHandleCount(GetCurrentProcess(), &c.handles);
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&c.threadWindows));
    _HEAPINFO info = {};
    while (_heapwalk(&info) == _HEAPOK) {
        if (info._useflag == _USEDENTRY) {
            c.crtHeapInUse += info._size;
            ++c.crtHeapBlocks;
        }
    }
    c.processHeapsInUse = BusyBytesOfAllHeaps();
    return c;
}

std::string ProcessCounters::Describe() const
{
    char text[256];
    snprintf(text, sizeof text,
             "GDI objects %lu, USER objects %lu, handles %lu, thread windows %d, "
             "C runtime heap %zu bytes in %zu blocks, all heaps %zu bytes",
             static_cast<unsigned long>(gdiObjects), static_cast<unsigned long>(userObjects),
             static_cast<unsigned long>(handles), threadWindows, crtHeapInUse, crtHeapBlocks, processHeapsInUse);
    return text;
}

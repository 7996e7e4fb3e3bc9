// process_counters.h - what the platform reports about the resources a process
// holds, to see whether a long session gives back what it took.
#ifndef DERAR_PROCESS_COUNTERS_H
#define DERAR_PROCESS_COUNTERS_H

#include <windows.h>

#include <string>

struct ProcessCounters {
    DWORD gdiObjects = 0;       // GetGuiResources GR_GDIOBJECTS (Wine 8 reports 0)
    DWORD userObjects = 0;      // GetGuiResources GR_USEROBJECTS (Wine 8 reports 0)
    DWORD handles = 0;          // GetProcessHandleCount
    int threadWindows = 0;      // top-level windows of the calling thread
    size_t crtHeapInUse = 0;    // bytes in used blocks of the C runtime heap (_heapwalk)
    size_t crtHeapBlocks = 0;
    size_t processHeapsInUse = 0;  // bytes in busy blocks of every heap of the process

    static ProcessCounters Take();
    std::string Describe() const;
};

#endif

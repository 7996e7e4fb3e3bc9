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

// The busy blocks of every heap of the process, kept in memory of no heap so that taking
// them moves nothing: what a counter's growth is made of.
class HeapBlocks {
public:
    static HeapBlocks Take();
    HeapBlocks(HeapBlocks&& other) noexcept;
    HeapBlocks(const HeapBlocks&) = delete;
    HeapBlocks& operator=(const HeapBlocks&) = delete;
    ~HeapBlocks();

    // The blocks of `after` that `before` lacks. Wine 10's low-fragmentation heap serves the
    // small sizes that a program asks for often from groups of 31 blocks, each group one busy
    // block of the heap, and keeps a group for each size class and thread slot once all its
    // blocks are free again: such an empty group is the heap's own and no leak. Its header
    // is a list entry, the group's free bits (0x7fffffff: all 31 free) and a thread slot.
    struct Growth {
        long long bytes = 0, crtBytes = 0;                      // every new block, and those of the C runtime's heap
        long long emptyGroupBytes = 0, crtEmptyGroupBytes = 0;  // of those, the empty groups
        size_t emptyGroups = 0;
        std::string text;  // the new blocks grouped by size, the largest totals first
    };
    static Growth NewBlocks(const HeapBlocks& before, const HeapBlocks& after, int groups);

private:
    HeapBlocks() = default;
    struct Block {
        const unsigned char* data;
        size_t size;
        bool crtHeap;
    };
    Block* blocks_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

#endif

// Reads the counters a leak would move: GUI objects, kernel handles, windows and heaps.
#include "process_counters.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
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

HeapBlocks HeapBlocks::Take()
{
    HeapBlocks snapshot;
    snapshot.capacity_ = 1 << 20;
    snapshot.blocks_ = static_cast<Block*>(
        VirtualAlloc(nullptr, snapshot.capacity_ * sizeof(Block), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (snapshot.blocks_ == nullptr)
        return snapshot;
    HANDLE crt = reinterpret_cast<HANDLE>(_get_heap_handle());
    HANDLE heaps[256];
    DWORD total = std::min<DWORD>(GetProcessHeaps(256, heaps), 256);
    for (DWORD i = 0; i < total; ++i) {
        if (!HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry) && snapshot.count_ < snapshot.capacity_) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                snapshot.blocks_[snapshot.count_++] = { static_cast<const unsigned char*>(entry.lpData), entry.cbData,
                                                        heaps[i] == crt };
        }
        HeapUnlock(heaps[i]);
    }
    std::sort(snapshot.blocks_, snapshot.blocks_ + snapshot.count_,
              [](const Block& a, const Block& b) { return a.data < b.data; });
    return snapshot;
}

HeapBlocks::HeapBlocks(HeapBlocks&& other) noexcept
    : blocks_(other.blocks_), count_(other.count_), capacity_(other.capacity_)
{
    other.blocks_ = nullptr;
    other.count_ = other.capacity_ = 0;
}

HeapBlocks::~HeapBlocks()
{
    if (blocks_ != nullptr)
        VirtualFree(blocks_, 0, MEM_RELEASE);
}

namespace {

// An empty group of Wine 10's low-fragmentation heap: after the list entry (a pointer,
// 16 bytes with its alignment in 64 bits) the free bits with all 31 blocks free and no
// flag, then a small thread slot; 31 blocks of at least 16 bytes follow.
bool IsEmptyLowFragmentationGroup(const unsigned char* data, size_t size)
{
    const size_t bitsAt = sizeof(void*) == 8 ? 16 : 4;
    if (size < bitsAt + 8 + 31 * 16)
        return false;
    LONG bits, slot;
    memcpy(&bits, data + bitsAt, sizeof bits);
    memcpy(&slot, data + bitsAt + 4, sizeof slot);
    return bits == 0x7fffffff && slot >= 0 && slot < 1024;
}

}  // namespace

HeapBlocks::Growth HeapBlocks::NewBlocks(const HeapBlocks& before, const HeapBlocks& after, int groups)
{
    struct Group {
        size_t count = 0, empty = 0;
        const unsigned char* sample = nullptr;
    };
    std::map<size_t, Group> bySize;
    Growth growth;
    size_t blocks = 0;
    for (size_t i = 0; i < after.count_; ++i) {
        const Block& block = after.blocks_[i];
        const Block* end = before.blocks_ + before.count_;
        const Block* found = std::lower_bound(static_cast<const Block*>(before.blocks_), end, block,
                                              [](const Block& a, const Block& b) { return a.data < b.data; });
        if (found != end && found->data == block.data && found->size == block.size)
            continue;
        Group& group = bySize[block.size];
        ++group.count;
        group.sample = block.data;
        ++blocks;
        growth.bytes += block.size;
        if (block.crtHeap)
            growth.crtBytes += block.size;
        if (IsEmptyLowFragmentationGroup(block.data, block.size)) {
            ++group.empty;
            ++growth.emptyGroups;
            growth.emptyGroupBytes += block.size;
            if (block.crtHeap)
                growth.crtEmptyGroupBytes += block.size;
        }
    }
    std::vector<std::pair<size_t, Group>> sorted(bySize.begin(), bySize.end());
    std::sort(sorted.begin(), sorted.end(), [](const std::pair<size_t, Group>& a, const std::pair<size_t, Group>& b) {
        return a.first * a.second.count > b.first * b.second.count;
    });
    char line[256];
    snprintf(line, sizeof line, "  %zu new heap blocks, %lld bytes, of which %zu empty groups of the low-fragmentation heap, %lld bytes\n",
             blocks, growth.bytes, growth.emptyGroups, growth.emptyGroupBytes);
    growth.text = line;
    for (int g = 0; g < groups && g < static_cast<int>(sorted.size()); ++g) {
        const std::pair<size_t, Group>& group = sorted[g];
        snprintf(line, sizeof line, "    %zu x %zu bytes%s:", group.second.count, group.first,
                 group.second.empty == group.second.count ? " (empty groups)" : "");
        growth.text += line;
        // The first bytes of one of them, as text where they are text: names, paths, class names.
        std::string ascii;
        for (size_t b = 0; b < std::min<size_t>(group.first, 32); ++b) {
            unsigned char c = group.second.sample[b];
            snprintf(line, sizeof line, " %02x", c);
            growth.text += line;
            ascii += (c >= 32 && c < 127) ? static_cast<char>(c) : '.';
        }
        growth.text += "  |" + ascii + "|\n";
    }
    return growth;
}

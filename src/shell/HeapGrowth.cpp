#include "shell/HeapGrowth.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>

namespace HeapGrowth {

namespace {
std::atomic<bool> largeSteps{false};
// Where the last part before a boundary was kept: stored, so that the
// compiler doesn't leave out an allocation whose address goes unused.
std::atomic<void *> keptBeforeBoundary{nullptr};

constexpr std::size_t Megabyte = 1024 * 1024;
// What a transparent huge page spans on x86-64 and arm64 with 4 KB pages.
constexpr std::uintptr_t HugePage = 2 * Megabyte;
// Allocations below this size come from the heap, larger ones are mappings
// of their own.
constexpr std::size_t MmapThreshold = 32 * Megabyte;
// Room for what the import builds on one thread (its 10000 contacts'
// strings and lists take about 15 MB), taken from the heap.
constexpr std::size_t ThreadHeap = MmapThreshold - 2 * Megabyte;

// The first touch of each 4 KB page of new memory costs a page fault; on the
// virtual machines this runs on, about 10 µs each, so that faulting in the
// import's memory took a third of its time. A 2 MB page is one fault.
// glibc's malloc.hugetlb tunable does the same, but only when set in the
// environment before the process starts.
//
// The heap's top is taken (below the mmap threshold) untouched but for its
// header. What lies before the first 2 MB boundary stays taken: its first
// 2 MB range holds pages in use already (the heap's own header), so the
// kernel maps the rest of that range a 4 KB page at a time, and the values
// to come would fault them in one by one. The rest, marked MADV_HUGEPAGE,
// is freed to the heap's top again (above the trim threshold it stays
// mapped), where the next allocations take it. The part kept is never
// touched: address space, not memory.
void preferHugePages(std::size_t bytes)
{
    void *block = std::malloc(bytes);
    if (!block)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + HugePage - 1) & ~(HugePage - 1);
    const std::uintptr_t end = (begin + bytes) & ~(HugePage - 1);
    std::free(block);
    if (end <= first)
        return;
    // Taken again, the heap's top gives the same address; kept to the end
    // of the process.
    constexpr std::size_t ChunkHeader = 2 * sizeof(std::size_t);
    if (first - begin > ChunkHeader)
        keptBeforeBoundary.store(std::malloc(first - begin - ChunkHeader), std::memory_order_relaxed);
    // Where the kernel gives no huge pages on request, the heap stays as it was.
    madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);
}
} // namespace

void growInLargeSteps()
{
    // One brk or mprotect call for 32 MB where there were hundreds of 128 KB
    // steps, and no trimming, so that freed memory is used again rather
    // than handed back and faulted in anew.
    mallopt(M_TOP_PAD, 32 * Megabyte);
    mallopt(M_TRIM_THRESHOLD, 256 * Megabyte);
    // Within the threads' 64 MB heaps, not in mappings of their own.
    mallopt(M_MMAP_THRESHOLD, MmapThreshold);
    largeSteps.store(true, std::memory_order_release);
    preferHugePages(ThreadHeap);
}

void prepareThread()
{
    if (largeSteps.load(std::memory_order_acquire))
        preferHugePages(ThreadHeap);
}

} // namespace HeapGrowth

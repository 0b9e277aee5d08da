// The heap margin the front ends keep between files: a block the size of a
// few decoded frames must come from the heap, not from a mapping of its own,
// and stay on the heap once freed, ready for the next file. Checked through
// glibc's own count of its memory.

#include "engine/heap_margin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace {

// The sanitizers bring allocators of their own, which take no heap settings
// and keep no glibc counts.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORA_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMORA_OWN_ALLOCATOR 1
#endif
#endif

#if defined(__GLIBC__)

TEST(HeapMargin, FrameSizedBlocksStayOnTheHeap) {
#ifdef VELMORA_OWN_ALLOCATOR
    GTEST_SKIP() << "a sanitizer's allocator takes no heap settings";
#endif
    KeepHeapMarginBetweenFiles();
    constexpr std::size_t kBlock = 12 << 20;
    // Called through pointers the compiler cannot see through, so that the
    // pair is not left out.
    void* (*volatile allocate)(std::size_t) = std::malloc;
    void (*volatile release)(void*) = std::free;

    const struct mallinfo2 before = mallinfo2();
    void* block = allocate(kBlock);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, kBlock);
    const struct mallinfo2 held = mallinfo2();
    release(block);
    const struct mallinfo2 after = mallinfo2();

    EXPECT_LT(held.hblkhd - before.hblkhd, kBlock) << "the block was mapped on its own";
    EXPECT_GE(after.arena, held.arena) << "the heap was trimmed after the block was freed";
    EXPECT_GE(after.fordblks, kBlock) << "the freed block did not stay on the heap";
}

#endif

}  // namespace

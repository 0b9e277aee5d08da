#include "engine/heap_margin.h"

// <malloc.h> first: __GLIBC__ comes from the C library's own headers, so a
// test for it before any of them is included is always false (which left
// this function empty for a while, and the probe of a list faulting in the
// same decoder memory for every file).
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

void KeepHeapMarginBetweenFiles() {
#ifdef __GLIBC__
    mallopt(M_TOP_PAD, 16 << 20);
    // The decoders' frame buffers are large enough that glibc would map each
    // one on its own and unmap it when freed, faulting it in again for the
    // next file; kept on the heap, with a trim threshold above them, they
    // are reused. Both settings together: either alone is slower.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

#include "engine/heap_margin.h"

#ifdef __GLIBC__
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

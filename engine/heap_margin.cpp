#include "engine/heap_margin.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

void KeepHeapMarginBetweenFiles() {
#ifdef __GLIBC__
    mallopt(M_TOP_PAD, 16 << 20);
#endif
}

#pragma once

// Every probe and every input allocates and frees megabytes of demuxer and
// decoder state. glibc would hand that memory back to the system after each
// file and fault it in again for the next one, which costs more than probing
// a small file itself. Front ends call this once at start to keep a margin
// at the top of the heap; it does nothing where the C library has no such
// setting.
void KeepHeapMarginBetweenFiles();

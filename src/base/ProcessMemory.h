#pragma once

#ifdef __GLIBC__
#include <malloc.h>
#endif

// Transfers pass through large transient buffers (the socket's, and under TLS the decrypted
// copy): with glibc's defaults each such block is mapped and unmapped, or the heap trimmed and
// grown again, and the page faults that follow cost more time than the transfer's own work
// (a TLS download here spent twice curl's system time on them). Blocks up to 64 MiB come from the
// heap and up to 128 MiB of free heap is kept for the next one; the largest buffers alive at once
// are a few MiB, so the process does not grow by much.
inline void tuneProcessMemory()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
}

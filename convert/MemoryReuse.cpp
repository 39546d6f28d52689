#include "convert/MemoryReuse.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace framelot {
namespace {

#if defined(__GLIBC__)
// Blocks up to this come from the heap, not fresh mappings: the largest
// value the C library takes (half its 64 MiB heap size).
constexpr int KeptBlockBytes = 32 << 20;
constexpr int KeptTopBytes = 1 << 30;      // free memory at the heap's top kept up to this
#endif

}  // namespace

void KeepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, KeptBlockBytes);
    mallopt(M_TRIM_THRESHOLD, KeptTopBytes);
#endif
}

void ReleaseKeptMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace framelot

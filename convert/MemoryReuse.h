// How freed memory goes back to the system. The decoders allocate each
// frame's buffers anew; by default the C library returns every large block to
// the system when it is freed, and the next frame then pays a page fault for
// each of its pages (on a 520 x 520 JPEG XL animation, a seventh of the
// decoding time). Kept in the process, the blocks are reused instead.
#pragma once

namespace framelot {

// Keeps freed blocks of up to 32 MiB in the process for reuse. Idempotent,
// callable from any thread; where the C library has no such setting it does
// nothing.
void KeepFreedMemoryForReuse();

// Gives the freed memory kept for reuse back to the system: for a window
// that stays open after its conversions. Costs a walk over the free lists.
void ReleaseKeptMemory();

}  // namespace framelot

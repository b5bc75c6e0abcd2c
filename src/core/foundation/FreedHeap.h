#pragma once

namespace vantorel {

// Hands the heap pages that frees left empty back to the system, in every malloc arena. Bursts
// (the start-up load, the first refresh, a closed window's pages) leave freed memory between
// live blocks that the allocator would otherwise keep resident while the application idles.
void returnFreedHeapToSystem();

// Sets the allocator up for a process that idles between short bursts, before any thread starts:
// threads share a few malloc arenas instead of keeping one each, and large blocks always get
// mappings of their own, so that a burst's big buffers go back to the system as soon as they are
// freed instead of being kept in the heap.
void tuneHeapForIdling();

} // namespace vantorel

#pragma once

namespace vantorel {

// Hands the heap pages that frees left empty back to the system, in every malloc arena. Bursts
// (the start-up load, the first refresh, a closed window's pages) leave freed memory between
// live blocks that the allocator would otherwise keep resident while the application idles.
void returnFreedHeapToSystem();

} // namespace vantorel

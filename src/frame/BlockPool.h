// Small blocks for objects that are made on one thread and freed on another, as the parser's
// records and sentences are: made on its reader thread, deleted on the application's. Freed
// blocks go to the freeing thread's own lists and are reused by its next allocations; a
// thread whose lists grow long hands a batch of them to a shared depot, and a thread whose
// lists are empty takes a batch from it, so two threads passing objects meet on one lock per
// batch rather than on the allocator's lock for every block at both ends.
//
// The depot never gives blocks back to the system: it holds at most what was once in use at
// the same time; a thread's own lists are given back when it ends. Builds with AddressSanitizer use the plain allocator, so that use after free
// and double frees of these objects are still found.
#pragma once

#include <cstddef>

namespace velmira {

class BlockPool {
 public:
  // Blocks up to this size are pooled; larger ones come from the plain allocator.
  static constexpr size_t MaxBytes = 256;

  // A block of at least bytes, aligned for any object; null when memory runs out.
  static void* Allocate(size_t bytes);
  // Gives back a block that Allocate returned for the same byte count. Null is allowed.
  static void Free(void* block, size_t bytes);
};

}  // namespace velmira

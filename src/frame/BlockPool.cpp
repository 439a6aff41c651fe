#include "frame/BlockPool.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

namespace velmira {
namespace {

// Under AddressSanitizer every block comes from the plain allocator.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Plain = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Plain = true;
#else
constexpr bool Plain = false;
#endif
#else
constexpr bool Plain = false;
#endif

// Size classes in steps of 16 bytes: class c holds blocks of 16 (c + 1) bytes.
constexpr size_t Granule = 16;
constexpr size_t Classes = BlockPool::MaxBytes / Granule;
// Blocks move between a thread and the depot a batch at a time; a thread keeps at most two
// batches of a class. Lists hold pointers rather than linking the free blocks through their
// first bytes, so that neither end touches a block's memory, which the other thread's
// processor last wrote, until the object is made in it.
constexpr size_t Batch = 32;
using Blocks = std::array<void*, Batch>;

struct Depot {
  std::mutex Lock;
  std::vector<Blocks> Full[Classes];
};

Depot& TheDepot() {
  // Never destroyed: threads may end, and give their blocks back, after static destruction.
  static Depot* const depot = new Depot();
  return *depot;
}

struct Lists {
  void* Free[Classes][2 * Batch];
  size_t Count[Classes] = {};
};

// A thread's lists, made on its first pooled allocation or free and given back to the system
// when it ends. Its last frees after that go to the plain allocator (the trivially
// destructible pointer and flag can still be read then).
thread_local Lists* Own = nullptr;
thread_local bool Ended = false;

struct Owner {
  ~Owner() {
    Ended = true;
    if (Own == nullptr) return;
    for (size_t c = 0; c < Classes; ++c) {
      for (size_t i = 0; i < Own->Count[c]; ++i) ::operator delete(Own->Free[c][i]);
    }
    delete Own;
    Own = nullptr;
  }
};

Lists* ThreadLists() {
  if (Own == nullptr && !Ended) {
    thread_local Owner owner;  // gives the lists back when the thread ends
    Own = new (std::nothrow) Lists();
  }
  return Own;
}

size_t ClassOf(size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / Granule; }

}  // namespace

void* BlockPool::Allocate(size_t bytes) {
  Lists* lists = !Plain && bytes <= MaxBytes ? ThreadLists() : nullptr;
  if (lists != nullptr) {
    const size_t c = ClassOf(bytes);
    size_t& count = lists->Count[c];
    if (count == 0) {
      Depot& depot = TheDepot();
      std::lock_guard<std::mutex> hold(depot.Lock);
      if (!depot.Full[c].empty()) {
        const Blocks& batch = depot.Full[c].back();
        std::copy(batch.begin(), batch.end(), lists->Free[c]);
        count = Batch;
        depot.Full[c].pop_back();
      }
    }
    if (count > 0) return lists->Free[c][--count];
    return ::operator new((c + 1) * Granule, std::nothrow);
  }
  return ::operator new(bytes, std::nothrow);
}

void BlockPool::Free(void* block, size_t bytes) {
  if (block == nullptr) return;
  Lists* lists = !Plain && bytes <= MaxBytes ? ThreadLists() : nullptr;
  if (lists != nullptr) {
    const size_t c = ClassOf(bytes);
    size_t& count = lists->Count[c];
    lists->Free[c][count++] = block;
    if (count < 2 * Batch) return;
    // The older half goes to the depot; the newer, still in this processor's caches, stays.
    Blocks batch;
    std::copy(lists->Free[c], lists->Free[c] + Batch, batch.begin());
    std::copy(lists->Free[c] + Batch, lists->Free[c] + 2 * Batch, lists->Free[c]);
    count = Batch;
    Depot& depot = TheDepot();
    std::lock_guard<std::mutex> hold(depot.Lock);
    depot.Full[c].push_back(batch);
    return;
  }
  ::operator delete(block);
}

}  // namespace velmira

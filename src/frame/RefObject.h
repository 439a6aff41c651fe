// Base of every library object: reference count, error record, identity number, optional lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "frame/BlockPool.h"
#include "frame/Error.h"
#include "frame/ObjectLock.h"

namespace velmira {

namespace detail {
// Library-wide identity counter, incremented before use so the first object gets 1. It is
// meant for the application's thread, but the reader thread creates objects too, so the
// increment is atomic (relaxed: only uniqueness matters). It fills a cache line of its own:
// the parser's thread bumps it for every field it splits, and a neighbour read for every
// message by the draining thread would pull the line back and forth between the cores.
struct alignas(64) IdCounter {
  std::atomic<uint32_t> Last{0};
};
inline IdCounter LastId;
}  // namespace detail

class RefObject {
 public:
  // An identity number taken ahead by TakeIds.
  struct GivenId {
    uint32_t Value;
  };

  RefObject() : Id(detail::LastId.Last.fetch_add(1, std::memory_order_relaxed) + 1) {}
  explicit RefObject(GivenId id) : Id(id.Value) {}
  RefObject(const RefObject&) = delete;
  RefObject& operator=(const RefObject&) = delete;
  virtual ~RefObject();

  // Releases system resources and owned objects, leaving the object destructible. Runs when
  // the count reaches 0; owners may call it earlier, so it must be safe to run twice.
  virtual void Close() {}

  // Takes count identity numbers at once and returns the first: those count objects made one
  // after another would get, with one locked increment instead of count. For objects made
  // together in bulk (a sentence's fields).
  static uint32_t TakeIds(uint32_t count) {
    return detail::LastId.Last.fetch_add(count, std::memory_order_relaxed) + 1;
  }

  void AddRef();
  // Returns the new count. Does not free: whoever sees 0 destroys the object.
  uint32_t Release();
  // Makes the object safe to share between two threads: from now on its count changes are
  // atomic, and GetLock() gives it a lock of its own. Call it before the object is shared.
  void CreateLock();

  // Objects come from the block pool: many are made on one thread and deleted on another.
  static void* operator new(size_t bytes) {
    void* block = BlockPool::Allocate(bytes);
    if (block == nullptr) throw std::bad_alloc();  // what the plain new-expression does
    return block;
  }
  static void operator delete(void* block, size_t bytes) { BlockPool::Free(block, bytes); }
  // (Constructors throw nothing, so no deallocation is needed to match this one.)
  static void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    return BlockPool::Allocate(bytes);
  }
  static void* operator new(size_t, void* at) noexcept { return at; }
  static void operator delete(void*, void*) noexcept {}

  Error& GetError() { return Err; }
  const Error& GetError() const { return Err; }
  uint32_t GetID() const { return Id; }
  void SetID(uint32_t id) { Id = id; }
  // The object's lock, or null when it does no locking. Made on first request, so objects that
  // only need a safe count never build one.
  ObjectLock* GetLock() const;
  uint32_t RefCount() const { return Count.load(std::memory_order_relaxed); }

 protected:
  Error Err;

 private:
  // Objects without a lock stay on one thread, so their count changes need no atomic
  // read-modify-write; shared ones use one, which is what holding a lock around the change
  // would give, without the lock traffic between cores.
  std::atomic<uint32_t> Count{1};
  uint32_t Id;
  bool Shared = false;
  mutable std::atomic<ObjectLock*> Lock{nullptr};
};

// Drops one reference and destroys the object when it was the last. Null is allowed.
void ReleaseObject(RefObject* object);

// An owning reference for library code. Adopt() takes over a reference the caller already
// holds (a New or a getter result); Retain() adds one of its own.
template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref& other) : Ptr(other.Ptr) {
    if (Ptr != nullptr) Ptr->AddRef();
  }
  Ref(Ref&& other) noexcept : Ptr(std::exchange(other.Ptr, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(Ptr, other.Ptr);
    return *this;
  }
  ~Ref() { ReleaseObject(Ptr); }

  static Ref Adopt(T* object) {
    Ref r;
    r.Ptr = object;
    return r;
  }
  static Ref Retain(T* object) {
    if (object != nullptr) object->AddRef();
    return Adopt(object);
  }

  T* Get() const { return Ptr; }
  T* operator->() const { return Ptr; }
  T& operator*() const { return *Ptr; }
  explicit operator bool() const { return Ptr != nullptr; }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(Ptr, nullptr); }
  void Reset() { ReleaseObject(std::exchange(Ptr, nullptr)); }

 private:
  T* Ptr = nullptr;
};

template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>::Adopt(new T(std::forward<Args>(args)...));
}

}  // namespace velmira

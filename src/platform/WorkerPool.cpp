#include "platform/WorkerPool.h"

#include <unistd.h>

#include <algorithm>

namespace platform {

WorkerPool& WorkerPool::Shared() {
  // Never destroyed: workers blocked in a wait end with the process, and a child forked by a
  // process that has them must not try to join threads it does not have.
  static WorkerPool* const pool = new WorkerPool();
  return *pool;
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Stopping = true;
  }
  Wake.notify_all();
  const bool ours = Owner == ::getpid();
  for (std::thread& worker : Workers) {
    if (ours) {
      worker.join();
    } else {
      worker.detach();
    }
  }
}

void WorkerPool::SetThreads(int32_t threads) {
  Limit.store(std::clamp(threads, 0, MaxThreads), std::memory_order_relaxed);
}

int32_t WorkerPool::Processors() {
  const auto processors = static_cast<int32_t>(std::thread::hardware_concurrency());
  return std::clamp(processors, 1, MaxThreads);
}

int32_t WorkerPool::Threads() const {
  const int32_t limit = Limit.load(std::memory_order_relaxed);
  return limit > 0 ? limit : Processors();
}

void WorkerPool::RunParts(int32_t parts, void* context, Call call) {
  if (parts <= 0) return;
  const int32_t helpers = std::min(Threads(), parts) - 1;
  std::unique_lock<std::mutex> busy(Busy, std::try_to_lock);
  const bool alone = helpers == 0 || !busy.owns_lock() ||
                     (!Workers.empty() && Owner != ::getpid());
  if (alone) {
    for (int32_t part = 0; part < parts; ++part) call(context, part);
    return;
  }
  if (Workers.empty()) {
    Owner = ::getpid();
    for (int32_t i = 1; i < Processors(); ++i) Workers.emplace_back([this] { WorkerLoop(); });
  }
  {
    std::lock_guard<std::mutex> guard(Lock);
    Context = context;
    Function = call;
    Parts = parts;
    Next.store(0, std::memory_order_relaxed);
    Helpers = std::min<int32_t>(helpers, static_cast<int32_t>(Workers.size()));
    ++Generation;
  }
  Wake.notify_all();
  TakeParts();
  std::unique_lock<std::mutex> lock(Lock);
  Helpers = 0;  // workers that wake from now on leave this job alone
  Finished.wait(lock, [this] { return Inside == 0; });
}

void WorkerPool::TakeParts() {
  for (int32_t part = Next.fetch_add(1, std::memory_order_relaxed); part < Parts;
       part = Next.fetch_add(1, std::memory_order_relaxed)) {
    Function(Context, part);
  }
}

void WorkerPool::WorkerLoop() {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(Lock);
  for (;;) {
    Wake.wait(lock, [&] { return Stopping || Generation != seen; });
    if (Stopping) return;
    seen = Generation;
    if (Helpers == 0) continue;
    --Helpers;
    ++Inside;
    lock.unlock();
    TakeParts();
    lock.lock();
    if (--Inside == 0) Finished.notify_all();
  }
}

}  // namespace platform

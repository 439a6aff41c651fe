// A few persistent threads that share the parts of one job with the thread that asks for it,
// for work whose parts are independent (the resampler's bands of rows). The asking thread
// takes parts too and returns when every part is done, so a job never waits for a worker
// that is slow to wake: without workers (one processor, a process forked from one that had
// them, or a job already running on another thread) the caller simply does every part.
//
// std::thread rather than the platform's own thread calls: the workers live for the whole
// process and are joined at its end, which std::thread does directly; the handle semantics of
// CreateThread (signalled on return, valid until closed) buy nothing here.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace platform {

class WorkerPool {
 public:
  // Threads a job may use at most, the caller included.
  static constexpr int32_t MaxThreads = 8;

  // The process's pool: one thread per processor (up to MaxThreads), the caller included;
  // the workers are started by the first job that can use them.
  static WorkerPool& Shared();

  WorkerPool() = default;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();

  // Limits the threads of later jobs (the caller included) to threads, 1 .. MaxThreads;
  // 0 goes back to one per processor. For measuring the one-thread figure beside the rest.
  void SetThreads(int32_t threads);
  int32_t Threads() const;

  // Calls work(part) once for every part in 0 .. parts - 1, in any order and on any of the
  // threads, and returns when all calls have returned. work must not throw.
  template <class Work>
  void Run(int32_t parts, Work&& work) {
    using Callable = std::remove_reference_t<Work>;
    RunParts(parts, const_cast<void*>(static_cast<const void*>(&work)),
             [](void* context, int32_t part) { (*static_cast<Callable*>(context))(part); });
  }

 private:
  using Call = void (*)(void* context, int32_t part);
  void RunParts(int32_t parts, void* context, Call call);
  static int32_t Processors();
  void WorkerLoop();
  // Takes parts of the current job until none is left.
  void TakeParts();

  std::mutex Busy;  // one job at a time; a second caller does its job alone
  std::mutex Lock;  // guards the fields below
  std::condition_variable Wake;
  std::condition_variable Finished;
  std::vector<std::thread> Workers;
  int64_t Owner = 0;  // the process the workers belong to
  bool Stopping = false;
  uint64_t Generation = 0;  // counts jobs, so that a worker sees each one once
  int32_t Helpers = 0;      // workers that may still join the current job
  int32_t Inside = 0;       // workers working on the current job
  std::atomic<int32_t> Limit{0};

  // The current job.
  void* Context = nullptr;
  Call Function = nullptr;
  int32_t Parts = 0;
  std::atomic<int32_t> Next{0};
};

}  // namespace platform

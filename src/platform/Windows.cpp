#include "platform/Windows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

// The window object behind an HWND. Windows are shared_ptr-owned by the registry so a
// thread blocked in GetMessageW keeps its window alive while another thread deletes it.
struct VmWindowObject {
  static constexpr size_t CacheLine = 64;

  struct Pending {
    platform::MSG Msg;
    platform::MessageDiscard Discard;
  };

  HWND Parent = nullptr;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<HWND> Children;  // creation order; later ones lie on top

  std::vector<uint8_t> Pixels;

  // Posters append to Queue under QueueMutex; readers take from Taking (from Next on) under
  // TakeMutex and swap the whole of Queue over when Taking runs dry. A poster and a reader on
  // two threads then meet on one lock per batch instead of per message. Everything in Taking
  // is older than everything in Queue, so the order stays first in, first out. Both vectors
  // keep their capacity, so a steady stream allocates nothing: a deque allocated blocks on
  // the posting thread and freed them on the reading one every few messages. The poster's
  // fields and the reader's start on cache lines of their own: the reader locks TakeMutex for
  // every message, and the poster reads Waiting and Dead for every message.
  alignas(CacheLine) std::mutex QueueMutex;
  std::condition_variable Arrived;
  std::vector<Pending> Queue;
  // !Queue.empty(), readable without the mutex. Set only by the post that finds the queue
  // empty: a reader looking for messages reads it over and over, and a store by every post
  // would take its line back from the reader's core each time.
  std::atomic<bool> Queued{false};
  int Waiting = 0;
  bool Woken = false;  // a post has already woken a waiting reader, whose batch is coming
  bool Dead = false;
  alignas(CacheLine) std::mutex TakeMutex;
  std::vector<Pending> Taking;
  size_t Next = 0;
};

namespace platform {
namespace {

constexpr int32_t BytesPerPixel = 4;
// A reader that finds its queue empty keeps looking for a while before it sleeps: first
// spinning, then giving its processor away between looks. A poster in the middle of a burst
// then hands messages over without a wake-up each; and where poster and reader share one
// processor (a busy machine), yielding lets the poster run on and fill a batch, where a
// sleeping reader would be woken, and switched to and back, for nearly every message.
constexpr int SpinChecks = 64;
constexpr auto YieldPeriod = std::chrono::microseconds(50);
constexpr uint8_t White = 0xFF;
// A reading vector that a burst grew beyond this many messages is given back once read.
constexpr size_t KeptCapacity = 1024;

using WindowPtr = std::shared_ptr<VmWindowObject>;

struct Registry {
  std::mutex Mutex;
  std::unordered_map<HWND, WindowPtr> Live;
  HWND Foreground = nullptr;
  // Changes with every window created or deleted, so a thread may keep the last window it
  // looked up for as long as the count stays the same.
  std::atomic<uint64_t> Generation{0};
};

Registry& Windows() {
  static Registry registry;
  return registry;
}

WindowPtr Find(HWND window) {
  Registry& r = Windows();
  std::lock_guard<std::mutex> hold(r.Mutex);
  auto it = r.Live.find(window);
  return it == r.Live.end() ? nullptr : it->second;
}

// The poster and the reader of a busy queue each look the same window up for every message;
// a per-thread memory of the last look-up spares them the registry's lock and the count
// traffic of a shared_ptr copy. A window deleted after the check is caught by its Dead flag.
const WindowPtr& FindCached(HWND window) {
  struct Last {
    HWND Handle = nullptr;
    uint64_t Generation = 0;
    WindowPtr Window;
  };
  thread_local Last last;
  uint64_t now = Windows().Generation.load(std::memory_order_acquire);
  if (last.Handle != window || last.Generation != now || !last.Window) {
    last.Window = Find(window);
    last.Handle = window;
    last.Generation = now;
  }
  return last.Window;
}

void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Returns when the window's queue has messages or the looking time (never more than ms) is
// over.
void LookForMessages(const VmWindowObject& w, DWORD ms) {
  auto queued = [&w] { return w.Queued.load(std::memory_order_acquire); };
  for (int i = 0; i < SpinChecks; ++i) {
    if (queued()) return;
    SpinPause();
  }
  const auto end = std::chrono::steady_clock::now() +
                   std::min<std::chrono::microseconds>(YieldPeriod, std::chrono::milliseconds(ms));
  while (!queued() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
}

int32_t ClampSide(int32_t side) { return std::clamp<int32_t>(side, 0, MaxWindowSide); }

// Marks the window dead, wakes its waiters and gives back what its pending messages carry.
void Retire(VmWindowObject& w) {
  std::vector<VmWindowObject::Pending> pending;
  {
    std::lock_guard<std::mutex> hold(w.QueueMutex);
    w.Dead = true;
    pending.swap(w.Queue);
    w.Queued.store(false, std::memory_order_release);
  }
  // Woken readers see Dead and let go of TakeMutex, which is taken only after this.
  w.Arrived.notify_all();
  std::vector<VmWindowObject::Pending> taking;
  {
    std::lock_guard<std::mutex> hold(w.TakeMutex);
    // Only the messages not yet taken: those before Next have gone to a reader.
    taking.assign(w.Taking.begin() + static_cast<std::ptrdiff_t>(w.Next), w.Taking.end());
    w.Taking.clear();
    w.Next = 0;
  }
  for (const auto* list : {&taking, &pending}) {
    for (const auto& p : *list) {
      if (p.Discard != nullptr) p.Discard(p.Msg.message, p.Msg.wParam, p.Msg.lParam);
    }
  }
}

}  // namespace

HWND CreateWindowObject(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  auto w = std::make_shared<VmWindowObject>();
  w->X = x;
  w->Y = y;
  w->Width = ClampSide(width);
  w->Height = ClampSide(height);
  w->Pixels.assign(static_cast<size_t>(w->Width) * w->Height * BytesPerPixel, White);
  HWND handle = w.get();

  Registry& r = Windows();
  std::lock_guard<std::mutex> hold(r.Mutex);
  if (parent != nullptr) {
    auto it = r.Live.find(parent);
    if (it == r.Live.end()) return nullptr;
    it->second->Children.push_back(handle);
    w->Parent = parent;
  }
  r.Live.emplace(handle, std::move(w));
  r.Generation.fetch_add(1, std::memory_order_acq_rel);
  return handle;
}

bool DestroyWindow(HWND window) {
  std::vector<WindowPtr> doomed;
  {
    Registry& r = Windows();
    std::lock_guard<std::mutex> hold(r.Mutex);
    auto it = r.Live.find(window);
    if (it == r.Live.end()) return false;
    if (HWND parent = it->second->Parent; parent != nullptr) {
      auto p = r.Live.find(parent);
      if (p != r.Live.end()) std::erase(p->second->Children, window);
    }
    // The subtree, breadth first; each window is in the registry exactly once, so the walk
    // ends after visiting every live window at most once.
    doomed.push_back(it->second);
    for (size_t i = 0; i < doomed.size(); ++i) {
      for (HWND child : doomed[i]->Children) {
        auto c = r.Live.find(child);
        if (c != r.Live.end()) doomed.push_back(c->second);
      }
    }
    for (const WindowPtr& w : doomed) {
      if (r.Foreground == w.get()) r.Foreground = nullptr;
      r.Live.erase(w.get());
    }
    r.Generation.fetch_add(1, std::memory_order_acq_rel);
  }
  // Discards run without the registry lock: they may release objects that post or delete.
  for (const WindowPtr& w : doomed) Retire(*w);
  return true;
}

bool IsWindow(HWND window) { return Find(window) != nullptr; }

void SetForegroundWindow(HWND window) {
  Registry& r = Windows();
  std::lock_guard<std::mutex> hold(r.Mutex);
  r.Foreground = window == nullptr || r.Live.contains(window) ? window : nullptr;
}

HWND GetForegroundWindow() {
  Registry& r = Windows();
  std::lock_guard<std::mutex> hold(r.Mutex);
  return r.Foreground;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Registry& r = Windows();
  std::lock_guard<std::mutex> hold(r.Mutex);
  auto it = r.Live.find(parent);
  if (it == r.Live.end()) return nullptr;
  const VmWindowObject& p = *it->second;
  // Right and bottom edges are exclusive, as for every window rectangle.
  auto inside = [&point](const VmWindowObject& w, int32_t x, int32_t y) {
    return point.x >= x && point.y >= y && point.x < x + w.Width && point.y < y + w.Height;
  };
  if (!inside(p, 0, 0)) return nullptr;
  for (auto c = p.Children.rbegin(); c != p.Children.rend(); ++c) {
    auto child = r.Live.find(*c);
    if (child != r.Live.end() && inside(*child->second, child->second->X, child->second->Y)) {
      return *c;
    }
  }
  return parent;
}

bool PostMessageW(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageW(window, message, wParam, lParam, nullptr);
}

bool PostMessageW(HWND window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                  MessageDiscard discard) {
  const WindowPtr& w = FindCached(window);
  if (!w) return false;
  bool wake;
  {
    std::lock_guard<std::mutex> hold(w->QueueMutex);
    if (w->Dead) return false;  // deleted between the look-up and now
    w->Queue.push_back({{window, message, wParam, lParam}, discard});
    if (w->Queue.size() == 1) w->Queued.store(true, std::memory_order_release);
    // One wake per sleep: until the woken reader runs, later posts join its batch without
    // another call into the kernel.
    wake = w->Waiting > 0 && !w->Woken;
    if (wake) w->Woken = true;
  }
  if (wake) w->Arrived.notify_one();
  return true;
}

int GetMessageW(MSG* out, HWND window, DWORD ms) {
  // Nothing below looks another window up on this thread, so the cached entry holds still.
  const WindowPtr& w = FindCached(window);
  if (!w) return -1;
  std::lock_guard<std::mutex> take(w->TakeMutex);
  if (w->Next == w->Taking.size()) {
    w->Taking.clear();
    w->Next = 0;
    if (w->Taking.capacity() > KeptCapacity) {
      std::vector<VmWindowObject::Pending>().swap(w->Taking);
    }
    if (ms != 0) LookForMessages(*w, ms);
    std::unique_lock<std::mutex> hold(w->QueueMutex);
    auto ready = [&w] { return !w->Queue.empty() || w->Dead; };
    // Only an empty queue waits: the timed wait reads the clock, which is most of the cost
    // of taking a message that is already there.
    bool arrived = ready();
    if (!arrived && ms != 0) {
      ++w->Waiting;
      if (ms == INFINITE) {
        w->Arrived.wait(hold, ready);
        arrived = true;
      } else {
        arrived = w->Arrived.wait_for(hold, std::chrono::milliseconds(ms), ready);
      }
      --w->Waiting;
      w->Woken = false;
    }
    if (w->Dead) return -1;
    if (!arrived) return 0;
    w->Taking.swap(w->Queue);
    w->Queued.store(false, std::memory_order_release);
  }
  if (out != nullptr) *out = w->Taking[w->Next].Msg;
  ++w->Next;
  return 1;
}

bool GetWindowSurface(HWND window, Surface* out) {
  return GetWindowSurface(window, out, nullptr);
}

bool GetWindowSurface(HWND window, Surface* out, std::shared_ptr<const void>* keepAlive) {
  WindowPtr w = Find(window);
  if (!w || out == nullptr) return false;
  out->Width = w->Width;
  out->Height = w->Height;
  out->Stride = w->Width * BytesPerPixel;
  out->Bits = w->Pixels.data();
  if (keepAlive != nullptr) *keepAlive = std::move(w);
  return true;
}

}  // namespace platform

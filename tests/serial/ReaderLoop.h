// Drives a SerialReader the way the parser's reader thread does: Poll until stopped, taking
// each sentence as it is reported, and records what happened for the test to examine.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "frame/Text.h"
#include "gps/NmeaSentence.h"
#include "gps/SerialReader.h"
#include "platform/Sync.h"
#include "support/ReceiverSimulator.h"

namespace velmira::test {

class ReaderLoop {
 public:
  ReaderLoop(SerialReader* reader, int16_t wantedPort)
      : Reader(reader), Wanted(wantedPort), StopEvent(platform::CreateEventW(true, false)) {
    Thread.Reset(platform::CreateThread(&ReaderLoop::Main, this));
  }
  ~ReaderLoop() { Stop(); }

  // Signals the stop event and waits for the thread; false if it did not end in 10 s.
  bool Stop() {
    platform::SetEvent(StopEvent.Get());
    return platform::WaitForSingleObject(Thread.Get(), 10000) == platform::WAIT_OBJECT_0;
  }
  bool WaitForSentences(size_t count, int timeoutMs) {
    return WaitFor(timeoutMs, [&] { return Texts.size() >= count; });
  }
  // Waits until the state has been returned `times` times in all.
  bool WaitForState(int16_t state, int timeoutMs, int times = 1) {
    return WaitFor(timeoutMs, [&] { return std::count(States.begin(), States.end(), state) >= times; });
  }
  std::vector<std::string> Sentences() {
    std::lock_guard<std::mutex> hold(Mutex);
    return Texts;
  }
  std::vector<int16_t> StatesSeen() {
    std::lock_guard<std::mutex> hold(Mutex);
    return States;
  }

 private:
  template <class Predicate>
  bool WaitFor(int timeoutMs, Predicate done) {
    std::unique_lock<std::mutex> hold(Mutex);
    return Changed.wait_for(hold, std::chrono::milliseconds(timeoutMs), done);
  }
  static platform::DWORD Main(void* self) {
    static_cast<ReaderLoop*>(self)->Run();
    return 0;
  }
  void Run() {
    for (int16_t state = 0; state != PollStopped;) {
      state = Reader->Poll(StopEvent.Get(), Wanted);
      Ref<NmeaSentence> sentence;
      if (state == PollSentence) sentence = Ref<NmeaSentence>::Adopt(Reader->TakeSentence());
      std::lock_guard<std::mutex> hold(Mutex);
      // Successive "nothing found" results are folded so long runs stay small.
      if (state != PollNothing || States.empty() || States.back() != PollNothing) {
        States.push_back(state);
      }
      if (state == PollSentence) {
        Texts.push_back(sentence ? Ref<Text>::Adopt(sentence->GetSentence())->Chars() : "");
      }
      Changed.notify_all();
    }
  }

  SerialReader* Reader;
  int16_t Wanted;
  platform::UniqueHandle StopEvent;
  platform::UniqueHandle Thread;
  std::mutex Mutex;
  std::condition_variable Changed;
  std::vector<std::string> Texts;
  std::vector<int16_t> States;
};

// True when `got` is a run of consecutive entries of `sent` (nothing lost, nothing added).
inline bool IsContiguousRunOf(const std::vector<std::string>& got,
                              const std::vector<std::string>& sent) {
  return !got.empty() && std::search(sent.begin(), sent.end(), got.begin(), got.end()) != sent.end();
}

}  // namespace velmira::test

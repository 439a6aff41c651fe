// Reference counting, identity numbers, locks and the error records of the object frame.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "frame/RefObject.h"
#include "support/GpsMessages.h"
#include "velmira/velmira.h"

namespace velmira {
namespace {

// Counts Close and destruction so tests can see exactly when each happens.
class Probe : public RefObject {
 public:
  explicit Probe(int* closes, int* destroyed) : Closes(closes), Destroyed(destroyed) {}
  ~Probe() override { ++*Destroyed; }
  void Close() override { ++*Closes; }

 private:
  int* Closes;
  int* Destroyed;
};

TEST(RefObject, CloseRunsOnceAtZeroAndReleaseObjectDestroysOnlyAtTheLastReference) {
  int closes = 0, destroyed = 0;
  auto* p = new Probe(&closes, &destroyed);
  EXPECT_EQ(p->RefCount(), 1u);
  p->AddRef();
  EXPECT_EQ(p->Release(), 1u);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(destroyed, 0) << "Release must not free: the caller that sees 0 destroys";
  delete p;
  auto* q = new Probe(&closes, &destroyed);
  q->AddRef();  // a second holder, as a parser keeping its latest fix
  ReleaseObject(q);
  EXPECT_EQ(destroyed, 1);
  ReleaseObject(q);
  EXPECT_EQ(closes * 10 + destroyed, 22);
  ReleaseObject(nullptr);
  Probe a(&closes, &destroyed), b(&closes, &destroyed);
  EXPECT_GT(a.GetID(), 0u);
  EXPECT_EQ(b.GetID(), a.GetID() + 1) << "identity numbers rise by one from a shared counter";
}

// Without the lock two threads lose increments; with it the count is exact and reaches 0 once.
TEST(RefObject, LockedCountIsExactAcrossTwoThreads) {
  int closes = 0, destroyed = 0;
  auto* p = new Probe(&closes, &destroyed);
  p->CreateLock();
  p->CreateLock();  // a second call keeps the first lock
  ASSERT_NE(p->GetLock(), nullptr);
  constexpr int Rounds = 200000;
  std::atomic<bool> go{false};
  std::atomic<int> zeros{0};
  auto hammer = [&](bool up) {
    while (!go.load()) {
    }
    for (int i = 0; up && i < Rounds; ++i) p->AddRef();
    for (int i = 0; i < Rounds / 2; ++i) zeros += p->Release() == 0;
  };
  for (bool up : {true, false}) {  // first up by Rounds, then down by as many
    std::thread a(hammer, up), b(hammer, up);
    go = true;
    a.join();
    b.join();
    go = false;
    EXPECT_EQ(p->RefCount(), up ? 1u + Rounds : 1u);
  }
  EXPECT_EQ(zeros.load(), 0);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(closes, 1);
  delete p;
}

TEST(ErrorExports, DescriptionFollowsTheRecordOfItsOwnObjectOnly) {
  VmNmeaSentence* h = NmeaSentence_New();
  VmNmeaSentence* other = NmeaSentence_New();
  VmError* record = NmeaSentence_GetErrHandle(h);
  ASSERT_NE(record, nullptr);
  BSTR out = nullptr;
  BSTR desc = Error_ErrDesc(record, &out);
  EXPECT_EQ(desc, out);
  ASSERT_NE(desc, nullptr) << "success gives an empty string, not null";
  EXPECT_EQ(Error_ErrNum(record) + SysStringLen(desc), 0u);
  // A failure left in the record is reported, survives an operation on another object, and
  // is cleared by the next operation on its own.
  reinterpret_cast<Error*>(record)->Set(errors::UnknownDatum);
  NmeaSentence_GetFieldCount(other);
  EXPECT_EQ(Error_ErrNum(record), 10003);
  EXPECT_EQ(testsupport::Narrow(Error_ErrDesc(record, nullptr)), "Unknown datum!");
  EXPECT_EQ(Error_ErrNum(NmeaSentence_GetErrHandle(other)), 0);
  NmeaSentence_GetFieldCount(h);
  EXPECT_EQ(Error_ErrNum(record), 0);
  EXPECT_EQ(testsupport::Narrow(Error_ErrDesc(record, nullptr)), "");
  NmeaSentence_Delete(h);
  NmeaSentence_Delete(other);
}

}  // namespace
}  // namespace velmira

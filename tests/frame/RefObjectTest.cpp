// Reference counting, identity numbers, locks and the error records of the object frame.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "frame/RefObject.h"
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

TEST(RefObject, CountStartsAtOneAndCloseRunsOnceAtZero) {
  int closes = 0, destroyed = 0;
  auto* p = new Probe(&closes, &destroyed);
  EXPECT_EQ(p->RefCount(), 1u);
  p->AddRef();
  EXPECT_EQ(p->Release(), 1u);
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(destroyed, 0) << "Release must not free: the caller that sees 0 destroys";
  delete p;
  EXPECT_EQ(destroyed, 1);
}

TEST(RefObject, ReleaseObjectDestroysOnlyAtTheLastReference) {
  int closes = 0, destroyed = 0;
  auto* p = new Probe(&closes, &destroyed);
  p->AddRef();  // a second holder, as a parser keeping its latest fix
  ReleaseObject(p);
  EXPECT_EQ(destroyed, 0);
  ReleaseObject(p);
  EXPECT_EQ(destroyed, 1);
  ReleaseObject(nullptr);
}

TEST(RefObject, IdentityNumbersRiseByOneFromTheSharedCounter) {
  int c = 0, d = 0;
  Probe a(&c, &d), b(&c, &d);
  EXPECT_EQ(b.GetID(), a.GetID() + 1);
  EXPECT_GT(a.GetID(), 0u);
  a.SetID(77);
  EXPECT_EQ(a.GetID(), 77u);
}

// Without the lock two threads lose increments; with it the count is exact.
TEST(RefObject, LockedCountIsExactAcrossTwoThreads) {
  int closes = 0, destroyed = 0;
  auto* p = new Probe(&closes, &destroyed);
  p->CreateLock();
  p->CreateLock();  // a second call keeps the first lock
  ASSERT_NE(p->GetLock(), nullptr);
  constexpr int Rounds = 200000;
  std::atomic<bool> go{false};
  auto hammer = [&] {
    while (!go.load()) {
    }
    for (int i = 0; i < Rounds; ++i) p->AddRef();
    for (int i = 0; i < Rounds / 2; ++i) p->Release();
  };
  std::thread a(hammer), b(hammer);
  go = true;
  a.join();
  b.join();
  EXPECT_EQ(p->RefCount(), 1u + Rounds);
  // Releasing the rest from two threads reaches 0 exactly once.
  std::atomic<int> zeros{0};
  auto drain = [&] {
    for (int i = 0; i < Rounds / 2; ++i) zeros += p->Release() == 0;
  };
  std::thread c(drain), e(drain);
  c.join();
  e.join();
  EXPECT_EQ(zeros.load(), 0);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(closes, 1);
  delete p;
}

std::u16string Copy(BSTR s) { return s == nullptr ? u"" : std::u16string(s, SysStringLen(s)); }

TEST(ErrorExports, DescriptionFollowsTheRecordAndEmptyAfterSuccess) {
  VmNmeaSentence* h = NmeaSentence_New();
  VmError* record = NmeaSentence_GetErrHandle(h);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(Error_ErrNum(record), 0);
  BSTR out = nullptr;
  BSTR desc = Error_ErrDesc(record, &out);
  EXPECT_EQ(desc, out);
  ASSERT_NE(desc, nullptr) << "success gives an empty string, not null";
  EXPECT_EQ(SysStringLen(desc), 0u);

  // A failure left in the record is reported, then cleared by the next operation.
  reinterpret_cast<Error*>(record)->Set(errors::UnknownDatum);
  EXPECT_EQ(Error_ErrNum(record), 10003);
  EXPECT_EQ(Copy(Error_ErrDesc(record, nullptr)), u"Unknown datum!");
  NmeaSentence_GetFieldCount(h);
  EXPECT_EQ(Error_ErrNum(record), 0);
  EXPECT_EQ(Copy(Error_ErrDesc(record, nullptr)), u"");
  NmeaSentence_Delete(h);
}

TEST(ErrorExports, FailureOnAnotherObjectLeavesThisRecordAlone) {
  VmNmeaSentence* a = NmeaSentence_New();
  VmNmeaSentence* b = NmeaSentence_New();
  reinterpret_cast<Error*>(NmeaSentence_GetErrHandle(a))->Set(errors::PortMissing);
  NmeaSentence_GetFieldCount(b);
  EXPECT_EQ(Error_ErrNum(NmeaSentence_GetErrHandle(a)), 10007);
  EXPECT_EQ(Error_ErrNum(NmeaSentence_GetErrHandle(b)), 0);
  NmeaSentence_Delete(a);
  NmeaSentence_Delete(b);
}

}  // namespace
}  // namespace velmira

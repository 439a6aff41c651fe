// The object frame: the narrow string (construction from narrow and wide text, slicing,
// comparison, number reading, the wide copy), reference counting across threads, identity
// numbers and the error records.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "support/GpsMessages.h"
#include "velmira/velmira.h"

namespace velmira {
namespace {

using testsupport::Narrow;

std::u16string Wide(BSTR s) { return std::u16string(s, SysStringLen(s)); }
const WCHAR* W(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }

TEST(TextConstruction, NullAndNegativeSourcesAreEmptyWideUnitsKeepTheirLowByteAndLengthStops) {
  for (const Ref<Text>& t : {MakeRef<Text>(static_cast<const char*>(nullptr)), MakeRef<Text>(),
                             MakeRef<Text>(static_cast<const WCHAR*>(nullptr)),
                             MakeRef<Text>(static_cast<const WCHAR*>(nullptr), int16_t{5}),
                             MakeRef<Text>(W(u"$GPRMC"), int16_t{-3})}) {
    EXPECT_EQ(t->Length(), 0);
    EXPECT_STREQ(t->Chars(), "");
  }
  EXPECT_STREQ(MakeRef<Text>(W(u"$GPRMC,rest"), int16_t{6})->Chars(), "$GPRMC");
  // U+0080..U+00FF survive the round trip unchanged; U+0141 comes back as U+0041.
  Ref<Text> t = MakeRef<Text>(W(u"\u0141\u00e9\u00ff\u0080A"));
  EXPECT_EQ(std::string(t->Chars()), "\x41\xE9\xFF\x80" "A");
  EXPECT_EQ(Wide(t->GetWide()), std::u16string(u"A\u00e9\u00ff\u0080A"));
  Ref<Text> big = MakeRef<Text>(std::string(40000, 'x').c_str());
  EXPECT_EQ(big->Length(), Text::MaxLength) << "the largest 16-bit length";
  EXPECT_EQ(big->CharAt(Text::MaxLength - 1), 'x');
  EXPECT_EQ(big->CharAt(Text::MaxLength), 0);
}

TEST(TextSlicing, SubstringAndCharAtBoundsAndEmptyTextIsNeverEqual) {
  Ref<Text> t = MakeRef<Text>("$GPRMC,123519,A");
  Ref<Text> command = Ref<Text>::Adopt(t->Substring(3, 3));
  EXPECT_STREQ(command->Chars(), "RMC");
  EXPECT_EQ(command->RefCount(), 1u);
  EXPECT_STREQ(Ref<Text>::Adopt(t->Substring(13, 2))->Chars(), ",A") << "13 + 2 = 15 is inside";
  for (auto [start, count] : {std::pair{14, 2}, {-1, 2}, {2, -1}}) {
    EXPECT_EQ(Ref<Text>::Adopt(t->Substring(start, count))->Length(), 0) << start << " " << count;
  }
  EXPECT_EQ(t->CharAt(-1) + t->CharAt(t->Length()), 0);
  EXPECT_EQ(t->CharAt(0), '$');

  Ref<Text> empty = MakeRef<Text>(), rmc = MakeRef<Text>("RMC");
  EXPECT_FALSE(empty->Equals("") || empty->Equals(MakeRef<Text>("").Get()));
  EXPECT_FALSE(rmc->Equals(empty.Get()) || rmc->Equals(static_cast<const Text*>(nullptr)));
  EXPECT_FALSE(rmc->Equals(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(rmc->Equals("RM") || rmc->Equals("RMCX")) << "a prefix is not equal";
  EXPECT_TRUE(rmc->Equals("RMC") && rmc->Equals(MakeRef<Text>("RMC").Get()));
}

TEST(TextNumbers, LeadingNumberWinsIsCorrectlyRoundedAndTheRestIsIgnored) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* Text;
    double Double;
    int32_t Int32;
    int16_t Int16;
  } cases[] = {
      {"", 0, 0, 0},           {"123abc", 123, 123, 123}, {"4807.038", 4807.038, 4807, 4807},
      {"01131.000", 1131, 1131, 1131}, {"0.1", 0.1, 0, 0},  {"-0.5e2x", -50, 0, 0},
      {"+17", 17, 17, 17},     {"  42", 42, 42, 42},      {".5", 0.5, 0, 0},
      {".", 0, 0, 0},          {"-", 0, 0, 0},            {"1e", 1, 1, 1},
      {"2.5E+3", 2500, 2, 2},  {"abc", 0, 0, 0},          {"0x1A", 0, 0, 0},
      {"inf", 0, 0, 0},        {"nan", 0, 0, 0},  // NMEA has no words for numbers
      {"1e400", inf, 1, 1},    {"-1e400", -inf, -1, -1},  {"1e-400", 0, 1, 1},
      {"99999", 99999, 99999, 32767},  // 16-bit reads saturate
      {"-99999", -99999, -99999, -32768},
      {"99999999999", 99999999999.0, 2147483647, 32767},
  };
  for (const auto& c : cases) {
    Ref<Text> t = MakeRef<Text>(c.Text);
    EXPECT_EQ(t->ToDouble(), c.Double) << '"' << c.Text << '"';
    EXPECT_EQ(t->ToInt32(), c.Int32) << '"' << c.Text << '"';
    EXPECT_EQ(t->ToInt16(), c.Int16) << '"' << c.Text << '"';
  }
  EXPECT_TRUE(std::signbit(MakeRef<Text>("-0.0")->ToDouble()));
}

TEST(TextWide, GetWideIsMadeOnceNeverNullAndDetachHandsItOver) {
  Ref<Text> t = MakeRef<Text>("GSV");
  BSTR first = t->GetWide();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Narrow(first), "GSV");
  EXPECT_EQ(first[3], 0) << "NUL-terminated";
  EXPECT_EQ(t->GetWide(), first);
  BSTR taken = t->DetachWide();
  EXPECT_EQ(taken, first);
  EXPECT_EQ(Narrow(t->GetWide()), "GSV");
  SysFreeString(taken);  // the detached copy is ours; the new one stays the Text's
  Ref<Text> none = MakeRef<Text>();
  BSTR empty = none->GetWide();
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty) + empty[0], 0u);
}

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
  constexpr int Rounds = 500000;
  std::atomic<int> zeros{0};
  for (int step : {1, -1}) {  // up by two per round and thread, then down by as many
    std::atomic<int> started{0};
    auto hammer = [&] {
      for (++started; started.load() < 2;) {  // both run before either counts
      }
      for (int i = 0; i < Rounds; ++i) {
        p->AddRef();
        step > 0 ? p->AddRef() : void(zeros += p->Release() == 0);
        zeros += p->Release() == 0;
      }
    };
    std::thread a(hammer), b(hammer);
    a.join();
    b.join();
    EXPECT_EQ(p->RefCount(), step > 0 ? 1u + 2 * Rounds : 1u);
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
  // A failure left in the record is reported, survives an operation on another object, and
  // is cleared by the next operation on its own.
  reinterpret_cast<Error*>(record)->Set(errors::UnknownDatum);
  NmeaSentence_GetFieldCount(other);
  EXPECT_EQ(Error_ErrNum(record), 10003);
  EXPECT_EQ(Narrow(Error_ErrDesc(record, nullptr)), "Unknown datum!");
  EXPECT_EQ(Error_ErrNum(NmeaSentence_GetErrHandle(other)), 0);
  NmeaSentence_GetFieldCount(h);
  EXPECT_EQ(Error_ErrNum(record), 0);
  EXPECT_EQ(Narrow(Error_ErrDesc(record, nullptr)), "");
  NmeaSentence_Delete(h);
  NmeaSentence_Delete(other);
}

}  // namespace
}  // namespace velmira

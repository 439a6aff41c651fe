// The object frame: the narrow string (construction from narrow and wide text, slicing,
// comparison, number reading, the wide copy), reference counting across threads and identity
// numbers. The error records as the exports show them are checked by the C client in tests/abi.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "frame/BlockPool.h"
#include "frame/RefObject.h"
#include "frame/Text.h"
#include "gps/NmeaSentence.h"
#include "support/GpsMessages.h"

namespace velmira {
namespace {

using testsupport::Narrow;

const WCHAR* W(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }

TEST(TextConstruction, NullAndNegativeSourcesAreEmptyWideUnitsKeepTheirLowByteAndLengthStops) {
  for (const Ref<Text>& t : {MakeRef<Text>(static_cast<const char*>(nullptr)), MakeRef<Text>(),
                             MakeRef<Text>(static_cast<const WCHAR*>(nullptr)),
                             MakeRef<Text>(static_cast<const WCHAR*>(nullptr), int16_t{5}),
                             MakeRef<Text>(W(u"$GPRMC"), int16_t{-3})}) {
    EXPECT_EQ(t->Length() + std::string(t->Chars()).size(), 0u);
  }
  EXPECT_STREQ(MakeRef<Text>(W(u"$GPRMC,rest"), int16_t{6})->Chars(), "$GPRMC");
  // U+0080..U+00FF survive the round trip unchanged; U+0141 comes back as U+0041.
  Ref<Text> t = MakeRef<Text>(W(u"\u0141\u00e9\u00ff\u0080A"));
  EXPECT_EQ(std::string(t->Chars()), "\x41\xE9\xFF\x80" "A");
  BSTR wide = t->GetWide();
  EXPECT_EQ(std::u16string(wide, SysStringLen(wide) + 1), std::u16string(u"A\u00e9\u00ff\u0080A", 6));
  Ref<Text> big = MakeRef<Text>(std::string(40000, 'x').c_str());
  EXPECT_EQ(big->Length(), Text::MaxLength) << "the largest 16-bit length";
  EXPECT_EQ(big->CharAt(Text::MaxLength - 1) + big->CharAt(Text::MaxLength), 'x');
}

TEST(TextSlicing, SubstringAndCharAtBoundsAndEmptyTextIsNeverEqual) {
  Ref<Text> t = MakeRef<Text>("$GPRMC,123519,A");
  Ref<Text> command = Ref<Text>::Adopt(t->Substring(3, 3));
  EXPECT_EQ(command->Chars() + std::to_string(command->RefCount()), "RMC1");
  EXPECT_STREQ(Ref<Text>::Adopt(t->Substring(13, 2))->Chars(), ",A") << "13 + 2 = 15 is inside";
  for (auto [start, count] : {std::pair{14, 2}, {-1, 2}, {2, -1}}) {
    EXPECT_EQ(Ref<Text>::Adopt(t->Substring(start, count))->Length(), 0) << start << " " << count;
  }
  EXPECT_EQ(t->CharAt(-1) + t->CharAt(t->Length()) + t->CharAt(0), '$');
  Ref<Text> empty = MakeRef<Text>(), rmc = MakeRef<Text>("RMC");
  EXPECT_FALSE(empty->Equals("") || empty->Equals(MakeRef<Text>("").Get()));
  EXPECT_FALSE(rmc->Equals(empty.Get()) || rmc->Equals(static_cast<const Text*>(nullptr)));
  EXPECT_FALSE(rmc->Equals(static_cast<const char*>(nullptr)));
  EXPECT_FALSE(rmc->Equals("RM") || rmc->Equals("RMCX")) << "a prefix is not equal";
  EXPECT_TRUE(rmc->Equals("RMC") && rmc->Equals(MakeRef<Text>("RMC").Get()));
}

TEST(TextNumbers, LeadingNumberWinsIsCorrectlyRoundedAndTheRestIsIgnored) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct { const char* Text; double Double; int32_t Int32; int16_t Int16; } cases[] = {
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
      {"10000000000000000000", 1e19, 2147483647, 32767},  // past 64 bits too
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
  Ref<Text> t = MakeRef<Text>("GSV"), none = MakeRef<Text>();
  BSTR first = t->GetWide();
  EXPECT_EQ(t->GetWide(), first);
  EXPECT_EQ(t->DetachWide(), first);
  EXPECT_EQ(Narrow(t->GetWide()) + Narrow(first), "GSVGSV");
  SysFreeString(first);  // the detached copy is ours; the new one stays the Text's
  ASSERT_NE(none->GetWide(), nullptr);
  EXPECT_EQ(SysStringLen(none->GetWide()) + none->GetWide()[0], 0u);
}

// Counts Close and destruction so tests can see exactly when each happens.
struct Probe : RefObject {
  Probe(int* closes, int* destroyed) : Closes(closes), Destroyed(destroyed) {}
  ~Probe() override { ++*Destroyed; }
  void Close() override { ++*Closes; }
  int *Closes, *Destroyed;
};

TEST(RefObject, CloseRunsOnceAtZeroAndReleaseObjectDestroysOnlyAtTheLastReference) {
  int closes = 0, destroyed = 0;
  auto* p = new Probe(&closes, &destroyed);
  p->AddRef();
  EXPECT_EQ(p->Release(), 1u);
  EXPECT_EQ(p->Release(), 0u);
  EXPECT_EQ(closes * 10 + destroyed, 10) << "Release must not free: the caller that sees 0 does";
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
  // A sentence's fields take their numbers in bulk, yet as if made one by one, in order.
  auto sentence = testsupport::Sentence("GPGLL,4916.45,N,12311.12,W,225444,A");
  const int16_t fields = sentence->GetFieldCount();
  ASSERT_EQ(fields, 6);
  const uint32_t first = sentence->Fields(1)->GetID();
  EXPECT_GT(first, b.GetID());
  for (int16_t i = 1; i <= fields; ++i) EXPECT_EQ(sentence->Fields(i)->GetID(), first + i - 1u);
  Probe c(&closes, &destroyed);
  EXPECT_EQ(c.GetID(), first + 6u);
}

// Without the lock two threads lose increments; with it the count is exact and reaches 0 once.
// Blocks made on one thread and freed on another, of every pooled size and beyond, while both
// threads also use blocks of their own: no live block ever shares a byte with another (each
// is filled with its number and checked when freed), and a thread that ends with blocks in
// its lists hands them on.
TEST(BlockPool, BlocksCrossThreadsWithoutOverlapping) {
  constexpr int32_t Count = 20000;
  struct Handed {
    uint8_t* Block;
    size_t Bytes;
  };
  std::vector<Handed> handed(Count);
  std::atomic<int32_t> ready{0};
  auto fill = [](uint8_t* b, size_t bytes, int32_t n) { std::memset(b, n & 0xFF, bytes); };
  auto intact = [](const uint8_t* b, size_t bytes, int32_t n) {
    return std::all_of(b, b + bytes, [n](uint8_t v) { return v == (n & 0xFF); });
  };
  for (int round = 0; round < 2; ++round) {
    std::thread maker([&] {
      std::vector<Handed> own;
      for (int32_t i = 0; i < Count; ++i) {
        const size_t bytes = 1 + static_cast<size_t>(i * 37) % (BlockPool::MaxBytes + 40);
        auto* b = static_cast<uint8_t*>(BlockPool::Allocate(bytes));
        fill(b, bytes, i);
        handed[static_cast<size_t>(i)] = {b, bytes};
        ready.store(i + 1, std::memory_order_release);
        if (i % 3 == 0) {
          own.push_back({static_cast<uint8_t*>(BlockPool::Allocate(bytes)), bytes});
          fill(own.back().Block, bytes, i + 128);  // would show in a handed block it overlapped
        }
        if (i % 7 == 0 && !own.empty()) {
          BlockPool::Free(own.back().Block, own.back().Bytes);
          own.pop_back();
        }
      }
      for (const Handed& h : own) BlockPool::Free(h.Block, h.Bytes);  // the thread ends with blocks in its lists
    });
    for (int32_t i = 0; i < Count; ++i) {
      while (ready.load(std::memory_order_acquire) <= i) std::this_thread::yield();
      const Handed h = handed[static_cast<size_t>(i)];
      ASSERT_TRUE(intact(h.Block, h.Bytes, i)) << "round " << round << ", block " << i << " of " << h.Bytes << " bytes";
      BlockPool::Free(h.Block, h.Bytes);
      auto* mine = static_cast<uint8_t*>(BlockPool::Allocate(h.Bytes));  // reuses what it freed
      fill(mine, h.Bytes, i + 128);
      BlockPool::Free(mine, h.Bytes);
    }
    maker.join();
    ready.store(0);
  }
}

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

}  // namespace
}  // namespace velmira

// The narrow string: construction from narrow and wide text, slicing, comparison, number
// reading and the wide copy.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "frame/Text.h"
#include "support/GpsMessages.h"

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

}  // namespace
}  // namespace velmira

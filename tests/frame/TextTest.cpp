// The narrow string: construction from narrow and wide text, slicing, comparison, number
// reading and the wide copy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "frame/Text.h"

namespace velmira {
namespace {

std::u16string Wide(BSTR s) { return std::u16string(s, SysStringLen(s)); }

TEST(TextConstruction, NullSourcesGiveEmptyText) {
  Ref<Text> a = MakeRef<Text>(static_cast<const char*>(nullptr));
  Ref<Text> b = MakeRef<Text>(static_cast<const WCHAR*>(nullptr));
  Ref<Text> c = MakeRef<Text>(static_cast<const WCHAR*>(nullptr), int16_t{5});
  Ref<Text> d = MakeRef<Text>();
  for (const Ref<Text>& t : {a, b, c, d}) {
    EXPECT_EQ(t->Length(), 0);
    EXPECT_STREQ(t->Chars(), "");
  }
}

TEST(TextConstruction, WideUnitsKeepTheirLowByte) {
  const char16_t text[] = u"\u0141\u00e9\u00ff\u0080A";
  Ref<Text> t = MakeRef<Text>(reinterpret_cast<const WCHAR*>(text));
  ASSERT_EQ(t->Length(), 5);
  EXPECT_EQ(static_cast<unsigned char>(t->CharAt(0)), 0x41) << "U+0141 becomes 0x41";
  EXPECT_EQ(static_cast<unsigned char>(t->CharAt(1)), 0xE9);
  EXPECT_EQ(static_cast<unsigned char>(t->CharAt(2)), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(t->CharAt(3)), 0x80);
  // U+0080..U+00FF survive the round trip unchanged; U+0141 comes back as U+0041.
  EXPECT_EQ(Wide(t->GetWide()), std::u16string(u"A\u00e9\u00ff\u0080A"));
}

TEST(TextConstruction, CountedWideTakesExactlyCountUnits) {
  const char16_t text[] = u"$GPRMC,rest";
  Ref<Text> t = MakeRef<Text>(reinterpret_cast<const WCHAR*>(text), int16_t{6});
  EXPECT_STREQ(t->Chars(), "$GPRMC");
  Ref<Text> none = MakeRef<Text>(reinterpret_cast<const WCHAR*>(text), int16_t{-3});
  EXPECT_EQ(none->Length(), 0);
}

TEST(TextConstruction, LongSourcesStopAtTheLargestSixteenBitLength) {
  std::string big(40000, 'x');
  Ref<Text> t = MakeRef<Text>(big.c_str());
  EXPECT_EQ(t->Length(), Text::MaxLength);
  EXPECT_EQ(t->CharAt(Text::MaxLength - 1), 'x');
  EXPECT_EQ(t->CharAt(Text::MaxLength), 0);
}

TEST(TextSlicing, SubstringAndCharAtBounds) {
  Ref<Text> t = MakeRef<Text>("$GPRMC,123519,A");
  Ref<Text> command = Ref<Text>::Adopt(t->Substring(3, 3));
  EXPECT_STREQ(command->Chars(), "RMC");
  EXPECT_EQ(command->RefCount(), 1u);
  Ref<Text> tail = Ref<Text>::Adopt(t->Substring(13, 2));
  EXPECT_STREQ(tail->Chars(), ",A") << "13 + 2 = 15 is the length: still inside";
  EXPECT_EQ(Ref<Text>::Adopt(t->Substring(14, 2))->Length(), 0) << "past the end gives empty";
  EXPECT_EQ(Ref<Text>::Adopt(t->Substring(-1, 2))->Length(), 0);
  EXPECT_EQ(Ref<Text>::Adopt(t->Substring(2, -1))->Length(), 0);
  EXPECT_EQ(t->CharAt(-1), 0);
  EXPECT_EQ(t->CharAt(0), '$');
  EXPECT_EQ(t->CharAt(t->Length()), 0);
}

TEST(TextComparison, EmptyTextIsNeverEqual) {
  Ref<Text> empty = MakeRef<Text>();
  Ref<Text> alsoEmpty = MakeRef<Text>("");
  Ref<Text> rmc = MakeRef<Text>("RMC");
  EXPECT_FALSE(empty->Equals(""));
  EXPECT_FALSE(empty->Equals(alsoEmpty.Get()));
  EXPECT_FALSE(rmc->Equals(empty.Get()));
  EXPECT_FALSE(rmc->Equals(static_cast<const Text*>(nullptr)));
  EXPECT_FALSE(rmc->Equals(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(rmc->Equals("RMC"));
  EXPECT_FALSE(rmc->Equals("RM")) << "a prefix is not equal";
  EXPECT_FALSE(rmc->Equals("RMCX"));
  EXPECT_TRUE(rmc->Equals(Ref<Text>::Adopt(new Text("RMC")).Get()));
}

struct NumberCase {
  const char* Text;
  double Double;
  int32_t Int32;
  int16_t Int16;
};

TEST(TextNumbers, LeadingNumberWinsAndTheRestIsIgnored) {
  const NumberCase cases[] = {
      {"", 0, 0, 0},
      {"123abc", 123, 123, 123},
      {"4807.038", 4807.038, 4807, 4807},
      {"-0.5e2x", -50, 0, 0},
      {"+17", 17, 17, 17},
      {"  42", 42, 42, 42},
      {".5", 0.5, 0, 0},
      {".", 0, 0, 0},
      {"-", 0, 0, 0},
      {"1e", 1, 1, 1},
      {"2.5E+3", 2500, 2, 2},
      {"abc", 0, 0, 0},
      {"inf", 0, 0, 0},    // NMEA has no words for numbers
      {"nan", 0, 0, 0},
      {"0x1A", 0, 0, 0},
      {"99999", 99999, 99999, 32767},  // 16-bit reads saturate
      {"-99999", -99999, -99999, -32768},
      {"99999999999", 99999999999.0, 2147483647, 32767},
  };
  for (const NumberCase& c : cases) {
    Ref<Text> t = MakeRef<Text>(c.Text);
    EXPECT_DOUBLE_EQ(t->ToDouble(), c.Double) << '"' << c.Text << '"';
    EXPECT_EQ(t->ToInt32(), c.Int32) << '"' << c.Text << '"';
    EXPECT_EQ(t->ToInt16(), c.Int16) << '"' << c.Text << '"';
  }
}

TEST(TextNumbers, DecimalReadingIsCorrectlyRounded) {
  // 4807.038 must be the nearest double, not an accumulated approximation.
  EXPECT_EQ(MakeRef<Text>("4807.038")->ToDouble(), 4807.038);
  EXPECT_EQ(MakeRef<Text>("01131.000")->ToDouble(), 1131.0);
  EXPECT_EQ(MakeRef<Text>("0.1")->ToDouble(), 0.1);
  EXPECT_EQ(MakeRef<Text>("1e400")->ToDouble(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(MakeRef<Text>("-1e400")->ToDouble(), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(MakeRef<Text>("1e-400")->ToDouble(), 0.0);
  EXPECT_TRUE(std::signbit(MakeRef<Text>("-0.0")->ToDouble()));
}

TEST(TextWide, GetWideIsMadeOnceAndDetachHandsItOver) {
  Ref<Text> t = MakeRef<Text>("GSV");
  BSTR first = t->GetWide();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Wide(first), u"GSV");
  EXPECT_EQ(first[3], 0) << "NUL-terminated";
  EXPECT_EQ(t->GetWide(), first);
  BSTR taken = t->DetachWide();
  EXPECT_EQ(taken, first);
  BSTR again = t->GetWide();
  EXPECT_NE(again, nullptr);
  EXPECT_EQ(Wide(again), u"GSV");
  SysFreeString(taken);  // the detached copy is ours; the new one stays the Text's
}

TEST(TextWide, EmptyTextGivesEmptyWideStringNotNull) {
  Ref<Text> t = MakeRef<Text>();
  BSTR w = t->GetWide();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(SysStringLen(w), 0u);
  EXPECT_EQ(w[0], 0);
}

}  // namespace
}  // namespace velmira

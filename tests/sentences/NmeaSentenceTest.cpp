// Sentence kinds, field counting and splitting, and the sentence exports' string ownership.
#include <gtest/gtest.h>

#include <string>

#include "api/Export.h"
#include "gps/NmeaSentence.h"

namespace velmira {
namespace {

Ref<NmeaSentence> Sentence(const std::string& text) {
  return MakeRef<NmeaSentence>(MakeRef<Text>(text.c_str()));
}

std::string Field(NmeaSentence& s, int16_t index) {
  Text* t = s.Fields(index);
  return t == nullptr ? "<none>" : t->Chars();
}

TEST(SentenceKinds, ByFormatterWhateverTheTalker) {
  struct Case {
    const char* Text;
    int16_t Kind;
  } cases[] = {
      {"$GPRMC,1*00", KindRmc}, {"$GNGLL,1*00", KindGll}, {"$GLGGA,1*00", KindGga},
      {"$GPGSV,1*00", KindGsv}, {"$BDGSA,1*00", KindGsa}, {"$GPVTG,1*00", KindVtg},
      {"$PGRME,1*00", KindOther},  // proprietary: delivered, but no kind
      {"$GPrmc,1*00", KindOther},  // commands are case-sensitive
      {"$GP", KindOther},          // too short for a command
  };
  for (const Case& c : cases) {
    Ref<NmeaSentence> s = Sentence(c.Text);
    EXPECT_EQ(s->GetType(), c.Kind) << c.Text;
  }
  Ref<Text> command = Ref<Text>::Adopt(Sentence("$PGRME,1*00")->GetCommand());
  EXPECT_STREQ(command->Chars(), "RME");
}

TEST(SentenceFields, CountSplitAndBounds) {
  Ref<NmeaSentence> s = Sentence("$GPGGA,123519,4807.038,N,,,1,,*47");
  ASSERT_EQ(s->GetFieldCount(), 8);
  EXPECT_EQ(Field(*s, 1), "123519");
  EXPECT_EQ(Field(*s, 2), "4807.038");
  EXPECT_EQ(Field(*s, 4), "") << "consecutive commas give an empty field, not an absent one";
  EXPECT_NE(s->Fields(4), nullptr);
  EXPECT_EQ(Field(*s, 6), "1");
  EXPECT_EQ(Field(*s, 8), "") << "the checksum after '*' is not a field";
  EXPECT_EQ(s->Fields(0), nullptr);
  EXPECT_EQ(s->Fields(9), nullptr);
  EXPECT_EQ(s->Fields(-1), nullptr);
  EXPECT_EQ(s->Fields(1), s->Fields(1)) << "split once and kept";
  s->ReleaseFields();  // as the parser does before it hands a sentence on
  EXPECT_EQ(Field(*s, 2), "4807.038") << "split again on the next read";
  EXPECT_EQ(Field(*s, 8), "");
}

TEST(SentenceFields, LongFieldIsCutWithoutShiftingTheNext) {
  std::string big(300, 'x');
  Ref<NmeaSentence> s = Sentence("$GPTXT," + big + ",next*00");
  ASSERT_EQ(s->GetFieldCount(), 2);
  EXPECT_EQ(Field(*s, 1), std::string(NmeaSentence::MaxFieldLength, 'x'));
  EXPECT_EQ(Field(*s, 2), "next");
}

TEST(SentenceFields, CommasAfterTheStarStillGiveEveryCountedField) {
  Ref<NmeaSentence> s = Sentence("$GPX,a*1,2");
  ASSERT_EQ(s->GetFieldCount(), 2);
  EXPECT_EQ(Field(*s, 1), "a");
  EXPECT_EQ(Field(*s, 2), "2");
}

TEST(SentenceWithoutText, GettersAreEmptyAndNothingFails) {
  NmeaSentence s;
  EXPECT_EQ(s.GetType(), KindOther);
  EXPECT_EQ(s.GetFieldCount(), 0);
  EXPECT_EQ(s.Fields(1), nullptr);
  Ref<Text> text = Ref<Text>::Adopt(s.GetSentence());
  Ref<Text> command = Ref<Text>::Adopt(s.GetCommand());
  EXPECT_EQ(text->Length(), 0);
  EXPECT_EQ(command->Length(), 0);
}

std::u16string Wide(BSTR s) { return s == nullptr ? u"<null>" : std::u16string(s, SysStringLen(s)); }

TEST(SentenceExports, KeptStringsOutliveTheSentenceUntilTheNextCall) {
  auto* s = api::Wrap<VmNmeaSentence>(Sentence("$GPRMC,1,2*00").Detach());
  BSTR out = nullptr;
  BSTR command = NmeaSentence_GetCommand(s, &out);
  EXPECT_EQ(command, out);
  BSTR text = NmeaSentence_GetSentence(s, nullptr);
  NmeaSentence_Delete(s);
  // The slots still hold their Texts, so the strings stay readable (ASan would catch a
  // use after free here).
  EXPECT_EQ(Wide(command), u"RMC");
  EXPECT_EQ(Wide(text), u"$GPRMC,1,2*00");

  auto* other = api::Wrap<VmNmeaSentence>(Sentence("$GPGGA,9*00").Detach());
  EXPECT_EQ(Wide(NmeaSentence_GetCommand(other, nullptr)), u"GGA");
  NmeaSentence_Delete(other);
}

TEST(SentenceExports, FieldsAreHeldByTheSentence) {
  auto* s = api::Wrap<VmNmeaSentence>(Sentence("$GPGSV,3,1,,x*00").Detach());
  EXPECT_EQ(NmeaSentence_GetFieldCount(s), 4);
  BSTR out = reinterpret_cast<BSTR>(1);
  BSTR first = NmeaSentence_Fields(s, 1, &out);
  EXPECT_EQ(first, out);
  EXPECT_EQ(Wide(first), u"3");
  EXPECT_EQ(NmeaSentence_Fields(s, 1, nullptr), first) << "asking again gives the same string";
  BSTR empty = NmeaSentence_Fields(s, 3, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(NmeaSentence_Fields(s, 5, &out), nullptr);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Wide(NmeaSentence_Fields(s, 4, nullptr)), u"x");
  NmeaSentence_Delete(s);
}

}  // namespace
}  // namespace velmira

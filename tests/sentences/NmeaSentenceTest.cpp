// Sentence kinds, field counting and splitting, and the sentence exports' string ownership.
#include <gtest/gtest.h>

#include <string>

#include "api/Export.h"
#include "gps/NmeaSentence.h"
#include "support/GpsMessages.h"

namespace velmira {
namespace {

using testsupport::Narrow;

Ref<NmeaSentence> Sentence(const std::string& text) {
  return MakeRef<NmeaSentence>(MakeRef<Text>(text.c_str()));
}

TEST(SentenceKinds, ByFormatterWhateverTheTalker) {
  const std::pair<const char*, int16_t> cases[] = {
      {"$GPRMC,1*00", KindRmc}, {"$GNGLL,1*00", KindGll}, {"$GLGGA,1*00", KindGga},
      {"$GPGSV,1*00", KindGsv}, {"$BDGSA,1*00", KindGsa}, {"$GPVTG,1*00", KindVtg},
      {"$PGRME,1*00", KindOther},  // proprietary: delivered, but no kind
      {"$GPrmc,1*00", KindOther},  // commands are case-sensitive
      {"$GP", KindOther},          // too short for a command
      {"", KindOther}};
  for (auto [text, kind] : cases) EXPECT_EQ(Sentence(text)->GetType(), kind) << text;
  EXPECT_STREQ(Ref<Text>::Adopt(Sentence("$PGRME,1*00")->GetCommand())->Chars(), "RME");
}

TEST(SentenceFields, CountAndEveryFieldMatchTheSplitAtCommas) {
  const struct {
    const char* Name;
    std::string Text;
    std::vector<std::string> Fields;
  } cases[] = {
      {"empty fields are fields, the checksum is not", "$GPGGA,123519,4807.038,N,,,1,,*47",
       {"123519", "4807.038", "N", "", "", "1", "", ""}},
      {"a long field is cut, not shifting the next", "$GPTXT," + std::string(300, 'x') + ",next*00",
       {std::string(NmeaSentence::MaxFieldLength, 'x'), "next"}},
      {"commas after the star still give every counted field", "$GPX,a*1,2", {"a", "2"}},
      {"no text", "", {}},
  };
  for (const auto& c : cases) {
    Ref<NmeaSentence> s = Sentence(c.Text);
    ASSERT_EQ(s->GetFieldCount(), static_cast<int16_t>(c.Fields.size())) << c.Name;
    for (int16_t i = -1; i <= static_cast<int16_t>(c.Fields.size()) + 1; ++i) {
      const bool inside = i >= 1 && i <= static_cast<int16_t>(c.Fields.size());
      Text* field = s->Fields(i);
      EXPECT_EQ(field == nullptr ? "<none>" : field->Chars(), inside ? c.Fields[i - 1] : "<none>")
          << c.Name << ", field " << i;
    }
  }
}

TEST(SentenceExports, FieldsAreHeldByTheSentenceAndKeptStringsOutliveItUntilTheNextCall) {
  auto* s = api::Wrap<VmNmeaSentence>(Sentence("$GPGSV,3,1,,x*00").Detach());
  BSTR out = nullptr;
  BSTR command = NmeaSentence_GetCommand(s, &out);
  EXPECT_EQ(command, out);
  BSTR first = NmeaSentence_Fields(s, 1, &out);
  EXPECT_EQ(first, out);
  EXPECT_EQ(Narrow(first), "3");
  EXPECT_EQ(NmeaSentence_Fields(s, 1, nullptr), first) << "asking again gives the same string";
  BSTR empty = NmeaSentence_Fields(s, 3, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(NmeaSentence_Fields(s, 5, &out), nullptr);
  EXPECT_EQ(out, nullptr);
  BSTR text = NmeaSentence_GetSentence(s, nullptr);
  NmeaSentence_Delete(s);
  // The slots still hold their Texts, so the strings stay readable (ASan would catch a use
  // after free here) until the next call of the same export replaces them.
  EXPECT_EQ(Narrow(command), "GSV");
  EXPECT_EQ(Narrow(text), "$GPGSV,3,1,,x*00");
  auto* other = api::Wrap<VmNmeaSentence>(Sentence("$GPGGA,9*00").Detach());
  EXPECT_EQ(Narrow(NmeaSentence_GetCommand(other, nullptr)), "GGA");
  NmeaSentence_Delete(other);
}

}  // namespace
}  // namespace velmira

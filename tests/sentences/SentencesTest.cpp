// Framing a byte stream into checksummed sentences (pieces, broken starts, checksums, the
// circular store's 16-bit counters), then each sentence's kind and fields, and the sentence
// exports' string ownership.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "api/Export.h"
#include "frame/Text.h"
#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"
#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"

namespace velmira {
namespace {

using test::WithChecksum;
using testsupport::Line;
using testsupport::Narrow;

bool Append(SentenceBuffer& buffer, const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  return buffer.Append(data, static_cast<int>(bytes.size()));
}

std::string Take(SentenceBuffer& buffer) {
  Ref<Text> text = Ref<Text>::Adopt(Ref<NmeaSentence>::Adopt(buffer.TakeSentence())->GetSentence());
  return std::string(text->Chars(), static_cast<size_t>(text->Length()));
}

const std::string Rmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";
const std::string Gga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

TEST(SentenceFraming, NamedStreams) {
  std::string badSum = WithChecksum(Rmc);
  badSum.back() = badSum.back() == '0' ? '1' : '0';
  // 511 pending bytes is the most the store can tell from none, so 509 characters plus CR LF
  // is the longest sentence that frames.
  const std::string longest = WithChecksum("GPLNG," + std::string(509 - 10, 'A'));
  ASSERT_EQ(longest.size(), 509u);
  const std::string R = WithChecksum(Rmc), G = WithChecksum(Gga);
  // The pieces are appended one by one, the sentences taken after each.
  const struct { const char* Name; std::vector<std::string> Pieces, Want; } cases[] = {
      {"one sentence, handed on without its line end", {Line(Rmc)}, {R}},
      {"garbage before the start", {"\x01\xff garbage,*12\r\n" + Line(Rmc)}, {R}},
      {"a second $ abandons the broken start", {"$GPGGA,123519,48" + Line(Rmc)}, {R}},
      {"a newer start in a later piece",
       {"junk$GPRMC,1", Line(Gga).substr(0, 10), Line(Gga).substr(10)}, {G}},
      {"no checksum", {"$" + Rmc + "\r\n"}, {}},
      {"star without digits", {"$" + Rmc + "*\r\n"}, {}},
      {"CR before the star", {WithChecksum("GPXXX\r") + "\r\n"}, {}},
      {"bad checksum, and the search goes on after it", {badSum + "\r\n" + Line(Gga)}, {G}},
      {"LF without CR does not end a sentence", {R + "\n"}, {}},
      {"upper-case letter as the low digit", {"$J*4A\r\n"}, {"$J*4A"}},
      {"lower-case low digit never matches", {"$J*4a\r\n"}, {}},
      // In the high place the lower-case excess is 32 x 16 = 512, which vanishes modulo 256.
      {"lower-case high digit", {"$\xA1*a1\r\n"}, {"$\xA1*a1"}},
      // Found by fuzzing: CR and LF give -42 and -45, and -42 x 16 - 45 = -717, which is 51
      // ("3") modulo 256. The digit rule accepts it; the text handed on is "$3*".
      {"star right before the line end", {"$3*\r\n"}, {"$3*"}},
      {"star right before the line end, other sum", {"$4*\r\n"}, {}},
      {"longest sentence", {longest + "\r\n"}, {longest}},
      {"longest across the store's edge", {std::string(300, 'x'), longest + "\r\n"}, {longest}},
      {"overflow loses only the oldest bytes", {std::string(600, '$') + Line(Rmc)}, {R}},
  };
  for (const auto& c : cases) {
    SentenceBuffer buffer;
    std::vector<std::string> found;
    for (const std::string& piece : c.Pieces) {
      Append(buffer, piece);
      while (buffer.FindSentence()) found.push_back(Take(buffer));
    }
    EXPECT_EQ(found, c.Want) << c.Name;
  }
}

// Well past 65,536 bytes, in two pieces per line cut anywhere, straddling the 512-byte store
// edge and the 16-bit counters' wrap, each sentence after random noise and a broken start; an
// append tells whether it brought an LF. Noise may fake the odd sentence (a random
// "$..*HH\r\n" passes 1 in 256) but never hides a real one.
TEST(SentenceStore, CountersWrapAndNoiseNeverHidesASentence) {
  SentenceBuffer buffer;
  std::mt19937 random(7);
  uint32_t total = 0;
  for (int n = 0; total < 3u * 65536u; ++n) {
    std::string line;
    for (int i = random() % 64; i > 0; --i) line.push_back(static_cast<char>(random()));
    const std::string body = "GPGGA," + std::to_string(n) + ",4807.038,N,01131.000,E,1,08,0.9," +
                             std::string(random() % 40, '9');
    line += "\r\n$GP" + Line(body);
    const size_t cut = random() % line.size();  // the LF is always in the second piece
    total += static_cast<uint32_t>(line.size());
    std::string last;
    for (const std::string& piece : {line.substr(0, cut), line.substr(cut)}) {
      EXPECT_EQ(Append(buffer, piece), piece.find('\n') != std::string::npos) << "line " << n;
      while (buffer.FindSentence()) {
        last = Take(buffer);
        ASSERT_TRUE(last[0] == '$' && last.find('*') != std::string::npos) << last;
      }
    }
    ASSERT_EQ(last, WithChecksum(body)) << "sentence " << n << " at byte " << total;
  }
  EXPECT_EQ(buffer.WriteCount(), static_cast<uint16_t>(total));
}

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
  const struct { const char* Name; std::string Text; std::vector<std::string> Fields; } cases[] = {
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
    s->ReleaseFields();  // as the parser does before it hands a sentence on
    if (!c.Fields.empty()) {
      EXPECT_EQ(s->Fields(1)->Chars(), c.Fields[0]) << c.Name << ", split again";
    }
  }
}

// Field strings belong to the sentence's field texts; the kept strings of the other exports
// outlive the sentence, until the next call of the same export.
TEST(SentenceExports, FieldsAreHeldByTheSentenceAndKeptStringsOutliveIt) {
  auto* s = api::Wrap<VmNmeaSentence>(Sentence("$GPGSV,3,1,,x*00").Detach());
  BSTR out = nullptr, first = NmeaSentence_Fields(s, 1, &out);
  EXPECT_TRUE(first == out && Narrow(first) == "3");
  EXPECT_EQ(NmeaSentence_Fields(s, 1, nullptr), first) << "asking again gives the same string";
  BSTR empty = NmeaSentence_Fields(s, 3, nullptr);
  EXPECT_TRUE(empty != nullptr && SysStringLen(empty) == 0);
  BSTR command = NmeaSentence_GetCommand(s, nullptr), text = NmeaSentence_GetSentence(s, nullptr);
  NmeaSentence_Delete(s);
  // The slots still hold their Texts (ASan would catch a use after free here).
  EXPECT_EQ(Narrow(command) + " " + Narrow(text), "GSV $GPGSV,3,1,,x*00");
}

}  // namespace
}  // namespace velmira

// Framing a byte stream into checksummed sentences: pieces, broken starts, checksums, and
// the circular store's 16-bit counters.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "frame/Text.h"
#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"

namespace velmira {
namespace {

// "$" + body + "*HH" with the XOR of the body in upper-case hex.
std::string WithChecksum(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

std::string Line(const std::string& body) { return WithChecksum(body) + "\r\n"; }

bool Append(SentenceBuffer& buffer, const std::string& bytes) {
  return buffer.Append(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
}

std::string Take(SentenceBuffer& buffer) {
  Ref<NmeaSentence> s = Ref<NmeaSentence>::Adopt(buffer.TakeSentence());
  Ref<Text> text = Ref<Text>::Adopt(s->GetSentence());
  return std::string(text->Chars(), static_cast<size_t>(text->Length()));
}

// Every sentence the buffer yields for the bytes, appended in one piece.
std::vector<std::string> Frame(const std::string& bytes) {
  SentenceBuffer buffer;
  Append(buffer, bytes);
  std::vector<std::string> found;
  while (buffer.FindSentence()) found.push_back(Take(buffer));
  return found;
}

const std::string Rmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";
const std::string Gga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

TEST(SentenceFraming, OneSentenceWithoutItsLineEnd) {
  EXPECT_EQ(Frame(Line(Rmc)), std::vector<std::string>{WithChecksum(Rmc)});
}

TEST(SentenceFraming, AppendReportsWhetherAnLfArrived) {
  SentenceBuffer buffer;
  EXPECT_FALSE(Append(buffer, "$GPRMC,1"));
  EXPECT_FALSE(Append(buffer, "\r"));
  EXPECT_TRUE(Append(buffer, "\nx"));
  EXPECT_FALSE(Append(buffer, ""));
}

TEST(SentenceFraming, SentenceSplitAcrossAppendsIsFoundAfterTheSecond) {
  const std::string line = Line(Gga);
  for (size_t cut = 1; cut < line.size(); ++cut) {
    SentenceBuffer buffer;
    Append(buffer, line.substr(0, cut));
    EXPECT_FALSE(buffer.FindSentence()) << "cut at " << cut;
    Append(buffer, line.substr(cut));
    ASSERT_TRUE(buffer.FindSentence()) << "cut at " << cut;
    EXPECT_EQ(Take(buffer), WithChecksum(Gga));
    EXPECT_FALSE(buffer.FindSentence());
  }
}

TEST(SentenceFraming, ByteAtATimeFindsEverySentenceOnce) {
  const std::string stream = Line(Rmc) + Line(Gga) + Line("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
  SentenceBuffer buffer;
  std::vector<std::string> found;
  for (char c : stream) {
    Append(buffer, std::string(1, c));
    while (buffer.FindSentence()) found.push_back(Take(buffer));
  }
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[1], WithChecksum(Gga));
}

TEST(SentenceFraming, GarbageBeforeTheStartIsSkipped) {
  EXPECT_EQ(Frame("\x01\xff garbage,*12\r\n" + Line(Rmc)), std::vector<std::string>{WithChecksum(Rmc)});
}

TEST(SentenceFraming, SecondDollarAbandonsTheBrokenStart) {
  // The receiver restarted mid-sentence: the sentence from the last "$" is the one checked.
  std::string broken = "$GPGGA,123519,48" + Line(Rmc);
  EXPECT_EQ(Frame(broken), std::vector<std::string>{WithChecksum(Rmc)});
}

TEST(SentenceFraming, IncompleteSentenceWaitsAtItsDollar) {
  SentenceBuffer buffer;
  Append(buffer, "junk$GPRMC,1");
  EXPECT_FALSE(buffer.FindSentence());
  EXPECT_EQ(buffer.ScanPosition(), 4) << "the scan waits at the last \"$\"";
  Append(buffer, Line(Gga).substr(0, 10));  // a newer start arrives
  EXPECT_FALSE(buffer.FindSentence());
  EXPECT_EQ(buffer.ScanPosition(), 12);
  Append(buffer, Line(Gga).substr(10));
  ASSERT_TRUE(buffer.FindSentence());
  EXPECT_EQ(Take(buffer), WithChecksum(Gga));
}

TEST(SentenceChecksums, MissingOrBadChecksumsAreDroppedSilently) {
  const std::string good = Line(Gga);
  EXPECT_TRUE(Frame("$" + Rmc + "\r\n").empty()) << "no checksum";
  EXPECT_TRUE(Frame("$" + Rmc + "*\r\n").empty()) << "star without digits";
  EXPECT_TRUE(Frame("$GPXXX\r*00\r\n").empty()) << "CR before the star";
  std::string wrong = WithChecksum(Rmc);
  wrong.back() = wrong.back() == '0' ? '1' : '0';
  EXPECT_EQ(Frame(wrong + "\r\n" + good), std::vector<std::string>{WithChecksum(Gga)})
      << "the search goes on after a failed sentence";
  EXPECT_TRUE(Frame(WithChecksum(Rmc) + "\n").empty()) << "LF without CR does not end it";
}

TEST(SentenceChecksums, HexDigitCase) {
  // Find bodies whose checksum has a letter in the chosen place.
  auto bodyWith = [](bool letterHigh) -> std::string {
    for (int i = 0; i < 95 * 95; ++i) {
      std::string body = "GPTXT,";
      body.push_back(static_cast<char>('0' + i % 75));
      // A byte above 0x9F lets the high digit be a letter too (ASCII alone XORs below 0x80).
      body.push_back(static_cast<char>(letterHigh ? 0xA0 + i / 75 % 96 : '0' + i / 75 % 75));
      std::string s = WithChecksum(body);
      char high = s[s.size() - 2], low = s[s.size() - 1];
      if (letterHigh ? (high >= 'A' && low <= '9') : (low >= 'A' && high <= '9')) return s;
    }
    return "";
  };
  std::string upper = bodyWith(false);
  ASSERT_FALSE(upper.empty());
  EXPECT_EQ(Frame(upper + "\r\n").size(), 1u) << "upper-case digits are accepted";
  std::string lowLower = upper;
  lowLower.back() = static_cast<char>(lowLower.back() + 32);
  EXPECT_TRUE(Frame(lowLower + "\r\n").empty()) << "a lower-case low digit never matches";
  // In the high place the lower-case excess is 32 x 16 = 512, which vanishes modulo 256.
  std::string highLower = bodyWith(true);
  ASSERT_FALSE(highLower.empty());
  highLower[highLower.size() - 2] = static_cast<char>(highLower[highLower.size() - 2] + 32);
  EXPECT_EQ(Frame(highLower + "\r\n").size(), 1u);
}

TEST(SentenceChecksums, StarRightBeforeTheLineEndReadsCrLfAsTheDigits) {
  // Found by fuzzing: CR and LF give -42 and -45, and -42 x 16 - 45 = -717, which is 51
  // ("3") modulo 256. The digit rule accepts it; the text handed on is "$3*".
  EXPECT_EQ(Frame("$3*\r\n"), std::vector<std::string>{"$3*"});
  EXPECT_TRUE(Frame("$4*\r\n").empty());
}

TEST(SentenceStore, CountersWrapAtSixteenBitsWithoutLosingSentences) {
  // Push well past 65,536 bytes, in pieces that straddle the 512-byte store edge and the
  // 16-bit wrap, checking every sentence comes out whole and in order.
  SentenceBuffer buffer;
  std::mt19937 random(7);
  uint32_t total = 0;
  int taken = 0;
  for (int n = 0; total < 3u * 65536u; ++n) {
    std::string body = "GPGGA," + std::to_string(n) + ",4807.038,N,01131.000,E,1,08,0.9," +
                       std::string(random() % 40, '9');
    std::string line = Line(body);
    size_t cut = random() % line.size();
    Append(buffer, line.substr(0, cut));
    Append(buffer, line.substr(cut));
    total += static_cast<uint32_t>(line.size());
    ASSERT_TRUE(buffer.FindSentence()) << "sentence " << n << " at byte " << total;
    ASSERT_EQ(Take(buffer), WithChecksum(body));
    ASSERT_FALSE(buffer.FindSentence());
    ++taken;
  }
  EXPECT_EQ(buffer.WriteCount(), static_cast<uint16_t>(total));
  EXPECT_GT(taken, 2000);
}

TEST(SentenceStore, LongestSentenceFitsAndOverflowLosesOnlyOldBytes) {
  // 511 pending bytes is the most the store can tell from none, so 509 characters plus CR LF
  // is the longest sentence that frames.
  std::string body = "GPLNG," + std::string(509 - 10, 'A');
  std::string longest = WithChecksum(body);
  ASSERT_EQ(longest.size(), 509u);
  EXPECT_EQ(Frame(longest + "\r\n"), std::vector<std::string>{longest});
  // The same across the store's edge, once the scan has consumed the bytes before it.
  SentenceBuffer wrapped;
  Append(wrapped, std::string(300, 'x'));
  EXPECT_FALSE(wrapped.FindSentence());
  Append(wrapped, longest + "\r\n");
  ASSERT_TRUE(wrapped.FindSentence());
  EXPECT_EQ(Take(wrapped), longest);

  // 600 bytes pending: the oldest are overwritten; later sentences still frame.
  SentenceBuffer buffer;
  Append(buffer, std::string(600, '$'));
  EXPECT_FALSE(buffer.FindSentence());
  Append(buffer, Line(Rmc));
  ASSERT_TRUE(buffer.FindSentence());
  EXPECT_EQ(Take(buffer), WithChecksum(Rmc));
}

TEST(SentenceStore, NoiseNeverYieldsAnUncheckedSentence) {
  // Random bytes with real sentences mixed in: whatever comes out must carry a checksum that
  // an independent check accepts, and each real sentence that was not overwritten appears.
  std::mt19937 random(11);
  SentenceBuffer buffer;
  int real = 0, found = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string chunk;
    int noise = static_cast<int>(random() % 64);
    for (int i = 0; i < noise; ++i) chunk.push_back(static_cast<char>(random() % 256));
    if (random() % 2 == 0) {
      chunk += "\r\n" + Line(Rmc);
      ++real;
    }
    Append(buffer, chunk);
    while (buffer.FindSentence()) {
      std::string s = Take(buffer);
      size_t star = s.find('*');
      ASSERT_NE(star, std::string::npos) << s;
      ASSERT_EQ(s[0], '$');
      ASSERT_LE(s.size(), 510u);
      ++found;
    }
  }
  // Noise can fake the odd sentence (a random "$..*HH\r\n" passes 1 in 256) but never hide one.
  EXPECT_GE(found, real);
}

}  // namespace
}  // namespace velmira

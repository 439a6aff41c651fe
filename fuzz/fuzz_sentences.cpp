// Arbitrary bytes in arbitrary pieces through the sentence buffer: every sentence that comes
// out must be a "$" sentence with a star and a checksum an independent check accepts, and
// splitting it must stay inside its text.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"

namespace {

int Digit(uint8_t c) { return c >= '0' && c <= '9' ? c - 48 : c - 55; }

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckSentence(velmira::NmeaSentence& s) {
  velmira::Ref<velmira::Text> text = velmira::Ref<velmira::Text>::Adopt(s.GetSentence());
  const auto* p = reinterpret_cast<const uint8_t*>(text->Chars());
  const int n = text->Length();
  Check(n >= 2 && n <= velmira::SentenceBuffer::Size - 2 && p[0] == '$');
  const void* star = std::memchr(p, '*', static_cast<size_t>(n));
  Check(star != nullptr);
  int at = static_cast<int>(static_cast<const uint8_t*>(star) - p);
  uint8_t sum = 0;
  for (int i = 1; i < at; ++i) {
    Check(p[i] != '\r');
    sum ^= p[i];
  }
  Check(at + 2 < n + 2);  // the two digits may be the CR LF, which are not in the text
  uint8_t high = at + 1 < n ? p[at + 1] : '\r';
  uint8_t low = at + 2 < n ? p[at + 2] : (at + 1 < n ? '\r' : '\n');
  Check(static_cast<uint8_t>(Digit(high) * 16 + Digit(low)) == sum);
  s.GetType();
  int16_t count = s.GetFieldCount();
  for (int16_t f = 0; f <= count + 1; ++f) {
    velmira::Text* field = s.Fields(f);
    Check((field != nullptr) == (f >= 1 && f <= count));
    if (field != nullptr) Check(field->Length() <= velmira::NmeaSentence::MaxFieldLength);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmira::SentenceBuffer buffer;
  size_t i = 0;
  while (i < size) {
    // The first byte of each piece says how long the piece is.
    size_t piece = 1 + data[i] % 97;
    ++i;
    if (piece > size - i) piece = size - i;
    buffer.Append(data + i, static_cast<int>(piece));
    i += piece;
    while (buffer.FindSentence()) {
      velmira::Ref<velmira::NmeaSentence> s = velmira::Ref<velmira::NmeaSentence>::Adopt(buffer.TakeSentence());
      CheckSentence(*s);
    }
  }
  return 0;
}

#include "gps/SentenceBuffer.h"

#include "frame/Text.h"
#include "gps/NmeaSentence.h"

namespace velmira {
namespace {

constexpr uint8_t Dollar = '$';
constexpr uint8_t Star = '*';
constexpr uint8_t Cr = '\r';
constexpr uint8_t Lf = '\n';

// "0".."9" give 0..9; every other character gives (c - 55), so "A".."F" give 10..15 and a
// lower-case digit gives a value 32 too high (harmless in the high place, where 32 x 16
// vanishes modulo 256, but never a match in the low place).
int DigitValue(uint8_t c) { return c >= '0' && c <= '9' ? c - 48 : c - 55; }

}  // namespace

bool SentenceBuffer::Append(const uint8_t* bytes, int count) {
  bool sawLf = false;
  for (int i = 0; i < count; ++i) {
    Store[Written % Size] = bytes[i];
    ++Written;
    sawLf |= bytes[i] == Lf;
  }
  return sawLf;
}

bool SentenceBuffer::Append(const Text* text) {
  if (text == nullptr) return false;
  return Append(reinterpret_cast<const uint8_t*>(text->Chars()), text->Length());
}

bool SentenceBuffer::FindSentence() {
  const uint16_t w = Written % Size;
  // Each pass either returns or moves Scan past an LF, so the passes are bounded by the
  // store's size.
  for (;;) {
    // 1. Skip to the next "$"; what is skipped is discarded.
    while (Scan % Size != w && At(Scan) != Dollar) ++Scan;
    if (Scan % Size == w) return false;

    // 2-4. Find CR LF; a later "$" abandons the broken start before it.
    uint16_t p = Scan + 1;
    uint8_t previous = Dollar;
    for (;; ++p) {
      if (p % Size == w) return false;  // incomplete: resume at the last "$"
      uint8_t c = At(p);
      if (c == Dollar) {
        Scan = p;
      } else if (c == Lf && previous == Cr) {
        break;
      }
      previous = c;
    }

    // 5. A failed checksum drops the sentence silently and the search goes on after it.
    uint16_t afterLf = p + 1;
    if (ChecksumPasses(Scan)) {
      Start = Scan;
      End = afterLf;
      Scan = afterLf;
      return true;
    }
    Scan = afterLf;
  }
}

bool SentenceBuffer::ChecksumPasses(uint16_t start) const {
  uint8_t sum = 0;
  uint16_t p = start + 1;
  // The sentence ends in CR LF, so this walk stops inside it.
  for (;; ++p) {
    uint8_t c = At(p);
    if (c == Star) break;
    if (c == Cr) return false;  // no checksum: never accepted
    sum ^= c;
  }
  int high = DigitValue(At(p + 1));
  int low = DigitValue(At(p + 2));
  return static_cast<uint8_t>(high * 16 + low) == sum;  // modulo 256
}

NmeaSentence* SentenceBuffer::TakeSentence() const {
  // The bytes from "$" up to the CR; the circular distance from Start to End, minus CR LF.
  int e = End % Size;
  int s = Start % Size;
  int length = e > s ? e - s - 2 : e - s + Size - 2;
  char scratch[Size + 8];
  for (int i = 0; i < length; ++i) scratch[i] = static_cast<char>(At(static_cast<uint16_t>(Start + i)));
  scratch[length] = 0;
  return new NmeaSentence(Ref<Text>::Adopt(new Text(scratch, length)));
}

}  // namespace velmira

#include "gps/SentenceBuffer.h"

#include <algorithm>
#include <cstring>

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
  if (bytes == nullptr || count <= 0) return false;
  bool sawLf = std::memchr(bytes, Lf, static_cast<size_t>(count)) != nullptr;
  // Only the last 512 bytes can survive; the rest would be overwritten at once.
  if (count > Size) {
    Written = static_cast<uint16_t>(Written + (count - Size));
    bytes += count - Size;
    count = Size;
  }
  int at = Written % Size;
  int first = std::min(count, Size - at);
  std::memcpy(Store + at, bytes, static_cast<size_t>(first));
  std::memcpy(Store, bytes + first, static_cast<size_t>(count - first));
  Written = static_cast<uint16_t>(Written + count);
  return sawLf;
}

bool SentenceBuffer::Append(const Text* text) {
  if (text == nullptr) return false;
  return Append(reinterpret_cast<const uint8_t*>(text->Chars()), text->Length());
}

int SentenceBuffer::Find(uint16_t from, int count, uint8_t byte) const {
  if (count <= 0) return -1;
  int at = from % Size;
  int first = std::min(count, Size - at);
  if (const void* hit = std::memchr(Store + at, byte, static_cast<size_t>(first))) {
    return static_cast<int>(static_cast<const uint8_t*>(hit) - (Store + at));
  }
  if (const void* hit = std::memchr(Store, byte, static_cast<size_t>(count - first))) {
    return first + static_cast<int>(static_cast<const uint8_t*>(hit) - Store);
  }
  return -1;
}

int SentenceBuffer::FindLast(uint16_t from, int count, uint8_t byte) const {
  if (count <= 0) return -1;
  int at = from % Size;
  int first = std::min(count, Size - at);
  if (const void* hit = memrchr(Store, byte, static_cast<size_t>(count - first))) {
    return first + static_cast<int>(static_cast<const uint8_t*>(hit) - Store);
  }
  if (const void* hit = memrchr(Store + at, byte, static_cast<size_t>(first))) {
    return static_cast<int>(static_cast<const uint8_t*>(hit) - (Store + at));
  }
  return -1;
}

uint8_t SentenceBuffer::Xor(uint16_t from, int count) const {
  // Eight bytes at a time, folded at the end: XOR does not care about order.
  uint64_t wide = 0;
  uint8_t narrow = 0;
  int at = from % Size;
  while (count > 0) {
    int run = std::min(count, Size - at);
    const uint8_t* p = Store + at;
    int i = 0;
    for (; i + 8 <= run; i += 8) {
      uint64_t word;
      std::memcpy(&word, p + i, sizeof word);
      wide ^= word;
    }
    for (; i < run; ++i) narrow ^= p[i];
    count -= run;
    at = 0;
  }
  for (int shift = 0; shift < 64; shift += 8) narrow ^= static_cast<uint8_t>(wide >> shift);
  return narrow;
}

bool SentenceBuffer::FindSentence() {
  // Each pass either returns or moves Scan past an LF, so the passes are bounded by the
  // store's size.
  for (;;) {
    int pending = static_cast<uint16_t>(Written - Scan) % Size;  // bytes from Scan up to the write position

    // 1. Skip to the next "$"; what is skipped is discarded.
    int dollar = Find(Scan, pending, Dollar);
    if (dollar < 0) {
      Scan = static_cast<uint16_t>(Scan + pending);
      return false;
    }
    Scan = static_cast<uint16_t>(Scan + dollar);
    pending -= dollar;

    // 4. The end is the first LF whose previous byte is CR (the "$" itself is no CR).
    int lf = 0;  // offset from Scan
    for (;;) {
      int next = Find(static_cast<uint16_t>(Scan + lf + 1), pending - lf - 1, Lf);
      if (next < 0) {
        // 2-3. Incomplete: resume at the last "$" seen, abandoning earlier broken starts.
        Scan = static_cast<uint16_t>(Scan + FindLast(Scan, pending, Dollar));
        return false;
      }
      lf += next + 1;
      if (lf >= 2 && At(static_cast<uint16_t>(Scan + lf - 1)) == Cr) break;
    }
    // 3. A later "$" before the end abandons the broken start before it.
    int last = FindLast(Scan, lf, Dollar);
    Scan = static_cast<uint16_t>(Scan + last);
    uint16_t afterLf = static_cast<uint16_t>(Scan + (lf - last) + 1);

    // 5. A failed checksum drops the sentence silently and the search goes on after it.
    if (ChecksumPasses(Scan, lf - last - 1)) {
      Start = Scan;
      End = afterLf;
      Scan = afterLf;
      return true;
    }
    Scan = afterLf;
  }
}

bool SentenceBuffer::ChecksumPasses(uint16_t start, int length) const {
  // length counts the bytes after "$" up to and including the CR before the LF.
  uint16_t body = static_cast<uint16_t>(start + 1);
  int star = Find(body, length, Star);
  if (star < 0 || Find(body, star, Cr) >= 0) return false;  // no checksum: never accepted
  uint16_t digits = static_cast<uint16_t>(body + star + 1);
  int high = DigitValue(At(digits));
  int low = DigitValue(At(static_cast<uint16_t>(digits + 1)));
  return static_cast<uint8_t>(high * 16 + low) == Xor(body, star);  // modulo 256
}

bool SentenceBuffer::FoundIsText() const {
  for (uint16_t p = Start; p != static_cast<uint16_t>(End - 2); ++p) {  // up to the CR
    if (At(p) < ' ' || At(p) > '~') return false;
  }
  return true;
}

NmeaSentence* SentenceBuffer::TakeSentence() const {
  // The bytes from "$" up to the CR; the circular distance from Start to End, minus CR LF.
  int e = End % Size;
  int s = Start % Size;
  int length = e > s ? e - s - 2 : e - s + Size - 2;
  const char* store = reinterpret_cast<const char*>(Store);
  const int first = std::min(length, Size - s);
  if (first == length) {  // not wrapped: the text is taken straight from the store
    return new NmeaSentence(Ref<Text>::Adopt(new Text(store + s, length)));
  }
  char scratch[Size];
  std::memcpy(scratch, store + s, static_cast<size_t>(first));
  std::memcpy(scratch + first, store, static_cast<size_t>(length - first));
  return new NmeaSentence(Ref<Text>::Adopt(new Text(scratch, length)));
}

}  // namespace velmira

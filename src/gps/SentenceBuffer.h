// A fixed 512-byte circular store that frames a byte stream into checksummed NMEA sentences.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class NmeaSentence;
class Text;

class SentenceBuffer : public RefObject {
 public:
  static constexpr int Size = 512;  // 65,536 is a multiple of it, so 16-bit counters may wrap

  SentenceBuffer() = default;

  // Stores the bytes, overwriting untaken ones once more than 512 are pending. True when at
  // least one of them was LF.
  bool Append(const uint8_t* bytes, int count);
  bool Append(const Text* text);

  // True when a complete sentence with a valid checksum is ready; records where it lies.
  bool FindSentence();
  // A new sentence (count 1, caller's) for the one recorded by the last successful
  // FindSentence.
  NmeaSentence* TakeSentence() const;
  // True when the sentence the last FindSentence recorded is printable ASCII throughout.
  bool FoundIsText() const;

  // Counters, for tests and diagnostics.
  uint16_t WriteCount() const { return Written; }
  uint16_t ScanPosition() const { return Scan; }

 private:
  uint8_t At(uint16_t position) const { return Store[position % Size]; }
  // Circular helpers over count bytes from a position: offset of the first or last byte of
  // a value (-1 when absent), and the XOR of the bytes.
  int Find(uint16_t from, int count, uint8_t byte) const;
  int FindLast(uint16_t from, int count, uint8_t byte) const;
  uint8_t Xor(uint16_t from, int count) const;
  bool ChecksumPasses(uint16_t start, int length) const;

  uint8_t Store[Size] = {};
  uint16_t Written = 0;
  uint16_t End = 0;    // just after the LF of the last sentence found
  uint16_t Scan = 0;   // where the search resumes
  uint16_t Start = 0;  // the "$" of the last sentence found
};

}  // namespace velmira

// Reference-counted narrow string (8-bit characters, 16-bit length) with a lazily made
// wide copy. Wide input keeps the low byte of each UTF-16 unit; the wide copy maps each
// character 0..255 back to the unit of the same value.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "velmira/platform.h"

namespace velmira {

class Text final : public RefObject {
 public:
  // Longest text a 16-bit signed length can count; longer sources are cut there.
  static constexpr int MaxLength = 32767;

  Text();
  explicit Text(const char* narrow);                      // NUL-terminated, copied
  Text(const char* narrow, int length);                   // counted, copied
  Text(const char* narrow, int length, GivenId id);       // the same, numbered by TakeIds
  explicit Text(const WCHAR* wide);                       // NUL-terminated UTF-16
  Text(const WCHAR* wide, int16_t count);                 // counted UTF-16
  ~Text() override;

  int16_t Length() const { return Len; }
  // The characters, NUL-terminated; never null ("" when empty).
  const char* Chars() const { return Data; }

  // The character at index, or 0 outside 0..Length-1.
  char CharAt(int index) const;
  // New Text (count 1, caller's) of count characters from start; empty when the range
  // does not lie inside the text.
  Text* Substring(int start, int count) const;
  // Copies at most size-1 characters and a NUL; nothing when size < 1.
  void CopyTo(char* buffer, int size) const;
  // Byte-for-byte equality; an empty Text (or empty argument Text) is never equal.
  bool Equals(const char* narrow) const;
  bool Equals(const Text* other) const;

  // Optional sign and the leading decimal number; the rest is ignored; 0 without a number.
  double ToDouble() const;
  int16_t ToInt16() const;
  int32_t ToInt32() const;

  // The wide copy, made on first call and kept by this Text (null only when out of memory).
  BSTR GetWide();
  // Forgets the wide copy without freeing it: whoever took it from GetWide now owns it.
  BSTR DetachWide();

 private:
  static constexpr int InlineCapacity = 22;  // most NMEA fields fit without a heap buffer

  void Assign(const char* chars, int length);
  template <class Unit>
  void AssignLowBytes(const Unit* units, int length);

  char* Data;
  BSTR Wide = nullptr;
  int16_t Len = 0;
  char Inline[InlineCapacity];
};

}  // namespace velmira

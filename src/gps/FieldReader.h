// Typed reads of sentence fields with the decoding rules every record shares: a field past
// the field count is absent and leaves the initial value; a present but empty field reads
// as 0; a character test looks at the first character only.
#pragma once

#include <cstdint>

#include "frame/Text.h"
#include "gps/NmeaSentence.h"

namespace velmira {

class FieldReader {
 public:
  explicit FieldReader(NmeaSentence& sentence) : Sentence(sentence) {}

  // The field, or null when it is absent. Owned by the sentence.
  const Text* Field(int index) const;
  bool Present(int index) const { return Field(index) != nullptr; }

  double Double(int index) const;
  int16_t Int16(int index) const;
  int32_t Int32(int index) const;
  // The first character; 0 when the field is absent or empty.
  char First(int index) const;

 private:
  NmeaSentence& Sentence;
};

}  // namespace velmira

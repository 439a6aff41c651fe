#include "gps/FieldReader.h"

namespace velmira {

const Text* FieldReader::Field(int index) const {
  if (index < 1 || index > INT16_MAX) return nullptr;
  return Sentence.Fields(static_cast<int16_t>(index));
}

double FieldReader::Double(int index) const {
  const Text* f = Field(index);
  return f != nullptr ? f->ToDouble() : 0.0;
}

int16_t FieldReader::Int16(int index) const {
  const Text* f = Field(index);
  return f != nullptr ? f->ToInt16() : 0;
}

int32_t FieldReader::Int32(int index) const {
  const Text* f = Field(index);
  return f != nullptr ? f->ToInt32() : 0;
}

char FieldReader::First(int index) const {
  const Text* f = Field(index);
  return f != nullptr ? f->CharAt(0) : 0;
}

}  // namespace velmira

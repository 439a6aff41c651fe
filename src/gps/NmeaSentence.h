// One received NMEA sentence with its command and fields, split on first use.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "frame/Text.h"

namespace velmira {

// Sentence kinds by command; the talker (GP, GL, GN, ...) is not looked at.
enum SentenceKind : int16_t {
  KindOther = 0,
  KindRmc = 1,
  KindGll = 2,
  KindGga = 3,
  KindGsv = 4,
  KindGsa = 5,
  KindVtg = 6,
};

class NmeaSentence : public RefObject {
 public:
  // Fields are cut to this many characters: their lengths are counted in a signed byte.
  static constexpr int MaxFieldLength = 127;

  NmeaSentence() = default;  // no text: empty command, no fields
  explicit NmeaSentence(Ref<Text> text);
  ~NmeaSentence() override;

  int16_t GetType();
  // New references; the text is empty (never null) for a sentence without text.
  Text* GetCommand();
  Text* GetSentence();
  int16_t GetFieldCount();
  // Field index for 1 <= index <= field count, else null. Owned by the sentence and alive
  // as long as it is (or until ReleaseFields): read it, copy it, but do not keep or release it.
  Text* Fields(int16_t index);
  // Gives the split fields back; the next Fields call splits again. The parser calls it
  // before it hands a sentence on, so that the block is freed, still in the cache, on the
  // thread that made it, and a receiver on another thread that never reads a field does not
  // have to pull the whole block over to destroy it.
  void ReleaseFields();

 private:
  const Text& Command();
  void SplitFields();

  Ref<Text> Sentence;
  Ref<Text> CommandText;
  int16_t Kind = -1;       // SentenceKind once looked up, -1 before
  int16_t FieldCount = 0;  // 0 means not counted yet
  bool FieldsBuilt = false;
  // FieldCount Text objects built in place in one block: a sentence has up to ~40 fields
  // and is split millions of times a second, so one allocation serves them all.
  Text* FieldArray = nullptr;
  size_t FieldBlockBytes = 0;  // the block's size, which may exceed the fields'
};

}  // namespace velmira

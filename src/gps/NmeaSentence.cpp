#include "gps/NmeaSentence.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace velmira {
namespace {

struct KindRow {
  const char* Command;
  SentenceKind Kind;
};

// command  kind
constexpr KindRow KindTable[] = {
    {"RMC", KindRmc},  //
    {"GLL", KindGll},  //
    {"GGA", KindGga},  //
    {"GSV", KindGsv},  //
    {"GSA", KindGsa},  //
    {"VTG", KindVtg},
};

// The first c in [from, end), or end.
const char* Next(const char* from, const char* end, char c) {
  const void* hit = std::memchr(from, c, static_cast<size_t>(end - from));
  return hit == nullptr ? end : static_cast<const char*>(hit);
}

constexpr int CommandStart = 3;   // after "$" and the two-letter talker
constexpr int CommandLength = 3;

}  // namespace

NmeaSentence::NmeaSentence(Ref<Text> text) : Sentence(std::move(text)) {}

NmeaSentence::~NmeaSentence() {
  if (FieldArray != nullptr) {
    for (int i = 0; i < FieldCount; ++i) FieldArray[i].~Text();
    ::operator delete(FieldArray);
  }
}

const Text& NmeaSentence::Command() {
  if (!CommandText) {
    CommandText = Ref<Text>::Adopt(Sentence ? Sentence->Substring(CommandStart, CommandLength)
                                            : new Text());
  }
  return *CommandText;
}

int16_t NmeaSentence::GetType() {
  const Text& command = Command();
  for (const KindRow& row : KindTable) {
    if (command.Equals(row.Command)) return row.Kind;
  }
  return KindOther;
}

Text* NmeaSentence::GetCommand() {
  Command();
  CommandText->AddRef();
  return CommandText.Get();
}

Text* NmeaSentence::GetSentence() {
  if (!Sentence) Sentence = MakeRef<Text>();
  Sentence->AddRef();
  return Sentence.Get();
}

int16_t NmeaSentence::GetFieldCount() {
  if (FieldCount == 0 && Sentence) {
    const char* chars = Sentence->Chars();
    // A text holds at most 32767 characters, so the count fits.
    FieldCount = static_cast<int16_t>(std::count(chars, chars + Sentence->Length(), ','));
  }
  return FieldCount;
}

Text* NmeaSentence::Fields(int16_t index) {
  if (!FieldsBuilt) SplitFields();
  if (index < 1 || index > FieldCount || FieldArray == nullptr) return nullptr;
  return &FieldArray[index - 1];
}

void NmeaSentence::SplitFields() {
  FieldsBuilt = true;
  int count = GetFieldCount();
  if (count == 0) return;
  void* block = ::operator new(sizeof(Text) * static_cast<size_t>(count), std::nothrow);
  if (block == nullptr) return;  // no fields rather than a crash
  FieldArray = static_cast<Text*>(block);

  const char* chars = Sentence->Chars();
  const char* end = chars + Sentence->Length();
  const char* star = Next(chars, end, '*');
  int built = 0;
  for (const char* comma = Next(chars, end, ','); comma != end && built < count;) {
    const char* field = comma + 1;
    const char* next = Next(field, end, ',');
    if (star < field) star = Next(field, end, '*');
    const char* stop = std::min(next, star);  // a field ends at the next "," or "*"
    int fieldLength = static_cast<int>(std::min<ptrdiff_t>(stop - field, MaxFieldLength));
    new (&FieldArray[built++]) Text(field, fieldLength);
    comma = next;  // the walk continues at the terminating character
  }
  // Every comma starts a field, so built == count; guard anyway so destruction is exact.
  while (built < count) new (&FieldArray[built++]) Text();
}

}  // namespace velmira

#include "gps/NmeaSentence.h"

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
    int commas = 0;
    for (const char* p = Sentence->Chars(); *p != 0; ++p) commas += *p == ',';
    FieldCount = static_cast<int16_t>(commas);  // a text holds at most 32767 characters
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
  const int length = Sentence->Length();
  int built = 0;
  for (int p = 0; p < length && built < count; ++p) {
    if (chars[p] != ',') continue;
    int end = p + 1;
    while (end < length && chars[end] != ',' && chars[end] != '*') ++end;
    int fieldLength = end - (p + 1);
    if (fieldLength > MaxFieldLength) fieldLength = MaxFieldLength;
    new (&FieldArray[built++]) Text(chars + p + 1, fieldLength);
    p = end - 1;  // continue at the terminating character
  }
  // Every comma starts a field, so built == count; guard anyway so destruction is exact.
  while (built < count) new (&FieldArray[built++]) Text();
}

}  // namespace velmira

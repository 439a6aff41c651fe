#include "gps/NmeaSentence.h"

#include <algorithm>
#include <bit>
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

// Commas in a text, eight bytes at a time: a byte equal to "," becomes zero after the XOR,
// and the exact zero-byte test (no borrow between bytes) flags it in its top bit.
int CountCommas(const char* text, int length) {
  constexpr uint64_t Commas = 0x2C2C2C2C2C2C2C2Cull;
  constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
  int count = 0;
  int i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, sizeof word);
    uint64_t x = word ^ Commas;
    uint64_t zero = ~(((x & Low7) + Low7) | x | Low7);
    count += std::popcount(zero);
  }
  for (; i < length; ++i) count += text[i] == ',';
  return count;
}

constexpr int CommandStart = 3;   // after "$" and the two-letter talker
constexpr int CommandLength = 3;

}  // namespace

NmeaSentence::NmeaSentence(Ref<Text> text) : Sentence(std::move(text)) {}

NmeaSentence::~NmeaSentence() { ReleaseFields(); }

void NmeaSentence::ReleaseFields() {
  if (FieldArray != nullptr) {
    for (int i = 0; i < FieldCount; ++i) FieldArray[i].~Text();
    ::operator delete(FieldArray);
    FieldArray = nullptr;
  }
  FieldsBuilt = false;
}

const Text& NmeaSentence::Command() {
  if (!CommandText) {
    CommandText = Ref<Text>::Adopt(Sentence ? Sentence->Substring(CommandStart, CommandLength)
                                            : new Text());
  }
  return *CommandText;
}

// The kind is looked up once, on the three command characters in place (a sentence's text
// never changes): every record constructor asks again, and the command Text is only made
// when someone asks for the command.
int16_t NmeaSentence::GetType() {
  if (Kind < 0) {
    Kind = KindOther;
    if (Sentence && Sentence->Length() >= CommandStart + CommandLength) {
      const char* command = Sentence->Chars() + CommandStart;
      for (const KindRow& row : KindTable) {
        if (std::memcmp(command, row.Command, CommandLength) == 0) {
          Kind = row.Kind;
          break;
        }
      }
    }
  }
  return Kind;
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
    // A text holds at most 32767 characters, so the count fits.
    FieldCount = static_cast<int16_t>(CountCommas(Sentence->Chars(), Sentence->Length()));
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

  // One pass: a "," ends the open field and opens the next; a "*" only ends the open one.
  const char* chars = Sentence->Chars();
  const int length = Sentence->Length();
  int built = 0;
  int start = -1;  // first character of the open field, -1 when none is open
  for (int p = 0; p <= length && built < count; ++p) {
    const char c = p < length ? chars[p] : ',';  // the text's end closes the last field
    if (c != ',' && c != '*') continue;
    if (start >= 0) {
      int fieldLength = std::min(p - start, MaxFieldLength);
      new (&FieldArray[built++]) Text(chars + start, fieldLength);
    }
    start = c == ',' ? p + 1 : -1;
  }
  // Every comma starts a field, so built == count; guard anyway so destruction is exact.
  while (built < count) new (&FieldArray[built++]) Text();
}

}  // namespace velmira

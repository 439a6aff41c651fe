#include "gps/NmeaSentence.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

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

constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t Commas = 0x2C2C2C2C2C2C2C2Cull;
constexpr uint64_t Stars = 0x2A2A2A2A2A2A2A2Aull;

// The top bit of every byte of word that equals the matching byte of pattern, exactly (no
// borrow between bytes): a byte equal to the pattern becomes zero after the XOR, and the
// zero-byte test flags it.
uint64_t EqualBytes(uint64_t word, uint64_t pattern) {
  const uint64_t x = word ^ pattern;
  return ~(((x & Low7) + Low7) | x | Low7);
}

// Commas in a text, eight bytes at a time. The flags are summed by a multiply (the byte sums
// meet in the top byte), as the target has no population count instruction.
int CountCommas(const char* text, int length) {
  int count = 0;
  int i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, sizeof word);
    count += static_cast<int>(((EqualBytes(word, Commas) >> 7) * 0x0101010101010101ull) >> 56);
  }
  for (; i < length; ++i) count += text[i] == ',';
  return count;
}

constexpr int CommandStart = 3;   // after "$" and the two-letter talker
constexpr int CommandLength = 3;

// The parsing thread splits and releases a field block for nearly every sentence. Blocks of
// GSV and RMC sentences are larger than the allocator's per-thread cache takes, so each would
// go through its shared lock, which a receiver freeing messages on another thread also takes.
// The thread keeps its largest released block for the next sentence instead.
struct SpareBlock {
  void* Block = nullptr;
  size_t Bytes = 0;
  // Emptied, so a sentence released later on this thread keeps its block instead.
  ~SpareBlock() { ::operator delete(std::exchange(Block, nullptr)); }
};
thread_local SpareBlock Spare;

void* TakeBlock(size_t bytes, size_t& got) {
  if (Spare.Block != nullptr && Spare.Bytes >= bytes) {
    got = Spare.Bytes;
    return std::exchange(Spare.Block, nullptr);
  }
  got = bytes;
  return ::operator new(bytes, std::nothrow);
}

void GiveBack(void* block, size_t bytes) {
  if (Spare.Block != nullptr && Spare.Bytes >= bytes) {
    ::operator delete(block);
    return;
  }
  ::operator delete(Spare.Block);
  Spare.Block = block;
  Spare.Bytes = bytes;
}

}  // namespace

NmeaSentence::NmeaSentence(Ref<Text> text) : Sentence(std::move(text)) {}

NmeaSentence::~NmeaSentence() { ReleaseFields(); }

void NmeaSentence::ReleaseFields() {
  if (FieldArray != nullptr) {
    for (int i = 0; i < FieldCount; ++i) FieldArray[i].~Text();
    GiveBack(FieldArray, FieldBlockBytes);
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
  int built = 0;
  if (count == 0) return;
  void* block = TakeBlock(sizeof(Text) * static_cast<size_t>(count), FieldBlockBytes);
  if (block == nullptr) return;  // no fields rather than a crash
  FieldArray = static_cast<Text*>(block);
  // The fields are numbered as if made one by one, in order.
  const uint32_t firstId = RefObject::TakeIds(static_cast<uint32_t>(count));
  auto make = [&](const char* at, int fieldLength) {
    new (&FieldArray[built]) Text(at, fieldLength, RefObject::GivenId{firstId + static_cast<uint32_t>(built)});
    ++built;
  };

  // One pass: a "," ends the open field and opens the next; a "*" only ends the open one,
  // and the text's end closes the last. The separators are found eight bytes at a time.
  const char* chars = Sentence->Chars();
  const int length = Sentence->Length();
  int start = -1;  // first character of the open field, -1 when none is open
  auto separator = [&](int p, bool comma) {
    if (start >= 0) {
      const int fieldLength = std::min(p - start, MaxFieldLength);
      make(chars + start, fieldLength);
    }
    start = comma ? p + 1 : -1;
  };
  int p = 0;
  for (; p + 8 <= length && built < count; p += 8) {
    uint64_t word;
    std::memcpy(&word, chars + p, sizeof word);
    const uint64_t commas = EqualBytes(word, Commas);
    for (uint64_t found = commas | EqualBytes(word, Stars); found != 0 && built < count;
         found &= found - 1) {
      const int bit = std::countr_zero(found);
      separator(p + bit / 8, (commas >> bit) & 1);
    }
  }
  for (; p < length && built < count; ++p) {
    if (chars[p] == ',' || chars[p] == '*') separator(p, chars[p] == ',');
  }
  if (built < count) separator(length, true);
  // Every comma starts a field, so built == count; guard anyway so destruction is exact.
  while (built < count) make(nullptr, 0);
}

}  // namespace velmira

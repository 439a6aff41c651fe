#include "frame/Text.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "frame/BlockPool.h"
#include "platform/Strings.h"

namespace velmira {
namespace {

int BoundedLength(const char* text) {
  if (text == nullptr) return 0;
  const void* nul = std::memchr(text, 0, Text::MaxLength + 1);
  return nul == nullptr ? Text::MaxLength : static_cast<int>(static_cast<const char*>(nul) - text);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips the white space the runtime's text-to-number functions skip.
const char* SkipSpace(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  return p;
}

// Reads an optional sign and decimal digits, saturating at the given bounds.
int64_t LeadingInteger(const char* text, int64_t low, int64_t high) {
  const char* p = SkipSpace(text);
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  int64_t value = 0;
  for (; IsDigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > high + 1) value = high + 1;  // past both bounds already; keep it small
  }
  if (negative) value = -value;
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

Text::Text() : Data(Inline) { Inline[0] = 0; }

Text::Text(const char* narrow) : Text() { Assign(narrow, BoundedLength(narrow)); }

Text::Text(const char* narrow, int length) : Text() {
  if (narrow != nullptr && length > 0) Assign(narrow, length > MaxLength ? MaxLength : length);
}

Text::Text(const char* narrow, int length, GivenId id) : RefObject(id), Data(Inline) {
  Inline[0] = 0;
  if (narrow != nullptr && length > 0) Assign(narrow, length > MaxLength ? MaxLength : length);
}

Text::Text(const WCHAR* wide) : Text() {
  uint32_t n = platform::WideLength(wide);
  AssignLowBytes(wide, n > static_cast<uint32_t>(MaxLength) ? MaxLength : static_cast<int>(n));
}

Text::Text(const WCHAR* wide, int16_t count) : Text() {
  if (wide != nullptr && count > 0) AssignLowBytes(wide, count);
}

Text::~Text() {
  if (Data != Inline) BlockPool::Free(Data, static_cast<size_t>(Len) + 1);
  if (Wide != nullptr) platform::SysFreeString(Wide);
}

void Text::Assign(const char* chars, int length) {
  if (length <= 0) return;  // already empty; chars may be null
  if (length >= InlineCapacity) {
    auto* heap = static_cast<char*>(BlockPool::Allocate(static_cast<size_t>(length) + 1));
    if (heap == nullptr) return;  // stays empty: allocation failures are not reported here
    Data = heap;
  }
  std::memcpy(Data, chars, static_cast<size_t>(length));
  Data[length] = 0;
  Len = static_cast<int16_t>(length);
}

template <class Unit>
void Text::AssignLowBytes(const Unit* units, int length) {
  if (length >= InlineCapacity) {
    auto* heap = static_cast<char*>(BlockPool::Allocate(static_cast<size_t>(length) + 1));
    if (heap == nullptr) return;
    Data = heap;
  }
  for (int i = 0; i < length; ++i) Data[i] = static_cast<char>(units[i] & 0xFF);
  Data[length] = 0;
  Len = static_cast<int16_t>(length);
}

char Text::CharAt(int index) const { return index < 0 || index >= Len ? 0 : Data[index]; }

Text* Text::Substring(int start, int count) const {
  if (start < 0 || count < 0 || start + count > Len) return new Text();
  return new Text(Data + start, count);
}

void Text::CopyTo(char* buffer, int size) const {
  if (buffer == nullptr || size < 1) return;
  int n = Len < size - 1 ? Len : size - 1;
  std::memcpy(buffer, Data, static_cast<size_t>(n));
  buffer[n] = 0;
}

bool Text::Equals(const char* narrow) const {
  if (Len == 0 || narrow == nullptr || BoundedLength(narrow) != Len) return false;
  return std::memcmp(Data, narrow, static_cast<size_t>(Len)) == 0;
}

bool Text::Equals(const Text* other) const {
  if (Len == 0 || other == nullptr || other->Len != Len) return false;
  return std::memcmp(Data, other->Data, static_cast<size_t>(Len)) == 0;
}

double Text::ToDouble() const {
  // Only the decimal form: sign, digits, fraction, exponent. Words such as "inf" or "nan"
  // and hexadecimal forms are not numbers in NMEA text.
  const char* begin = SkipSpace(Data);
  const char* p = begin;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* digits = p;
  while (IsDigit(*p)) ++p;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p;
  }
  if (p == digits || (p == digits + 1 && *digits == '.')) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '-' || *q == '+') ++q;
    if (IsDigit(*q)) {
      while (IsDigit(*q)) ++q;
      p = q;
    }
  }
  double value = 0.0;
  auto result = std::from_chars(digits, p, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow gives infinity and underflow zero, as the runtime's conversion does.
    value = std::strtod(digits, nullptr);
  }
  return negative ? -value : value;
}

int16_t Text::ToInt16() const { return static_cast<int16_t>(LeadingInteger(Data, INT16_MIN, INT16_MAX)); }

int32_t Text::ToInt32() const { return static_cast<int32_t>(LeadingInteger(Data, INT32_MIN, INT32_MAX)); }

BSTR Text::GetWide() {
  if (Wide != nullptr) return Wide;
  Wide = platform::SysAllocStringLen(nullptr, static_cast<uint32_t>(Len));
  if (Wide == nullptr) return nullptr;
  for (int i = 0; i < Len; ++i) Wide[i] = static_cast<unsigned char>(Data[i]);
  return Wide;
}

BSTR Text::DetachWide() {
  BSTR w = Wide;
  Wide = nullptr;
  return w;
}

}  // namespace velmira

#include "view/TextFont.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmira {
namespace {

constexpr double Int32Low = std::numeric_limits<int32_t>::min();
constexpr double Int32High = std::numeric_limits<int32_t>::max();

// trunc() into 32 bits. Sizes are not range-checked when set, so values beyond the 32-bit
// range saturate and NaN counts as 0 instead of being undefined conversions.
int64_t TruncatedPoints(double size) {
  if (std::isnan(size)) return 0;
  return static_cast<int64_t>(std::clamp(std::trunc(size), Int32Low, Int32High));
}

}  // namespace

TextFont::TextFont() : Face(MakeRef<Text>("Times")), Color(MakeRef<Pen>()) {}

void TextFont::SetFace(const WCHAR* face) {
  Face = MakeRef<Text>(face);
  ++Revision;
}

void TextFont::SetColor(Pen* pen) {
  Color = pen != nullptr ? Ref<Pen>::Retain(pen) : MakeRef<Pen>();
}

int32_t TextFont::LogFontHeight(double size, int32_t dpi) {
  // Both factors fit in 32 bits, so the product is exact in 64; C++ division truncates toward
  // zero as the platform's does. Absurd sizes or resolutions can leave 32 bits: saturate.
  int64_t height = (TruncatedPoints(size) * dpi) / -72;
  return static_cast<int32_t>(std::clamp<int64_t>(height, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void TextFont::FillFaceName(WCHAR (&field)[FaceNameUnits]) const {
  int n = std::min<int>(Face->Length(), FaceNameUnits - 1);
  const char* chars = Face->Chars();
  // Characters 128..255 widen to the unit of the same value, as the face's wide copy does.
  for (int i = 0; i < n; ++i) field[i] = static_cast<unsigned char>(chars[i]);
  std::fill(field + n, field + FaceNameUnits, WCHAR{0});
}

}  // namespace velmira

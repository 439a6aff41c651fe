// Typeface, size, weight, slant and text colour of a label. The drawing code builds a platform
// font from it for each drawing call; the pure pieces of that conversion (height, weight, face
// field) live here so they do not depend on the platform's drawing services.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "view/Pen.h"

namespace velmira {

class TextFont final : public RefObject {
 public:
  // Units of the platform font's face field, terminator included.
  static constexpr int FaceNameUnits = 32;

  TextFont();

  double GetSize() const { return Size; }
  // Unchecked: conversion copes with any value.
  void SetSize(double points) {
    Size = points;
    ++Revision;
  }
  uint8_t GetBold() const { return Bold; }
  void SetBold(uint8_t bold) {
    Bold = bold;
    ++Revision;
  }
  uint8_t GetItalic() const { return Italic; }
  void SetItalic(uint8_t italic) {
    Italic = italic;
    ++Revision;
  }
  // Counts the changes of face, size, weight and slant, which change the size of a text: a
  // label sharing the font compares it with the count it was measured at.
  uint32_t GetRevision() const { return Revision; }

  // The face, one byte per character (never null).
  const Text& GetFace() const { return *Face; }
  // Keeps the low byte of each unit; null stores an empty face (the platform then picks its
  // default typeface). The full name is kept; only the platform face field is cut.
  void SetFace(const WCHAR* face);

  // The colour pen with one more reference for the caller.
  Ref<Pen> GetColor() const { return Color; }
  // The colour pen itself, never null, for the drawing code.
  Pen& ColorPen() const { return *Color; }
  // Shares the given pen; later changes to it change the text colour. Design choice: a null
  // pen is replaced by a new black pen, so the font always has a colour to draw with.
  void SetColor(Pen* pen);

  // Character height for the platform font: (trunc(size) * dpi) / -72 in integer arithmetic,
  // truncating toward zero (size 10 at 96 dpi gives -13).
  int32_t LogFontHeight(int32_t dpi) const { return LogFontHeight(Size, dpi); }
  static int32_t LogFontHeight(double size, int32_t dpi);
  int32_t Weight() const { return Bold != 0 ? 700 : 400; }
  // Widens the face into the platform's face field. Design choice: a face longer than 31
  // characters is cut to its first 31, and the field is always terminated.
  void FillFaceName(WCHAR (&field)[FaceNameUnits]) const;

 private:
  double Size = 10.0;  // points
  Ref<Text> Face;
  Ref<Pen> Color;
  uint8_t Italic = 0;
  uint8_t Bold = 0;
  uint32_t Revision = 0;
};

}  // namespace velmira

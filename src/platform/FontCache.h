// Fonts: a LOGFONT resolved through fontconfig to an installed file, opened with FreeType at
// the requested pixel size, with a cache of rendered glyphs. Faces are shared and the most
// recently used ones are kept, so labels drawn again and again with fonts made and deleted
// around each drawing find their glyphs already rendered.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/Gdi.h"

namespace platform {

class FontFace {
 public:
  struct Glyph {
    int32_t Advance = 0;  // pixels from this pen position to the next
    int32_t Left = 0;     // first ink column, relative to the pen position
    int32_t Top = 0;      // first ink row, counted upwards from the baseline
    int32_t Width = 0;
    int32_t Height = 0;
    std::unique_ptr<uint8_t[]> Coverage;  // Width x Height, 0 (none) to 255 (full ink)
  };

  // The face for a request, shared with earlier requests of the same face, size, weight and
  // slant; null only when fontconfig finds no font file at all.
  static std::shared_ptr<FontFace> Find(const LOGFONTW& request);

  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;
  ~FontFace();

  // Whole pixels above and below the baseline; a line of text is Ascent + Descent high.
  int32_t Ascent() const { return AscentPixels; }
  int32_t Descent() const { return DescentPixels; }
  int32_t LineHeight() const { return AscentPixels + DescentPixels; }
  // Rendered on first use. The reference stays valid while the face lives, except for a
  // glyph past the cache's limit, which is valid until this thread's next GetGlyph.
  const Glyph& GetGlyph(char32_t c);

 private:
  FontFace() = default;
  bool Open(const LOGFONTW& request);
  void Render(char32_t c, Glyph& out);

  std::shared_ptr<void> Library;  // FreeType, kept until its last face is closed
  void* Face = nullptr;           // FT_Face
  bool Embolden = false;          // bold asked for, only a regular face installed
  bool Oblique = false;           // italic asked for, only an upright face installed
  int32_t AscentPixels = 0;
  int32_t DescentPixels = 0;

  std::mutex Lock;  // FreeType faces are not to be used by two threads at once
  std::array<std::unique_ptr<Glyph>, 256> Latin;
  std::unordered_map<char32_t, std::unique_ptr<Glyph>> Others;
};

}  // namespace platform

// Font resolution and glyph rendering. Sizes follow the platform's LOGFONT rules: a negative
// height is the character (em) height in pixels, a positive one the cell height (ascent plus
// descent); ascent and descent are the font's Windows metrics (OS/2 usWinAscent and
// usWinDescent) scaled to the em and rounded to whole pixels, as the platform measures lines.
#include "platform/FontCache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace platform {
namespace {

// A height of 0 asks for the default size: 10 points at 96 dots per inch.
constexpr int32_t DefaultEmPixels = 13;
// Larger sizes are drawn at this size: glyph images grow with its square.
constexpr int32_t MaxEmPixels = 512;
// Faces kept for reuse after their last font is deleted.
constexpr size_t KeptFaces = 16;
// Glyphs outside Latin-1 kept per face; further ones are rendered each time.
constexpr size_t KeptOtherGlyphs = 4096;

struct FreeType {
  FT_Library Handle = nullptr;
  // Faces are opened and closed under this lock: FreeType lets threads use different faces
  // at once, but not create or free them on one library.
  std::mutex Lock;
  ~FreeType() {
    if (Handle != nullptr) FT_Done_FreeType(Handle);
  }
};

// The request's face name as UTF-8 for fontconfig, read up to its NUL (31 units at most).
std::string FaceName(const LOGFONTW& request) {
  std::string out;
  for (int i = 0; i < LF_FACESIZE - 1 && request.lfFaceName[i] != 0; ++i) {
    char32_t c = request.lfFaceName[i];
    char16_t next = request.lfFaceName[i + 1];
    if (c >= 0xD800 && c < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// What makes two requests the same face: the name (ASCII letters in any case alike), the
// height and weight as asked, italic or not.
struct FaceKey {
  std::array<char16_t, LF_FACESIZE> Name{};
  int32_t Height = 0;
  int32_t Weight = 0;
  bool Italic = false;

  explicit FaceKey(const LOGFONTW& r)
      : Height(r.lfHeight), Weight(r.lfWeight), Italic(r.lfItalic != 0) {
    for (int i = 0; i < LF_FACESIZE - 1 && r.lfFaceName[i] != 0; ++i) {
      char16_t c = r.lfFaceName[i];
      Name[i] = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    }
  }
  bool operator==(const FaceKey&) const = default;
};

struct FaceCache {
  // fontconfig keeps the configuration it loads on first use until FcFini; without this the
  // leak checker of the sanitizer build reports the configuration parser's buffers at exit.
  ~FaceCache() { FcFini(); }

  std::mutex Mutex;
  std::vector<std::pair<FaceKey, std::shared_ptr<FontFace>>> Recent;  // most recent first
  std::shared_ptr<FreeType> Library;
};

FaceCache& Cache() {
  static FaceCache cache;
  return cache;
}

struct FontFile {
  std::string Path;
  int Index = 0;
  bool Embolden = false;
  bool Upright = false;
};

// fontconfig's best match for the request; a face nobody has gives its default face.
bool Match(const LOGFONTW& request, int32_t emPixels, FontFile& out) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return false;
  std::string family = FaceName(request);
  if (!family.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  int weight = std::clamp(request.lfWeight == 0 ? FW_NORMAL : request.lfWeight, 1, 1000);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.lfItalic != 0 ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, emPixels);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* file = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  if (found) {
    out.Path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &out.Index);
    FcBool embolden = FcFalse;
    FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
    out.Embolden = embolden == FcTrue;
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    out.Upright = slant == FC_SLANT_ROMAN;
  }
  FcPatternDestroy(match);
  return found;
}

int64_t RoundedScale(int32_t units, int32_t em, int32_t unitsPerEm) {
  return std::llround(static_cast<double>(units) * em / unitsPerEm);
}

}  // namespace

std::shared_ptr<FontFace> FontFace::Find(const LOGFONTW& request) {
  FaceKey key(request);
  FaceCache& cache = Cache();
  std::lock_guard<std::mutex> hold(cache.Mutex);
  auto& recent = cache.Recent;
  auto hit =
      std::find_if(recent.begin(), recent.end(), [&key](const auto& e) { return e.first == key; });
  if (hit != recent.end()) {
    std::rotate(recent.begin(), hit, hit + 1);
    return recent.front().second;
  }
  std::shared_ptr<FontFace> face(new FontFace());
  if (!face->Open(request)) return nullptr;
  recent.insert(recent.begin(), {key, face});
  if (recent.size() > KeptFaces) recent.pop_back();  // fonts still using it keep it alive
  return face;
}

bool FontFace::Open(const LOGFONTW& request) {
  FaceCache& cache = Cache();
  if (!cache.Library) {
    auto library = std::make_shared<FreeType>();
    if (FT_Init_FreeType(&library->Handle) != 0) return false;
    cache.Library = std::move(library);
  }
  Library = cache.Library;
  FT_Library lib = static_cast<FreeType*>(Library.get())->Handle;

  int64_t asked = request.lfHeight == 0 ? DefaultEmPixels : std::abs(int64_t{request.lfHeight});
  int32_t em = static_cast<int32_t>(std::clamp<int64_t>(asked, 1, MaxEmPixels));
  FontFile file;
  FT_Face face = nullptr;
  if (!Match(request, em, file)) return false;
  {
    std::lock_guard<std::mutex> hold(static_cast<FreeType*>(Library.get())->Lock);
    if (FT_New_Face(lib, file.Path.c_str(), file.Index, &face) != 0) return false;
  }
  Face = face;
  Embolden = file.Embolden;
  Oblique = request.lfItalic != 0 && file.Upright;

  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  int32_t upem = face->units_per_EM;
  bool winMetrics = os2 != nullptr && upem > 0 && os2->usWinAscent + os2->usWinDescent > 0;
  if (request.lfHeight > 0 && winMetrics) {
    // A cell height: the em that makes ascent plus descent that many pixels.
    int64_t cell = RoundedScale(request.lfHeight, upem, os2->usWinAscent + os2->usWinDescent);
    em = static_cast<int32_t>(std::clamp<int64_t>(cell, 1, MaxEmPixels));
  }
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) return false;
  if (winMetrics) {
    AscentPixels = static_cast<int32_t>(RoundedScale(os2->usWinAscent, em, upem));
    DescentPixels = static_cast<int32_t>(RoundedScale(os2->usWinDescent, em, upem));
  } else {
    AscentPixels = static_cast<int32_t>((face->size->metrics.ascender + 63) >> 6);
    DescentPixels = static_cast<int32_t>((-face->size->metrics.descender + 63) >> 6);
  }
  return true;
}

FontFace::~FontFace() {
  if (Face == nullptr) return;
  std::lock_guard<std::mutex> hold(static_cast<FreeType*>(Library.get())->Lock);
  FT_Done_Face(static_cast<FT_Face>(Face));
}

const FontFace::Glyph& FontFace::GetGlyph(char32_t c) {
  std::lock_guard<std::mutex> hold(Lock);
  if (c < Latin.size()) {
    auto& slot = Latin[c];
    if (!slot) {
      slot = std::make_unique<Glyph>();
      Render(c, *slot);
    }
    return *slot;
  }
  auto it = Others.find(c);
  if (it != Others.end()) return *it->second;
  if (Others.size() >= KeptOtherGlyphs) {
    thread_local Glyph scratch;
    Render(c, scratch);
    return scratch;
  }
  auto glyph = std::make_unique<Glyph>();
  Render(c, *glyph);
  return *Others.emplace(c, std::move(glyph)).first->second;
}

void FontFace::Render(char32_t c, Glyph& out) {
  out = Glyph();
  FT_Face face = static_cast<FT_Face>(Face);
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) {
    return;
  }
  FT_GlyphSlot slot = face->glyph;
  if (Embolden) FT_GlyphSlot_Embolden(slot);
  if (Oblique) FT_GlyphSlot_Oblique(slot);
  out.Advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
  const FT_Bitmap& b = slot->bitmap;
  if (b.pixel_mode != FT_PIXEL_MODE_GRAY || b.width == 0 || b.rows == 0) return;
  out.Left = slot->bitmap_left;
  out.Top = slot->bitmap_top;
  out.Width = static_cast<int32_t>(b.width);
  out.Height = static_cast<int32_t>(b.rows);
  out.Coverage = std::make_unique<uint8_t[]>(static_cast<size_t>(out.Width) * out.Height);
  for (int32_t y = 0; y < out.Height; ++y) {
    const uint8_t* row = b.buffer + static_cast<ptrdiff_t>(b.pitch) * y;
    std::copy(row, row + out.Width, out.Coverage.get() + static_cast<size_t>(y) * out.Width);
  }
}

}  // namespace platform

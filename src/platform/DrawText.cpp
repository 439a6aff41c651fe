// DrawTextW: lines, word wrap, alignment and anti-aliased glyphs.
//
// Pixel and layout rules:
// - A line is the font's ascent plus descent high; its glyphs stand on the baseline, ascent
//   rows below the line's top, and advance by whole pixels (no kerning, as the platform).
// - CR LF, LF and a lone CR each end a line; every end starts a new line, so "a\n" is two
//   lines and the empty text one empty line.
// - DT_WORDBREAK breaks at the last space run that leaves the line within the rectangle's
//   width; the spaces at a break belong to neither line. A word wider than the line breaks
//   after its last character that fits, and every line takes at least one character.
// - DT_CENTER puts a line at left + (width - line width) / 2, DT_RIGHT at right - line width;
//   DT_VCENTER puts the block of lines at top + (height - text height) / 2 and DT_BOTTOM at
//   bottom - text height; divisions truncate toward zero. Design note: the vertical flags
//   place the whole block, whatever the number of lines.
// - Ink is clipped to the rectangle (right and bottom exclusive). Coverage c of a glyph pixel
//   blends the text colour over the pixel: d + (t - d) * c / 255 per channel, rounded.
// - In opaque mode each line's box (its width by the line height) is first filled with the
//   background colour.
// - Without DT_NOPREFIX "&&" shows "&" and a single "&" underlines the next character on the
//   row below the baseline.
#include <algorithm>
#include <vector>

#include "platform/FontCache.h"
#include "platform/GdiObjects.h"
#include "platform/Strings.h"

namespace platform {
namespace {

struct Cell {
  char32_t Code;
  int32_t Advance;
  bool Underline;
};

struct Line {
  size_t Begin;  // cells Begin .. End - 1
  size_t End;
  int32_t Width;
};

struct Layout {
  std::vector<Cell> Cells;
  std::vector<Line> Lines;
  int32_t Width = 0;  // of the widest line
};

// Units of text to cells, with a line break marked by a cell of code '\n'.
void Decode(const WCHAR* text, size_t n, bool prefix, FontFace& face, std::vector<Cell>& out) {
  bool underlineNext = false;
  for (size_t i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
      out.push_back({U'\n', 0, false});
      underlineNext = false;
      continue;
    }
    if (prefix && c == u'&' && !underlineNext) {
      if (i + 1 < n && text[i + 1] == u'&') {
        ++i;  // "&&" is one ampersand
      } else {
        underlineNext = true;
        continue;
      }
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    out.push_back({c, face.GetGlyph(c).Advance, underlineNext});
    underlineNext = false;
  }
}

void Emit(Layout& layout, size_t begin, size_t end, int32_t width) {
  layout.Lines.push_back({begin, end, width});
  layout.Width = std::max(layout.Width, width);
}

// Breaks the cells begin .. end - 1 of one paragraph into lines no wider than maxWidth.
void Wrap(Layout& layout, size_t begin, size_t end, int32_t maxWidth) {
  const std::vector<Cell>& cells = layout.Cells;
  size_t pos = begin;
  for (;;) {
    int32_t width = 0, breakWidth = 0;
    size_t breakAt = 0;  // end of the text before the last space run; 0: none yet
    size_t i = pos;
    for (; i < end; ++i) {
      const Cell& cell = cells[i];
      if (cell.Code == U' ') {
        if (i > pos && cells[i - 1].Code != U' ') {
          breakAt = i;
          breakWidth = width;
        }
        width += cell.Advance;  // spaces may hang past the edge
        continue;
      }
      if (i > pos && width + cell.Advance > maxWidth) break;
      width += cell.Advance;
    }
    if (i == end) {
      Emit(layout, pos, end, width);
      return;
    }
    if (breakAt > pos) {
      Emit(layout, pos, breakAt, breakWidth);
      for (pos = breakAt; pos < end && cells[pos].Code == U' '; ++pos) {
      }
    } else {
      Emit(layout, pos, i, width);  // one word fills the line: break inside it
      pos = i;
    }
    if (pos == end) return;
  }
}

void Arrange(Layout& layout, const RECT& rect, uint32_t format) {
  size_t begin = 0;
  for (size_t i = 0; i <= layout.Cells.size(); ++i) {
    if (i < layout.Cells.size() && layout.Cells[i].Code != U'\n') continue;
    if ((format & DT_WORDBREAK) != 0 && i > begin) {
      Wrap(layout, begin, i, rect.right - rect.left);
    } else {
      int32_t width = 0;
      for (size_t k = begin; k < i; ++k) width += layout.Cells[k].Advance;
      Emit(layout, begin, i, width);
    }
    begin = i + 1;
  }
}

struct Clip {
  int32_t Left, Top, Right, Bottom;  // right and bottom exclusive
};

uint32_t Blend(uint32_t d, uint32_t t, uint32_t a) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    uint32_t dc = d >> shift & 0xFF, tc = t >> shift & 0xFF;
    out |= ((tc * a + dc * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

void DrawGlyph(PixelSurface& s, const FontFace::Glyph& g, int32_t x0, int32_t y0, Bgr colour,
               const Clip& clip, std::vector<Bgr>& row) {
  int32_t left = std::max(x0, clip.Left), right = std::min(x0 + g.Width, clip.Right);
  int32_t top = std::max(y0, clip.Top), bottom = std::min(y0 + g.Height, clip.Bottom);
  if (left >= right || top >= bottom) return;
  int32_t n = right - left;
  row.resize(static_cast<size_t>(n));
  for (int32_t y = top; y < bottom; ++y) {
    const uint8_t* coverage =
        g.Coverage.get() + static_cast<size_t>(y - y0) * g.Width + (left - x0);
    s.ReadColours(y, left, n, row.data());
    for (int32_t i = 0; i < n; ++i) {
      if (coverage[i] != 0)
        row[i] = coverage[i] == 255 ? colour : Blend(row[i], colour, coverage[i]);
    }
    s.WriteColours(y, left, n, row.data());
  }
}

void FillBox(PixelSurface& s, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Bgr colour,
             const Clip& clip) {
  uint32_t value = s.ValueOf(colour);
  int64_t top = std::max<int64_t>(y0, clip.Top), bottom = std::min<int64_t>(y1, clip.Bottom);
  for (int64_t y = top; y < bottom; ++y) {
    s.FillSpan(static_cast<int32_t>(y), std::max<int64_t>(x0, clip.Left),
               std::min<int64_t>(x1, clip.Right) - 1, value);
  }
}

void Paint(VmDeviceContext& dc, FontFace& face, const Layout& layout, const RECT& rect,
           uint32_t format, int64_t top) {
  PixelSurface& s = dc.Target();
  Clip clip{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, s.Width),
            std::min(rect.bottom, s.Height)};
  if (s.Empty() || clip.Left >= clip.Right || clip.Top >= clip.Bottom) return;
  Bgr text = ToBgr(dc.TextColour);
  thread_local std::vector<Bgr> row;
  int64_t lineHeight = face.LineHeight();
  for (size_t k = 0; k < layout.Lines.size(); ++k) {
    const Line& line = layout.Lines[k];
    int64_t y = top + static_cast<int64_t>(k) * lineHeight;
    if (y >= clip.Bottom) break;
    if (y + lineHeight <= clip.Top) continue;
    int64_t x = rect.left;
    if ((format & DT_CENTER) != 0) {
      x += (int64_t{rect.right} - rect.left - line.Width) / 2;
    } else if ((format & DT_RIGHT) != 0) {
      x = int64_t{rect.right} - line.Width;
    }
    if (dc.BkMode == OPAQUE)
      FillBox(s, x, y, x + line.Width, y + lineHeight, ToBgr(dc.BkColour), clip);
    int64_t baseline = y + face.Ascent();
    for (size_t i = line.Begin; i < line.End && x < clip.Right; ++i) {
      const Cell& cell = layout.Cells[i];
      const FontFace::Glyph& g = face.GetGlyph(cell.Code);
      int64_t gx = x + g.Left, gy = baseline - g.Top;
      if (g.Width > 0 && gx + g.Width > clip.Left && gx < clip.Right && gy < clip.Bottom &&
          gy + g.Height > clip.Top) {
        DrawGlyph(s, g, static_cast<int32_t>(gx), static_cast<int32_t>(gy), text, clip, row);
      }
      if (cell.Underline) FillBox(s, x, baseline + 1, x + cell.Advance, baseline + 2, text, clip);
      x += cell.Advance;
    }
  }
}

}  // namespace

int32_t DrawTextW(HDC dc, const WCHAR* text, int32_t count, RECT* rect, uint32_t format) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr || text == nullptr || rect == nullptr || count < -1) return 0;
  FontFace* face = c->Font->Face();
  if (face == nullptr) return 0;
  size_t n = count == -1 ? WideLength(text) : static_cast<size_t>(count);

  thread_local Layout layout;
  layout.Cells.clear();
  layout.Lines.clear();
  layout.Width = 0;
  Decode(text, n, (format & DT_NOPREFIX) == 0, *face, layout.Cells);
  Arrange(layout, *rect, format);

  int64_t height = static_cast<int64_t>(layout.Lines.size()) * face->LineHeight();
  if ((format & DT_CALCRECT) != 0) {
    rect->right =
        static_cast<int32_t>(std::min<int64_t>(int64_t{rect->left} + layout.Width, INT32_MAX));
    rect->bottom = static_cast<int32_t>(std::min<int64_t>(int64_t{rect->top} + height, INT32_MAX));
    return static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX));
  }
  int64_t top = rect->top;
  if ((format & DT_VCENTER) != 0) {
    top += (int64_t{rect->bottom} - rect->top - height) / 2;
  } else if ((format & DT_BOTTOM) != 0) {
    top = rect->bottom - height;
  }
  Paint(*c, *face, layout, *rect, format, top);
  int64_t result = (format & (DT_VCENTER | DT_BOTTOM)) != 0 ? top - rect->top + height : height;
  return static_cast<int32_t>(std::clamp<int64_t>(result, INT32_MIN, INT32_MAX));
}

}  // namespace platform

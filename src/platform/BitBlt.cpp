// BitBlt: the raster operations as a table of Boolean expressions over destination (D) and
// source (S) colours, and the platform's colour/monochrome conversions on the way in.
//
// Pixel rules:
// - A colour source on a monochrome bitmap gives white (1) where the source pixel equals the
//   source context's background colour as the source stores it, black (0) elsewhere.
// - A monochrome source on a colour surface gives the destination context's text colour
//   for 0 and its background colour for 1.
// - Design note: operations combine colours, not palette indices, and the result is stored
//   as the nearest palette entry. Blackening a palette picture's key colour (D AND NOT S) then
//   gives true black whenever the palette has black, wherever black sits in it.
#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/GdiObjects.h"
#include "platform/WorkerPool.h"

namespace platform {
namespace {

struct RasterOp {
  DWORD Code;
  bool ReadsDest;
  Bgr (*Apply)(Bgr d, Bgr s);
};

constexpr RasterOp RasterOps[] = {
    {SRCCOPY, false, [](Bgr, Bgr s) { return s; }},                       // S
    {SRCAND, true, [](Bgr d, Bgr s) { return d & s; }},                   // D AND S
    {SRCPAINT, true, [](Bgr d, Bgr s) { return d | s; }},                 // D OR S
    {DSTANDNOTSRC, true, [](Bgr d, Bgr s) { return d & ~s & BgrMask; }},  // D AND NOT S
};

const RasterOp* FindOp(DWORD code) {
  for (const RasterOp& op : RasterOps) {
    if (op.Code == code) return &op;
  }
  return nullptr;
}

// The part of a copy that lies inside both surfaces.
struct Copy {
  int32_t X, Y, Width, Height, SrcX, SrcY;
};

bool ClipCopy(Copy& c, const PixelSurface& dst, const PixelSurface& src) {
  int64_t x = c.X, y = c.Y, sx = c.SrcX, sy = c.SrcY, w = c.Width, h = c.Height;
  // Left and top edges: both origins move together, so source and destination stay aligned.
  int64_t cut = std::max({int64_t{0}, -x, -sx});
  x += cut;
  sx += cut;
  w -= cut;
  cut = std::max({int64_t{0}, -y, -sy});
  y += cut;
  sy += cut;
  h -= cut;
  // Right and bottom edges are exclusive: a surface of width W ends before column W.
  w = std::min({w, dst.Width - x, src.Width - sx});
  h = std::min({h, dst.Height - y, src.Height - sy});
  if (w <= 0 || h <= 0) return false;
  c = {static_cast<int32_t>(x), static_cast<int32_t>(y),  static_cast<int32_t>(w),
       static_cast<int32_t>(h), static_cast<int32_t>(sx), static_cast<int32_t>(sy)};
  return true;
}

// 24-bit rows to 32-bit ones. A rendered view reaches its window this way every frame, so on
// x86 with AVX2 eight pixels go at a time: the words holding pixels 0-3 and 4-7 are moved
// into the two 128-bit lanes, then each group of three bytes is spread to a word whose top
// byte is zero (shuffle index 0x80 writes 0).
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"), always_inline)) inline void Eight24To32(const uint8_t* in,
                                                                       uint32_t* out) {
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0);
  const __m256i spread =
      _mm256_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128, 0, 1, 2, -128,
                       3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
  __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
  a = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(a, lanes), spread);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), a);
}

__attribute__((target("avx2"))) int32_t Row24To32Wide(const uint8_t* in, uint32_t* out, int32_t n) {
  int32_t i = 0;
  // A 32-byte load takes 24 bytes of pixels and 8 more, which must still lie in the row:
  // three pixels past the last eight.
  for (; i + 35 <= n; i += 32, in += 96, out += 32) {
    for (int k = 0; k < 4; ++k) Eight24To32(in + 24 * k, out + 8 * k);
  }
  for (; i + 11 <= n; i += 8, in += 24, out += 8) Eight24To32(in, out);
  return i;
}
#endif

void Row24To32(const uint8_t* in, uint32_t* out, int32_t n) {
  int32_t i = 0;
#if defined(__x86_64__) || defined(__i386__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide) {
    // Stores that straddle two cache lines cost twice: align the output first.
    for (; i < n && (reinterpret_cast<uintptr_t>(out) & 31) != 0; ++i, in += 3) {
      *out++ = in[0] | in[1] << 8 | in[2] << 16;
    }
    int32_t done = Row24To32Wide(in, out, n - i);
    i += done;
    in += 3 * done;
    out += done;
  }
#endif
  for (; i + 4 <= n; i += 4, in += 12, out += 4) {
    uint32_t a, b, c;
    std::memcpy(&a, in, 4);
    std::memcpy(&b, in + 4, 4);
    std::memcpy(&c, in + 8, 4);
    out[0] = a & BgrMask;
    out[1] = (a >> 24 | b << 8) & BgrMask;
    out[2] = (b >> 16 | c << 16) & BgrMask;
    out[3] = c >> 8;
  }
  for (; i < n; ++i, in += 3) *out++ = in[0] | in[1] << 8 | in[2] << 16;
}

// Rows of one copy in the source's memory order (bottom-up DIBs from the bottom), so its
// reads run forwards from one row into the next.
void CopyRows(PixelSurface& dst, const PixelSurface& src, const Copy& c, int32_t first,
              int32_t end) {
  const uint16_t from = src.BitsPerPixel, to = dst.BitsPerPixel;
  const bool upwards = src.RowStep < 0;
  for (int32_t k = first; k < end; ++k) {
    int32_t r = upwards ? c.Height - 1 - k : k;
    const uint8_t* in = src.Row(c.SrcY + r) + from / 8 * c.SrcX;
    uint8_t* out = dst.Row(c.Y + r) + to / 8 * c.X;
    if (from == to) {
      std::memmove(out, in, static_cast<size_t>(c.Width) * (from / 8));
    } else if (from == 24) {
      Row24To32(in, reinterpret_cast<uint32_t*>(out), c.Width);
    } else {
      for (int32_t i = 0; i < c.Width; ++i, in += 4, out += 3) std::memcpy(out, in, 3);
    }
  }
}

// Copies whose output is at least this large share their rows with the worker pool (a
// rendered view reaching its window every frame); smaller ones are not worth waking it for.
constexpr int64_t SharedBytes = int64_t{1} << 20;
constexpr int32_t RowsPerPart = 64;

// SRCCOPY between direct-colour surfaces of 24 and 32 bits, which is how a rendered view
// reaches a window. False when the pair has no direct path. The two surfaces are distinct
// (the caller checks), so rows may be copied in any order.
bool CopyDirect(PixelSurface& dst, const PixelSurface& src, const Copy& c) {
  uint16_t from = src.BitsPerPixel, to = dst.BitsPerPixel;
  if ((from != 24 && from != 32) || (to != 24 && to != 32)) return false;
  if (int64_t{to / 8} * c.Width * c.Height < SharedBytes) {
    CopyRows(dst, src, c, 0, c.Height);
    return true;
  }
  const int32_t parts = (c.Height + RowsPerPart - 1) / RowsPerPart;
  WorkerPool::Shared().Run(parts, [&](int32_t part) {
    CopyRows(dst, src, c, part * RowsPerPart, std::min(c.Height, (part + 1) * RowsPerPart));
  });
  return true;
}

// One source row as the colours the operation sees on this destination.
void SourceRow(const PixelSurface& src, const PixelSurface& dst, const VmDeviceContext& srcDc,
               const VmDeviceContext& dstDc, int32_t y, int32_t x, int32_t n, Bgr* out) {
  if (src.Monochrome && !dst.Monochrome) {
    Bgr zero = ToBgr(dstDc.TextColour), one = ToBgr(dstDc.BkColour);
    src.ReadValues(y, x, n, out);
    for (int32_t i = 0; i < n; ++i) out[i] = out[i] != 0 ? one : zero;
    return;
  }
  src.ReadColours(y, x, n, out);
  if (dst.Monochrome && !src.Monochrome) {
    // A palette source compares the exact palette colour; a 16-bit one the background as
    // it would store it.
    Bgr key = ToBgr(srcDc.BkColour);
    if (!src.Indexed()) key = src.Quantise(key);
    for (int32_t i = 0; i < n; ++i) out[i] = out[i] == key ? BgrWhite : 0;
  }
}

}  // namespace

bool BitBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t xSrc,
            int32_t ySrc, DWORD rop) {
  const RasterOp* op = FindOp(rop);
  VmDeviceContext* d = FindDc(dst);
  VmDeviceContext* s = FindDc(src);
  if (op == nullptr || d == nullptr || s == nullptr) return false;
  PixelSurface& to = d->Target();
  const PixelSurface& from = s->Target();
  Copy c{x, y, width, height, xSrc, ySrc};
  if (to.Empty() || from.Empty() || !ClipCopy(c, to, from)) return true;  // nothing to draw

  if (op->Code == SRCCOPY && !to.Monochrome && !from.Monochrome && from.Top != to.Top &&
      CopyDirect(to, from, c)) {
    return true;
  }
  // Rows of one surface copied onto itself are read in full first, so overlap is harmless.
  std::vector<Bgr> source(static_cast<size_t>(c.Width) * (from.Top == to.Top ? c.Height : 1));
  std::vector<Bgr> dest(static_cast<size_t>(c.Width));
  if (from.Top == to.Top) {
    for (int32_t r = 0; r < c.Height; ++r) {
      SourceRow(from, to, *s, *d, c.SrcY + r, c.SrcX, c.Width,
                source.data() + size_t{1} * r * c.Width);
    }
  }
  for (int32_t r = 0; r < c.Height; ++r) {
    Bgr* in = source.data();
    if (from.Top == to.Top) {
      in += static_cast<size_t>(r) * c.Width;
    } else {
      SourceRow(from, to, *s, *d, c.SrcY + r, c.SrcX, c.Width, in);
    }
    if (op->ReadsDest) {
      to.ReadColours(c.Y + r, c.X, c.Width, dest.data());
      for (int32_t i = 0; i < c.Width; ++i) dest[i] = op->Apply(dest[i], in[i]);
      in = dest.data();
    }
    to.WriteColours(c.Y + r, c.X, c.Width, in);
  }
  return true;
}

}  // namespace platform

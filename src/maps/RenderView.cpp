// The view resampler: zoom and rotation by area averaging in sixteenths of a source pixel.
// The arithmetic is the resampler's own definition and every output byte follows it exactly:
// 32-bit float footprint origins truncated toward zero, cells found by floor (arithmetic
// shift), integer coverage weights, truncating division by norm = step x step, and the clip
// test on the footprint's end cell x1, y1 even where its coverage is zero.
//
// Speed comes only from rearranging work that cannot change a result: per-column and per-row
// tables when there is no rotation (sx depends on the column alone, sy on the row alone),
// weight tables by s mod 16, kernels specialised per source depth and per number of cells
// under a footprint, the three colour sums packed in one 64-bit word or summed in SSE2 lanes,
// a plain copy where every weight but one is zero (zoom exactly 1, no rotation), strips of
// columns with prefetching for turned views, and division by norm through a multiply that is
// exact for every possible sum (see Divider).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "maps/Bitmap.h"
#include "platform/WorkerPool.h"

namespace velmira {
namespace {

// step = trunc(16 / zoom) must be at least 1, and norm = step x step must fit the signed
// 16-bit value it is held in: step at most 181.
constexpr int32_t MaxStep = 181;

// q = sum / norm for 0 <= sum <= 255 x norm < 2^23 and 1 <= norm <= 32761, as
// (sum x M) >> 40 with M = ceil(2^40 / norm). With e = M x norm - 2^40 < norm, the product
// overshoots sum / norm by sum x e / (norm x 2^40) < 2^23 x 2^15 / (norm x 2^40) < 1 / norm,
// which never reaches the next integer, since sum / norm is at least 1 / norm below it.
struct Divider {
  explicit Divider(int32_t norm) : M(((uint64_t{1} << 40) + norm - 1) / norm) {}
  uint8_t operator()(int32_t sum) const {
    return static_cast<uint8_t>((static_cast<uint64_t>(sum) * M) >> 40);
  }
  uint64_t M;
};

struct Source {
  const uint8_t* Pixels;
  intptr_t Stride;
  int32_t Width;
  int32_t Height;
  // Palette colours, packed (see Pack); entries the bitmap does not have read as black, so a
  // short palette can never be read past.
  uint64_t Palette[256];

  const uint8_t* Row(int64_t y) const { return Pixels + static_cast<intptr_t>(y) * Stride; }
};

// The three colour sums of a footprint travel in one 64-bit word, 21 bits a part: with weights
// adding up to norm = step x step, a part's sum is at most 255 x norm, below 2^21 for steps up
// to PackedStep, so the parts never carry into each other and the sums are those of three
// separate accumulators.
constexpr int LaneBits = 21;
constexpr uint64_t LaneMask = (uint64_t{1} << LaneBits) - 1;
constexpr int32_t PackedStep = 90;
static_assert(255 * PackedStep * PackedStep < (1 << LaneBits));

constexpr uint64_t Pack(uint32_t b, uint32_t g, uint32_t r) {
  return b | uint64_t{g} << LaneBits | uint64_t{r} << (2 * LaneBits);
}

// 16-bit sources are read as 5-5-5 RGB (the uncompressed 16-bit DIB layout), each part
// widened to 8 bits by repeating its top bits.
inline uint64_t Pack555(uint32_t v) {
  const uint32_t b = v & 31, g = (v >> 5) & 31, r = (v >> 10) & 31;
  return Pack(b << 3 | b >> 2, g << 3 | g >> 2, r << 3 | r >> 2);
}

// The packed colour of pixel i of a row.
template <int Depth>
inline uint64_t Fetch(const Source& s, const uint8_t* row, int64_t i) {
  if constexpr (Depth == 24) {
    // One 4-byte load ending at the pixel's last byte: the byte before a pixel always lies in
    // the block (header and palette come first), the byte after it may not.
    uint32_t v;
    std::memcpy(&v, row + 3 * i - 1, 4);
    v >>= 8;
    return (v & 0xFF) | uint64_t{v & 0xFF00} << (LaneBits - 8) |
           uint64_t{v & 0xFF0000} << (2 * LaneBits - 16);
  } else if constexpr (Depth == 8) {
    return s.Palette[row[i]];
  } else if constexpr (Depth == 4) {
    const uint8_t byte = row[i >> 1];
    return s.Palette[(i & 1) != 0 ? byte & 15 : byte >> 4];  // high nibble: the even column
  } else if constexpr (Depth == 1) {
    return s.Palette[(row[i >> 3] & (0x80 >> (i & 7))) != 0 ? 1 : 0];
  } else {
    return Pack555(row[2 * i] | row[2 * i + 1] << 8);
  }
}

inline void Store(uint8_t* out, uint64_t sum, const Divider& divide) {
  out[0] = divide(static_cast<int32_t>(sum & LaneMask));
  out[1] = divide(static_cast<int32_t>((sum >> LaneBits) & LaneMask));
  out[2] = divide(static_cast<int32_t>(sum >> (2 * LaneBits)));
}

inline void White(uint8_t* out) { out[0] = out[1] = out[2] = 0xFF; }

// The cells of one axis under a footprint that starts at s (sixteenths) with side step: cells
// C0 = floor(s / 16) to C1 = floor((s + step) / 16). With N cells budgeted per axis, weight k
// belongs to cell min(C0 + k, C1): C0's is 16 (C0 + 1) - s, or step when C0 = C1; C1's is
// s + step - 16 C1; the cells between weigh 16; slots past C1 weigh 0 and repeat C1, so
// nothing outside the footprint is read. This is the coverage of cell C0 + k with the
// footprint, min(16 (k + 1), f + step) - max(16 k, f) for f = s - 16 C0, which gives exactly
// those values.
#if defined(__SSE2__)
constexpr bool Vectors = true;
#else
constexpr bool Vectors = false;
#endif
// 24-bit footprints of 2 or 3 cells across are summed in SSE2 registers: a row's cells are
// at most 9 contiguous bytes.
template <int Depth, int N>
constexpr bool VectorKernel = Vectors && Depth == 24 && (N == 2 || N == 3);

template <int N>
struct Cells {
  int32_t W[16][N];  // by f = s mod 16
  int32_t Span[16];  // C1 - C0 by f
#if defined(__SSE2__)
  // The weights of one row's bytes b0 g0 r0 b1 g1 r1 b2 g2 as 16-bit lanes, r2's apart, and
  // each row weight as 32-bit lanes of (weight, 0) 16-bit pairs for the multiply-add.
  __m128i Across[16];
  __m128i AcrossLast[16];
  __m128i Down[16][N];
#endif
  explicit Cells(int32_t step) {
    for (int32_t f = 0; f < 16; ++f) {
      Span[f] = (f + step) >> 4;
      for (int k = 0; k < N; ++k) {
        W[f][k] = std::max(0, std::min(16 * (k + 1), f + step) - std::max(16 * k, f));
      }
#if defined(__SSE2__)
      int16_t lanes[8] = {};
      for (int i = 0; i < 8 && i < 3 * N; ++i) lanes[i] = static_cast<int16_t>(W[f][i / 3]);
      Across[f] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes));
      AcrossLast[f] = _mm_cvtsi32_si128(N == 3 ? W[f][N - 1] : 0);
      for (int k = 0; k < N; ++k) Down[f][k] = _mm_set1_epi32(W[f][k]);
#endif
    }
  }
};

template <int N>
struct Axis {
  int64_t C0;
  int32_t Span;  // C1 - C0
  int32_t F;     // s mod 16
  const int32_t* W;
};

template <int N>
inline Axis<N> Cover(int64_t s, const Cells<N>& cells) {
  const int32_t f = static_cast<int32_t>(s & 15);
  return {s >> 4, cells.Span[f], f, cells.W[f]};  // C0 by floor toward minus infinity
}

// The clip test, on the end cells even where their weight is 0.
template <int N>
inline bool Outside(const Source& s, const Axis<N>& x, const Axis<N>& y) {
  return x.C0 < 0 || y.C0 < 0 || x.C0 + x.Span >= s.Width || y.C0 + y.Span >= s.Height;
}

template <int Depth, int N>
inline uint64_t Footprint(const Source& s, const Axis<N>& x, const Axis<N>& y) {
  uint64_t total = 0;
#pragma GCC unroll 8
  for (int k = 0; k < N; ++k) {
    const uint8_t* row = s.Row(y.C0 + std::min(k, y.Span));
    uint64_t across = 0;
#pragma GCC unroll 8
    for (int m = 0; m < N; ++m) {
      across += static_cast<uint64_t>(x.W[m]) * Fetch<Depth>(s, row, x.C0 + std::min(m, x.Span));
    }
    total += static_cast<uint64_t>(y.W[k]) * across;
  }
  return total;
}

#if defined(__SSE2__)
// The same sums as Footprint for 24-bit sources with N = 2 or 3 cells across, when all N
// cells of a row lie inside it. One 16-byte load per row ends at the last cell's last byte
// (the 16 bytes before it lie in the block: header and palette come first); products fit 16
// bits (255 x 16) and a row's sum too (255 x 32); the row weights are applied with 32-bit
// multiply-adds.
template <int N>
inline void VectorFootprint(const Source& s, const Axis<N>& x, const Axis<N>& y,
                            const Cells<N>& cells, int32_t* sums) {
  constexpr int Bytes = 3 * N;
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
#pragma GCC unroll 3
  for (int k = 0; k < N; ++k) {
    const uint8_t* end = s.Row(y.C0 + std::min(k, y.Span)) + 3 * x.C0 + Bytes;
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
    v = _mm_srli_si128(v, 16 - Bytes);  // the row's cells in bytes 0 .. Bytes - 1, zeros after
    __m128i p = _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), cells.Across[x.F]);
    // Lanes b0 g0 r0 b1 g1 r1 b2 g2: fold the second (and third) pixel onto the first.
    __m128i h = _mm_add_epi16(p, _mm_srli_si128(p, 6));
    if constexpr (N == 3) {
      h = _mm_add_epi16(h, _mm_srli_si128(p, 12));
      const __m128i r2 = _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), cells.AcrossLast[x.F]);
      h = _mm_add_epi16(h, _mm_slli_si128(r2, 4));
    }
    total = _mm_add_epi32(total, _mm_madd_epi16(_mm_unpacklo_epi16(h, zero), cells.Down[y.F][k]));
  }
  sums[0] = _mm_cvtsi128_si32(total);
  sums[1] = _mm_cvtsi128_si32(_mm_srli_si128(total, 4));
  sums[2] = _mm_cvtsi128_si32(_mm_srli_si128(total, 8));
}
#endif

// One output pixel whose footprint lies inside the source.
template <int Depth, int N>
inline void Pixel(const Source& s, const Axis<N>& x, const Axis<N>& y, const Cells<N>& cells,
                  const Divider& divide, uint8_t* out) {
#if defined(__SSE2__)
  if constexpr (VectorKernel<Depth, N>) {
    // Budgeted cells past C1 are read (with weight 0) here, so they must lie in the row.
    if (x.C0 + N - 1 < s.Width) {
      int32_t sums[3];
      VectorFootprint<N>(s, x, y, cells, sums);
      out[0] = divide(sums[0]);
      out[1] = divide(sums[1]);
      out[2] = divide(sums[2]);
      return;
    }
  }
#endif
  Store(out, Footprint<Depth, N>(s, x, y), divide);
}

// Footprints too wide for packed sums (zoom below about 0.18): three accumulators, any size.
template <int Depth>
void LargePixel(const Source& s, int64_t sx, int64_t sy, int32_t step, const Divider& divide,
                uint8_t* out) {
  const int64_t x0 = sx >> 4, x1 = (sx + step) >> 4, y0 = sy >> 4, y1 = (sy + step) >> 4;
  if (x0 < 0 || y0 < 0 || x1 >= s.Width || y1 >= s.Height) return White(out);
  auto cover = [step](int64_t start, int64_t c0, int64_t c1, int64_t i) -> int32_t {
    if (c0 == c1) return step;
    if (i == c0) return static_cast<int32_t>(16 * (c0 + 1) - start);
    if (i == c1) return static_cast<int32_t>(start + step - 16 * c1);
    return 16;
  };
  int32_t b = 0, g = 0, r = 0;
  for (int64_t j = y0; j <= y1; ++j) {
    const int32_t cy = cover(sy, y0, y1, j);
    const uint8_t* row = s.Row(j);
    for (int64_t i = x0; i <= x1; ++i) {
      const uint64_t c = Fetch<Depth>(s, row, i);
      const int32_t w = cy * cover(sx, x0, x1, i);
      b += w * static_cast<int32_t>(c & LaneMask);
      g += w * static_cast<int32_t>((c >> LaneBits) & LaneMask);
      r += w * static_cast<int32_t>(c >> (2 * LaneBits));
    }
  }
  out[0] = divide(b);
  out[1] = divide(g);
  out[2] = divide(r);
}

struct View {
  int64_t BaseRow, BaseCol;
  int32_t Width, Height, Step;
  float Inv, A, B;
  bool Rotated;
};

// Footprint origins in sixteenths, as defined: with rotation
// sy = 16 baseRow + trunc(16 (oy A - ox B)), sx = 16 baseCol + trunc(16 (ox A + oy B));
// without, sy = 16 baseRow + trunc(16 oy inv), sx = 16 baseCol + trunc(16 ox inv).
inline int64_t Straight(int64_t base, int32_t o, float inv) {
  return 16 * base + static_cast<int64_t>(static_cast<float>(o) * 16.0f * inv);
}

// Output columns are taken in strips, all rows of a strip before the next: the source cells
// of a strip's consecutive rows overlap, so they stay in the nearest caches. Only the order of
// the work changes.
constexpr int32_t StripWidth = 32;

// A strip's rows walk diagonally through the source, which the hardware does not foresee:
// each pixel asks for the cells of the pixel PrefetchRows rows further down the strip, whose
// footprint lies about PrefetchRows x (16 B, 16 A) sixteenths further on.
constexpr int32_t PrefetchRows = 6;

template <int Depth, int N>
inline void Prefetch(const Source& s, int64_t sx, int64_t sy) {
  const int64_t col = std::clamp<int64_t>(sx >> 4, 0, s.Width - 1);
  const int64_t row = std::clamp<int64_t>(sy >> 4, 0, s.Height - 1);
  for (int k = 0; k < N; ++k) {
    __builtin_prefetch(s.Row(std::min<int64_t>(row + k, s.Height - 1)) + ((col * Depth) >> 3));
  }
}

// The output pixels one call renders: columns X0 .. X1 - 1 of rows Y0 .. Y1 - 1 (rows counted
// from the first in memory).
struct Band {
  int32_t X0, X1, Y0, Y1;
};

// Each rendered row's padding is 0, or 0xFF where the unturned view's row test fills the row
// white; the same bytes whichever part of the row a call renders.
inline void ZeroPadding(Bitmap& out, int32_t oy, int32_t width) {
  const size_t used = static_cast<size_t>(width) * 3;
  std::memset(out.Row(oy) + used, 0, static_cast<size_t>(out.Stride()) - used);
}

inline void WhiteRow(Bitmap& out, int32_t oy, const Band& b, int32_t width) {
  uint8_t* row = out.Row(oy);
  std::memset(row + 3 * static_cast<intptr_t>(b.X0), 0xFF, 3 * static_cast<size_t>(b.X1 - b.X0));
  std::memset(row + 3 * static_cast<intptr_t>(width), 0xFF,
              static_cast<size_t>(out.Stride()) - 3 * static_cast<size_t>(width));
}

template <int Depth, int N>
void RenderRotated(const Source& s, const View& v, const Cells<N == 0 ? 1 : N>& cells,
                   const Band& b, Bitmap& out, const Divider& divide) {
  const int64_t aheadX = static_cast<int64_t>(16.0f * PrefetchRows * v.B);
  const int64_t aheadY = static_cast<int64_t>(16.0f * PrefetchRows * v.A);
  for (int32_t oy = b.Y0; oy < b.Y1; ++oy) ZeroPadding(out, oy, v.Width);
  for (int32_t left = b.X0; left < b.X1; left += StripWidth) {
    const int32_t right = std::min(b.X1, left + StripWidth);
    for (int32_t oy = b.Y0; oy < b.Y1; ++oy) {
      uint8_t* o = out.Row(oy) + 3 * static_cast<intptr_t>(left);
      const float fy = static_cast<float>(oy);
      const float yA = fy * v.A, yB = fy * v.B;
      for (int32_t ox = left; ox < right; ++ox, o += 3) {
        const float fx = static_cast<float>(ox);
        const int64_t sy = 16 * v.BaseRow + static_cast<int64_t>((yA - fx * v.B) * 16.0f);
        const int64_t sx = 16 * v.BaseCol + static_cast<int64_t>((fx * v.A + yB) * 16.0f);
        if constexpr (N == 0) {
          LargePixel<Depth>(s, sx, sy, v.Step, divide, o);
        } else {
          Prefetch<Depth, N>(s, sx + aheadX, sy + aheadY);
          const Axis<N> x = Cover<N>(sx, cells), y = Cover<N>(sy, cells);
          if (Outside(s, x, y)) {
            White(o);
          } else {
            Pixel<Depth, N>(s, x, y, cells, divide, o);
          }
        }
      }
    }
  }
}

// Column footprints of an unturned view, by output column.
template <int N>
using Column = std::conditional_t<N == 0, int64_t, Axis<N == 0 ? 1 : N>>;

template <int Depth, int N>
void RenderStraight(const Source& s, const View& v, const Cells<N == 0 ? 1 : N>& cells,
                    const std::vector<Column<N>>& columns, const Band& b, Bitmap& out,
                    const Divider& divide) {
  for (int32_t oy = b.Y0; oy < b.Y1; ++oy) {
    const int64_t sy = Straight(v.BaseRow, oy, v.Inv);
    // The row test once per row: a row outside is white to its last byte, padding included.
    if ((sy >> 4) < 0 || ((sy + v.Step) >> 4) >= s.Height) {
      WhiteRow(out, oy, b, v.Width);
      continue;
    }
    ZeroPadding(out, oy, v.Width);
    uint8_t* o = out.Row(oy) + 3 * static_cast<intptr_t>(b.X0);
    if constexpr (N == 0) {
      for (int32_t ox = b.X0; ox < b.X1; ++ox, o += 3) {
        LargePixel<Depth>(s, columns[static_cast<size_t>(ox)], sy, v.Step, divide, o);
      }
    } else {
      const Axis<N> y = Cover<N>(sy, cells);
      for (int32_t ox = b.X0; ox < b.X1; ++ox, o += 3) {
        const Axis<N>& x = columns[static_cast<size_t>(ox)];
        if (Outside(s, x, y)) {
          White(o);
        } else {
          Pixel<Depth, N>(s, x, y, cells, divide, o);
        }
      }
    }
  }
}

// Zoom exactly 1 without rotation: sx = 16 (baseCol + ox) and sy = 16 (baseRow + oy), so each
// footprint gives its first cell weight 256 = norm and the others 0: the output pixel is the
// source pixel (baseCol + ox, baseRow + oy), and white where the cell or its neighbour to the
// right or above lies outside.
template <int Depth>
void RenderCopy(const Source& s, const View& v, const Band& b, Bitmap& out) {
  // Output columns [first, last) read inside the source.
  const int64_t first = std::clamp<int64_t>(-v.BaseCol, b.X0, b.X1);
  const int64_t last = std::clamp<int64_t>(s.Width - 1 - v.BaseCol, first, b.X1);
  for (int32_t oy = b.Y0; oy < b.Y1; ++oy) {
    uint8_t* o = out.Row(oy);
    const int64_t j = v.BaseRow + oy;
    if (j < 0 || j + 1 >= s.Height) {
      WhiteRow(out, oy, b, v.Width);
      continue;
    }
    ZeroPadding(out, oy, v.Width);
    std::memset(o + 3 * b.X0, 0xFF, static_cast<size_t>(3 * (first - b.X0)));
    std::memset(o + 3 * last, 0xFF, static_cast<size_t>(3 * (b.X1 - last)));
    const uint8_t* row = s.Row(j);
    if constexpr (Depth == 24) {
      std::memcpy(o + 3 * first, row + 3 * (v.BaseCol + first),
                  static_cast<size_t>(3 * (last - first)));
    } else {
      for (int64_t ox = first; ox < last; ++ox) {
        const uint64_t c = Fetch<Depth>(s, row, v.BaseCol + ox);
        o[3 * ox] = static_cast<uint8_t>(c & LaneMask);
        o[3 * ox + 1] = static_cast<uint8_t>(c >> LaneBits);
        o[3 * ox + 2] = static_cast<uint8_t>(c >> (2 * LaneBits));
      }
    }
  }
}

// Output rows are independent: the part is cut into bands of rows that the worker pool shares
// out, a few per thread so that a band of mostly white rows does not leave a thread idle.
constexpr int32_t BandsPerThread = 4;
constexpr int32_t MinBandRows = 16;

template <class Work>
void InBands(const Band& part, Work&& work) {
  platform::WorkerPool& pool = platform::WorkerPool::Shared();
  const int32_t rows = part.Y1 - part.Y0;
  const int32_t bands =
      std::max(1, std::min(pool.Threads() * BandsPerThread, rows / MinBandRows));
  pool.Run(bands, [&](int32_t i) {
    const int64_t y0 = part.Y0 + int64_t{rows} * i / bands;
    const int64_t y1 = part.Y0 + int64_t{rows} * (i + 1) / bands;
    work(Band{part.X0, part.X1, static_cast<int32_t>(y0), static_cast<int32_t>(y1)});
  });
}

template <int Depth, int N>
void RenderCells(const Source& s, const View& v, const Band& part, Bitmap& out,
                 const Divider& divide) {
  const Cells<N == 0 ? 1 : N> cells(v.Step);
  if (v.Rotated) {
    InBands(part, [&](const Band& b) { RenderRotated<Depth, N>(s, v, cells, b, out, divide); });
    return;
  }
  std::vector<Column<N>> columns(static_cast<size_t>(v.Width));
  for (int32_t ox = part.X0; ox < part.X1; ++ox) {
    const int64_t sx = Straight(v.BaseCol, ox, v.Inv);
    if constexpr (N == 0) {
      columns[static_cast<size_t>(ox)] = sx;
    } else {
      columns[static_cast<size_t>(ox)] = Cover<N>(sx, cells);
    }
  }
  InBands(part, [&](const Band& b) {
    RenderStraight<Depth, N>(s, v, cells, columns, b, out, divide);
  });
}

template <int Depth>
void Render(const Source& s, const View& v, const Band& part, Bitmap& out, const Divider& divide) {
  // (Below 2^24 rows and columns, where ox and oy are exact as floats.)
  constexpr int32_t ExactFloat = 1 << 24;
  if (!v.Rotated && v.Inv == 1.0f && v.Width < ExactFloat && v.Height < ExactFloat) {
    return InBands(part, [&](const Band& b) { RenderCopy<Depth>(s, v, b, out); });
  }
  // Cells per axis: floor((f + step) / 16) + 1 for f up to 15.
  const int32_t cells = v.Step > PackedStep ? 0 : (15 + v.Step) / 16 + 1;
  switch (cells) {
    case 2: return RenderCells<Depth, 2>(s, v, part, out, divide);
    case 3: return RenderCells<Depth, 3>(s, v, part, out, divide);
    case 4: return RenderCells<Depth, 4>(s, v, part, out, divide);
    case 5: return RenderCells<Depth, 5>(s, v, part, out, divide);
    case 6: return RenderCells<Depth, 6>(s, v, part, out, divide);
    case 7: return RenderCells<Depth, 7>(s, v, part, out, divide);
    default: return RenderCells<Depth, 0>(s, v, part, out, divide);
  }
}

}  // namespace

// Zooms outside about 0.089 .. 16 would need a step below 1 or a norm beyond 16 bits.
const ErrorKind* Bitmap::RefusedView(float zoom, float rotation) {
  const float stepValue = 1.0f / zoom * 16.0f;
  if (!(stepValue >= 1.0f && stepValue < static_cast<float>(MaxStep + 1))) {
    return &errors::InvalidZoom;
  }
  if (!std::isfinite(rotation)) return &errors::InvalidParameter;
  return nullptr;
}

Bitmap* Bitmap::RenderView(int32_t x, int32_t y, int32_t width, int32_t height, float zoom,
                           float rotation) {
  Err.Clear();
  if (const ErrorKind* refusal = RefusedView(zoom, rotation)) {
    Err.Set(*refusal);
    return nullptr;
  }
  auto out = MakeRef<Bitmap>();
  if (!out->Create(width, height, 24)) {
    Err.CopyFrom(out->GetError());
    return nullptr;
  }
  RenderViewInto(*out, x, y, zoom, rotation, nullptr, Area{0, 0, width, height});
  return out.Detach();
}

bool Bitmap::RenderViewInto(Bitmap& out, int32_t x, int32_t y, float zoom, float rotation,
                            const Area* window, const Area& part) {
  Err.Clear();
  if (const ErrorKind* refusal = RefusedView(zoom, rotation)) {
    Err.Set(*refusal);
    return false;
  }
  const int32_t width = out.Width(), height = out.Height();
  const Area whole{0, 0, Width(), Height()};
  const Area& w = window != nullptr ? *window : whole;
  // The part in memory rows (bottom-up), clipped to the output.
  const int64_t x0 = std::clamp<int64_t>(part.Left, 0, width);
  const int64_t x1 = std::clamp<int64_t>(int64_t{part.Left} + part.Width, x0, width);
  const int64_t top = std::clamp<int64_t>(part.Top, 0, height);
  const int64_t bottom = std::clamp<int64_t>(int64_t{part.Top} + part.Height, top, height);
  const Band band{static_cast<int32_t>(x0), static_cast<int32_t>(x1),
                  static_cast<int32_t>(height - bottom), static_cast<int32_t>(height - top)};
  if (out.BitsPerPixel() != 24 || band.X0 == band.X1 || band.Y0 == band.Y1) return true;

  View v;
  v.Width = width;
  v.Height = height;
  v.Inv = 1.0f / zoom;
  v.Step = static_cast<int32_t>(v.Inv * 16.0f);
  // Positions in 64 bits: the same values as 32-bit arithmetic wherever that does not
  // overflow, and still defined for views so large that it would.
  const int64_t hz = static_cast<int64_t>(static_cast<float>(height) * v.Inv);
  const double angle = rotation;
  v.BaseRow =
      int64_t{w.Height} - static_cast<int64_t>(static_cast<double>(hz) * std::cos(angle)) - y;
  v.BaseCol = x - static_cast<int64_t>(static_cast<double>(hz) * std::sin(angle));
  v.Rotated = rotation != 0.0f;
  v.A = static_cast<float>(std::cos(angle) * v.Inv);
  v.B = static_cast<float>(std::sin(angle) * v.Inv);
  const Divider divide(v.Step * v.Step);

  Source s{};
  if (Block != nullptr) {
    // The window's bottom-left pixel; its left edge is on a whole byte (windows are tiles).
    const int64_t firstRow = int64_t{Height()} - w.Top - w.Height;
    s.Pixels = Row(static_cast<int32_t>(firstRow)) + (int64_t{w.Left} * BitsPerPixel()) / 8;
  }
  s.Stride = RowStride;
  s.Width = w.Width;
  s.Height = w.Height;
  const uint32_t colours = std::min<uint32_t>(ColourCount(), 256);
  for (uint32_t i = 0; i < colours; ++i) {
    const uint8_t* entry = Palette() + 4 * i;
    s.Palette[i] = Pack(entry[0], entry[1], entry[2]);
  }

  switch (BitsPerPixel()) {
    case 1: Render<1>(s, v, band, out, divide); break;
    case 4: Render<4>(s, v, band, out, divide); break;
    case 8: Render<8>(s, v, band, out, divide); break;
    case 16: Render<16>(s, v, band, out, divide); break;
    case 24: Render<24>(s, v, band, out, divide); break;
    default:  // no block: nothing to show
      for (int32_t oy = band.Y0; oy < band.Y1; ++oy) WhiteRow(out, oy, band, width);
      break;
  }
  return true;
}

}  // namespace velmira

// The view resampler: zoom and rotation by area averaging in sixteenths of a source pixel.
// The arithmetic is the resampler's own definition and every output byte follows it exactly:
// 32-bit float footprint origins truncated toward zero, cells found by floor (arithmetic
// shift), integer coverage weights, truncating division by norm = step x step, and the clip
// test on the footprint's end cell x1, y1 even where its coverage is zero.
//
// Speed comes only from rearranging work that cannot change a result: per-column and per-row
// tables when there is no rotation (sx depends on the column alone, sy on the row alone),
// kernels specialised per source depth and for footprints of at most 2 x 2 cells (step <= 16,
// zoom >= 1), a plain copy where every weight but one is zero (zoom exactly 1, no rotation),
// and division by norm through a multiply that is exact for every possible sum (see Divider).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "maps/Bitmap.h"

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
  // Palette as blue, green, red, 0; entries the bitmap does not have read as black, so a short
  // palette can never be read past.
  uint8_t Palette[256][4];

  const uint8_t* Row(int64_t y) const { return Pixels + static_cast<intptr_t>(y) * Stride; }
};

struct Sum {
  int32_t B = 0, G = 0, R = 0;
};

// Adds weight x the colour of pixel i of a row. 16-bit sources are read as 5-5-5 RGB (the
// uncompressed 16-bit DIB layout), each part widened to 8 bits by repeating its top bits.
template <int Depth>
inline void Add(const Source& s, const uint8_t* row, int64_t i, int32_t weight, Sum& sum) {
  const uint8_t* c;
  if constexpr (Depth == 24) {
    c = row + 3 * i;
  } else if constexpr (Depth == 8) {
    c = s.Palette[row[i]];
  } else if constexpr (Depth == 4) {
    const uint8_t byte = row[i >> 1];
    c = s.Palette[(i & 1) != 0 ? byte & 15 : byte >> 4];  // high nibble: the even column
  } else if constexpr (Depth == 1) {
    c = s.Palette[(row[i >> 3] & (0x80 >> (i & 7))) != 0 ? 1 : 0];
  } else {
    const uint32_t v = row[2 * i] | row[2 * i + 1] << 8;
    const uint32_t b = v & 31, g = (v >> 5) & 31, r = (v >> 10) & 31;
    sum.B += weight * static_cast<int32_t>(b << 3 | b >> 2);
    sum.G += weight * static_cast<int32_t>(g << 3 | g >> 2);
    sum.R += weight * static_cast<int32_t>(r << 3 | r >> 2);
    return;
  }
  sum.B += weight * c[0];
  sum.G += weight * c[1];
  sum.R += weight * c[2];
}

inline void Store(uint8_t* out, const Sum& sum, const Divider& divide) {
  out[0] = divide(sum.B);
  out[1] = divide(sum.G);
  out[2] = divide(sum.R);
}

inline void White(uint8_t* out) { out[0] = out[1] = out[2] = 0xFF; }

// Coverage of the cells of one axis, for a footprint starting at s (sixteenths) of side step.
// first/last: the weights of cells c0 and c1 = floor((s + step) / 16); cells between weigh 16.
struct Axis {
  int64_t C0, C1;
  int32_t First, Last;
};

inline Axis Cover(int64_t s, int32_t step) {
  Axis a;
  a.C0 = s >> 4;  // floor toward minus infinity
  a.C1 = (s + step) >> 4;
  if (a.C0 == a.C1) {
    a.First = step;
    a.Last = step;
  } else {
    a.First = static_cast<int32_t>(16 * (a.C0 + 1) - s);
    a.Last = static_cast<int32_t>(s + step - 16 * a.C1);
  }
  return a;
}

inline bool Outside(const Source& s, const Axis& x, const Axis& y) {
  return x.C0 < 0 || y.C0 < 0 || x.C1 >= s.Width || y.C1 >= s.Height;
}

inline int32_t Weight(const Axis& a, int64_t i) {
  return i == a.C0 ? a.First : i == a.C1 ? a.Last : 16;
}

// Any footprint: every covered cell with its weight.
template <int Depth>
inline void AreaPixel(const Source& s, const Axis& x, const Axis& y, const Divider& divide,
                      uint8_t* out) {
  Sum sum;
  for (int64_t j = y.C0; j <= y.C1; ++j) {
    const int32_t cy = Weight(y, j);
    const uint8_t* row = s.Row(j);
    for (int64_t i = x.C0; i <= x.C1; ++i) Add<Depth>(s, row, i, cy * Weight(x, i), sum);
  }
  Store(out, sum, divide);
}

// A footprint of at most 2 x 2 cells (step <= 16). Where it lies in one cell of an axis the
// second weight is 0 and the "second" cell is the first again, so nothing outside is read.
template <int Depth>
inline void SmallPixel(const Source& s, const Axis& x, const Axis& y, const Divider& divide,
                       uint8_t* out) {
  const int32_t x1Weight = x.C1 == x.C0 ? 0 : x.Last;
  const int32_t y1Weight = y.C1 == y.C0 ? 0 : y.Last;
  const int32_t x0Weight = x.C1 == x.C0 ? x.First : x.First;
  const uint8_t* row0 = s.Row(y.C0);
  const uint8_t* row1 = s.Row(y.C1);
  Sum sum;
  Add<Depth>(s, row0, x.C0, y.First * x0Weight, sum);
  Add<Depth>(s, row0, x.C1, y.First * x1Weight, sum);
  Add<Depth>(s, row1, x.C0, y1Weight * x0Weight, sum);
  Add<Depth>(s, row1, x.C1, y1Weight * x1Weight, sum);
  Store(out, sum, divide);
}

struct View {
  int64_t BaseRow, BaseCol;
  int32_t Width, Height, Step;
  float Inv, A, B;
  bool Rotated;
};

template <int Depth>
void RenderRotated(const Source& s, const View& v, Bitmap& out, const Divider& divide) {
  for (int32_t oy = 0; oy < v.Height; ++oy) {
    uint8_t* o = out.Row(oy);
    const float fy = static_cast<float>(oy);
    for (int32_t ox = 0; ox < v.Width; ++ox, o += 3) {
      const float fx = static_cast<float>(ox);
      const int64_t sy = 16 * v.BaseRow + static_cast<int64_t>((fy * v.A - fx * v.B) * 16.0f);
      const int64_t sx = 16 * v.BaseCol + static_cast<int64_t>((fx * v.A + fy * v.B) * 16.0f);
      const Axis x = Cover(sx, v.Step), y = Cover(sy, v.Step);
      if (Outside(s, x, y)) {
        White(o);
      } else if (v.Step <= 16) {
        SmallPixel<Depth>(s, x, y, divide, o);
      } else {
        AreaPixel<Depth>(s, x, y, divide, o);
      }
    }
  }
}

// Without rotation sx depends on the column alone and sy on the row alone.
template <int Depth>
void RenderStraight(const Source& s, const View& v, Bitmap& out, const Divider& divide) {
  std::vector<Axis> columns(static_cast<size_t>(v.Width));
  for (int32_t ox = 0; ox < v.Width; ++ox) {
    const int64_t sx =
        16 * v.BaseCol + static_cast<int64_t>(static_cast<float>(ox) * 16.0f * v.Inv);
    columns[static_cast<size_t>(ox)] = Cover(sx, v.Step);
  }
  for (int32_t oy = 0; oy < v.Height; ++oy) {
    uint8_t* o = out.Row(oy);
    const int64_t sy =
        16 * v.BaseRow + static_cast<int64_t>(static_cast<float>(oy) * 16.0f * v.Inv);
    const Axis y = Cover(sy, v.Step);
    // The row test once per row: a row outside is white to its last byte, padding included.
    if (y.C0 < 0 || y.C1 >= s.Height) {
      std::memset(o, 0xFF, static_cast<size_t>(out.Stride()));
      continue;
    }
    for (int32_t ox = 0; ox < v.Width; ++ox, o += 3) {
      const Axis& x = columns[static_cast<size_t>(ox)];
      if (Outside(s, x, y)) {
        White(o);
      } else if (v.Step <= 16) {
        SmallPixel<Depth>(s, x, y, divide, o);
      } else {
        AreaPixel<Depth>(s, x, y, divide, o);
      }
    }
  }
}

template <int Depth>
void Render(const Source& s, const View& v, Bitmap& out, const Divider& divide) {
  if (v.Rotated) {
    RenderRotated<Depth>(s, v, out, divide);
  } else {
    RenderStraight<Depth>(s, v, out, divide);
  }
}

}  // namespace

Bitmap* Bitmap::RenderView(int32_t x, int32_t y, int32_t width, int32_t height, float zoom,
                           float rotation) {
  Err.Clear();
  // Zooms outside about 0.089 .. 16 would need a step below 1 or a norm beyond 16 bits.
  const float inv = 1.0f / zoom;
  const float stepValue = inv * 16.0f;
  if (!(stepValue >= 1.0f && stepValue < static_cast<float>(MaxStep + 1))) {
    Err.Set(errors::InvalidZoom);
    return nullptr;
  }
  if (!std::isfinite(rotation)) {
    Err.Set(errors::InvalidParameter);
    return nullptr;
  }
  auto out = MakeRef<Bitmap>();
  if (!out->Create(width, height, 24)) {
    Err.CopyFrom(out->GetError());
    return nullptr;
  }

  View v;
  v.Width = width;
  v.Height = height;
  v.Inv = inv;
  v.Step = static_cast<int32_t>(stepValue);
  // 64-bit positions: the definition's 32-bit ones cannot overflow for any view that a
  // 32-bit caller could mean, and these give the same values wherever those do not.
  const int64_t hz = static_cast<int64_t>(static_cast<float>(height) * inv);
  const double angle = rotation;
  v.BaseRow = int64_t{Height()} - static_cast<int64_t>(static_cast<double>(hz) * std::cos(angle)) - y;
  v.BaseCol = x - static_cast<int64_t>(static_cast<double>(hz) * std::sin(angle));
  v.Rotated = rotation != 0.0f;
  v.A = static_cast<float>(std::cos(angle) * inv);
  v.B = static_cast<float>(std::sin(angle) * inv);
  const Divider divide(v.Step * v.Step);

  Source s{};
  s.Pixels = Pixels();
  s.Stride = RowStride;
  s.Width = Width();
  s.Height = Height();
  const uint32_t colours = std::min<uint32_t>(ColourCount(), 256);
  for (uint32_t i = 0; i < colours; ++i) {
    std::memcpy(s.Palette[i], Palette() + 4 * i, 3);
  }

  // Rows that are not filled white get zero padding, so no byte of the output is left
  // uninitialised.
  const size_t used = static_cast<size_t>(width) * 3;
  for (int32_t oy = 0; oy < height; ++oy) {
    std::memset(out->Row(oy) + used, 0, static_cast<size_t>(out->Stride()) - used);
  }
  switch (BitsPerPixel()) {
    case 1: Render<1>(s, v, *out, divide); break;
    case 4: Render<4>(s, v, *out, divide); break;
    case 8: Render<8>(s, v, *out, divide); break;
    case 16: Render<16>(s, v, *out, divide); break;
    case 24: Render<24>(s, v, *out, divide); break;
    default: out->Clear(); break;  // no block: nothing to show
  }
  return out.Detach();
}

}  // namespace velmira

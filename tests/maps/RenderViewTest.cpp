// RenderView against a slow reference written straight from the resampler's formulas: every
// depth, zooms 0.1 to 10, rotations negative, zero and beyond 90 degrees, views partly and
// wholly outside the source. Every output byte must match, padding included.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "maps/Bitmap.h"

namespace velmira {
namespace {

// floor(v / 16), spelled out rather than as a shift.
int32_t FloorDiv16(int32_t v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

struct Colour {
  int32_t B, G, R;
};

Colour SourceColour(const Bitmap& src, int32_t i, int32_t j) {
  const uint8_t* row = src.Pixels() + j * src.Stride();
  const uint8_t* pal = src.Palette();
  auto entry = [&](uint32_t index) { return Colour{pal[4 * index], pal[4 * index + 1], pal[4 * index + 2]}; };
  switch (src.BitsPerPixel()) {
    case 24: return {row[3 * i], row[3 * i + 1], row[3 * i + 2]};
    case 8: return entry(row[i]);
    case 4: return entry(i % 2 == 0 ? row[i / 2] >> 4 : row[i / 2] & 15);
    case 1: return entry((row[i / 8] & (0x80 >> (i % 8))) ? 1 : 0);
    default:  // 16 bits: 5-5-5, each part widened by repeating its top bits
      auto part = [v = row[2 * i] | row[2 * i + 1] << 8](int shift) { return (v >> shift & 31) << 3 | (v >> shift & 31) >> 2; };
      return {part(0), part(5), part(10)};
  }
}

// The resampler as defined, one output pixel at a time, in 32-bit integers and floats.
std::vector<uint8_t> Reference(const Bitmap& src, int32_t x, int32_t y, int32_t width,
                               int32_t height, float zoom, float rotation) {
  const float inv = 1 / zoom;
  const int32_t hz = static_cast<int32_t>(height * inv);
  const int32_t baseRow = src.Height() - static_cast<int32_t>(hz * std::cos(static_cast<double>(rotation))) - y;
  const int32_t baseCol = x - static_cast<int32_t>(hz * std::sin(static_cast<double>(rotation)));
  const int32_t step = static_cast<int32_t>(inv * 16);
  const int16_t norm = static_cast<int16_t>(step * step);
  const bool rotated = rotation != 0.0;
  const float A = static_cast<float>(std::cos(static_cast<double>(rotation)) * inv);
  const float B = static_cast<float>(std::sin(static_cast<double>(rotation)) * inv);
  const int32_t stride = ((24 * width + 31) / 32) * 4;
  std::vector<uint8_t> out(static_cast<size_t>(stride) * height, 0);
  for (int32_t oy = 0; oy < height; ++oy) {
    uint8_t* row = &out[static_cast<size_t>(oy) * stride];
    for (int32_t ox = 0; ox < width; ++ox) {
      int32_t sy, sx;
      if (rotated) {
        sy = 16 * baseRow + static_cast<int32_t>(16 * (oy * A - ox * B));
        sx = 16 * baseCol + static_cast<int32_t>(16 * (ox * A + oy * B));
      } else {
        sy = 16 * baseRow + static_cast<int32_t>(16 * oy * inv);
        sx = 16 * baseCol + static_cast<int32_t>(16 * ox * inv);
      }
      const int32_t x0 = FloorDiv16(sx), x1 = FloorDiv16(sx + step);
      const int32_t y0 = FloorDiv16(sy), y1 = FloorDiv16(sy + step);
      if (!rotated && (y0 < 0 || y1 >= src.Height())) {
        std::fill(row, row + stride, 0xFF);  // the whole row, padding included
        break;
      }
      uint8_t* o = row + 3 * ox;
      if (x0 < 0 || y0 < 0 || x1 >= src.Width() || y1 >= src.Height()) {
        o[0] = o[1] = o[2] = 0xFF;
        continue;
      }
      auto cover = [step](int32_t s, int32_t c0, int32_t c1, int32_t i) {
        if (c0 == c1) return step;
        if (i == c0) return 16 * (c0 + 1) - s;
        if (i == c1) return s + step - 16 * c1;
        return 16;
      };
      int32_t b = 0, g = 0, r = 0;
      for (int32_t j = y0; j <= y1; ++j) {
        for (int32_t i = x0; i <= x1; ++i) {
          const int32_t w = cover(sx, x0, x1, i) * cover(sy, y0, y1, j);
          const Colour c = SourceColour(src, i, j);
          b += w * c.B;
          g += w * c.G;
          r += w * c.R;
        }
      }
      o[0] = static_cast<uint8_t>(b / norm);
      o[1] = static_cast<uint8_t>(g / norm);
      o[2] = static_cast<uint8_t>(r / norm);
    }
  }
  return out;
}

// A source of random pixels and a random palette.
Ref<Bitmap> RandomSource(int32_t width, int32_t height, int depth, uint32_t seed) {
  auto b = MakeRef<Bitmap>();
  EXPECT_TRUE(b->Create(width, height, depth));
  std::mt19937 rng(seed);
  for (uint32_t i = 0; i < b->PaletteSize(); ++i) b->Palette()[i] = static_cast<uint8_t>(rng());
  for (uint32_t i = 0; i < b->ImageSize(); ++i) b->Pixels()[i] = static_cast<uint8_t>(rng());
  return b;
}

void ExpectSame(const Bitmap& got, const std::vector<uint8_t>& want, int32_t width) {
  ASSERT_EQ(got.ImageSize(), want.size());
  int shown = 0;
  for (size_t i = 0; i < want.size() && shown < 5; ++i) {
    if (got.Pixels()[i] != want[i]) {
      const size_t row = i / static_cast<size_t>(got.Stride()), col = i % static_cast<size_t>(got.Stride());
      ADD_FAILURE() << "row " << row << " byte " << col << (col >= size_t(3 * width) ? " (padding)" : "")
                    << ": " << int(got.Pixels()[i]) << ", want " << int(want[i]);
      ++shown;
    }
  }
}

TEST(RenderView, MatchesTheReferenceForEveryDepthZoomRotationAndPlace) {
  // Footprints from 1 to 11 source pixels: every kernel width the resampler specialises.
  const float zooms[] = {0.1f, 0.18f, 0.22f, 0.26f, 0.4f, 0.5f, 0.73f, 1.0f, 1.5f, 2.3f, 10.0f};
  const float rotations[] = {0.0f, 0.3f, -0.7f, 1.5707964f, 2.1f, 3.6f, -2.6f};
  // Inside, across the left and top edges, across the right and bottom, wholly outside.
  const std::pair<int32_t, int32_t> places[] = {{12, 10}, {-6, -5}, {40, 30}, {-400, 900}};
  uint32_t seed = 1;
  for (int depth : {1, 4, 8, 16, 24}) {
    for (int32_t width : {44, 45}) {  // 24-bit source rows without and with padding
      auto src = RandomSource(width, 37, depth, seed++);
      for (float zoom : zooms) {
        for (float rotation : rotations) {
          for (const auto& [x, y] : places) {
            SCOPED_TRACE(testing::Message() << "depth " << depth << " width " << width << " zoom "
                                            << zoom << " rotation " << rotation << " at " << x << "," << y);
            Ref<Bitmap> out = Ref<Bitmap>::Adopt(src->RenderView(x, y, 21, 17, zoom, rotation));
            ASSERT_TRUE(out && out->BitsPerPixel() == 24);
            ExpectSame(*out, Reference(*src, x, y, 21, 17, zoom, rotation), 21);
            if (HasFailure()) return;
          }
        }
      }
    }
  }
}

// The reference itself, checked on the case everyone can work out: zoom 1, no rotation copies
// source pixels, except that the rightmost source column and the top source row come out
// white (their footprint's end cell lies outside).
TEST(RenderView, ZoomOneCopiesAndWhitensTheLastColumnAndTopRow) {
  auto src = RandomSource(8, 6, 24, 99);
  Ref<Bitmap> out = Ref<Bitmap>::Adopt(src->RenderView(0, 0, 8, 6, 1.0f, 0.0f));
  ASSERT_TRUE(out);
  for (int32_t i = 0; i < 8 * 6 * 3; ++i) {  // rows of 24 bytes: no padding
    const bool white = i % 24 >= 21 || i >= 5 * 24;
    ASSERT_EQ(out->Pixels()[i], white ? 0xFF : src->Pixels()[i]) << i;
  }
}

TEST(RenderView, RefusedViews) {
  auto src = RandomSource(16, 16, 24, 5);
  struct Case {
    int32_t width, height;
    float zoom, rotation;
    int16_t code;
  };
  const Case cases[] = {
      {10, 10, 0.05f, 0.0f, 10003} /* step 320: norm beyond 16 bits */, {10, 10, 17.0f, 0.0f, 10003} /* step 0 */,
      {10, 10, -1.0f, 0.0f, 10003}, {10, 10, NAN, 0.0f, 10003}, {10, 10, 1.0f, INFINITY, 10003},
      {0, 10, 1.0f, 0.0f, 10003},   {10, -1, 1.0f, 0.0f, 10003}, {30000, 30000, 1.0f, 0.0f, 10012} /* 2.7 GB */};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " zoom " << c.zoom);
    EXPECT_EQ(src->RenderView(0, 0, c.width, c.height, c.zoom, c.rotation), nullptr);
    EXPECT_EQ(src->GetError().Code, c.code);
  }
  Bitmap empty;  // a source without pixels shows nothing: white
  Ref<Bitmap> out = Ref<Bitmap>::Adopt(empty.RenderView(0, 0, 3, 2, 2.0f, 0.5f));
  ASSERT_TRUE(out);
  for (uint32_t i = 0; i < out->ImageSize(); ++i) EXPECT_EQ(out->Pixels()[i], 0xFF);
}

}  // namespace
}  // namespace velmira

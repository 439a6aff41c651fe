// Bitmap creation and its refusals; RenderView against a slow reference written straight from
// the resampler's formulas, every output byte, padding included.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "maps/Bitmap.h"
#include "platform/WorkerPool.h"

namespace velmira {
namespace {

TEST(BitmapCreate, StridePaletteAndRefusals) {
  // code 0: created
  struct Case { int32_t width, height, depth; int16_t code; int32_t stride; uint32_t colours; };
  const Case cases[] = {
      {1, 1, 1, 0, 4, 2},       {33, 2, 1, 0, 8, 2},       {9, 3, 4, 0, 8, 16},      {5, 1, 8, 0, 8, 256},
      {3, 2, 16, 0, 8, 0},      {5, 7, 24, 0, 16, 0},      {0, 5, 24, 10003, 0, 0},  {5, 0, 8, 10003, 0, 0},
      {-4, 5, 24, 10003, 0, 0}, {5, -4, 24, 10003, 0, 0},  {5, 5, 32, 10003, 0, 0},  {5, 5, 2, 10003, 0, 0},
      {5, 5, 65560, 10003, 0, 0} /* would wrap to 24 in the header's 16-bit field */,
      {20000, 20000, 24, 10012, 0, 0} /* 1.2 GB */, {0x7FFFFFFF, 0x7FFFFFFF, 24, 10012, 0, 0},
      {16384, 21845, 24, 0, 49152, 0} /* just under 1 GiB: allowed (not touched) */};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.depth);
    Bitmap b;
    EXPECT_EQ(b.Create(c.width, c.height, c.depth), c.code == 0);
    EXPECT_EQ(b.GetError().Code, c.code);
    EXPECT_TRUE(c.code == 0 || (b.Pixels() == nullptr && b.Width() == 0));
    if (c.code != 0) continue;
    const BitmapInfoHeader& h = *b.Header();
    EXPECT_TRUE(b.Stride() == c.stride && b.ColourCount() == c.colours && h.Size == 40 && h.Planes == 1);
    EXPECT_EQ(h.ImageSize, static_cast<uint32_t>(c.stride) * c.height);
    EXPECT_EQ(b.Pixels(), b.Palette() + c.colours * 4);
    if (c.width * int64_t{c.height} > 1000000) continue;
    EXPECT_TRUE(std::all_of(b.Palette(), b.Pixels(), [](uint8_t v) { return v == 0; }));
    b.Clear();
    EXPECT_TRUE(std::all_of(b.Pixels(), b.Pixels() + h.ImageSize, [](uint8_t v) { return v == 0xFF; }));
  }
  // From a header only sizes, depth and colour count are taken (that transparency is kept, the
  // icon reads in MapFileTest show).
  BitmapInfoHeader in;
  std::memset(&in, 0x5A, sizeof in);
  in.Width = 3, in.Height = 2, in.BitsPerPixel = 8, in.ColourCount = 7;
  Bitmap b;
  ASSERT_TRUE(b.Create(in));
  const BitmapInfoHeader& h = *b.Header();
  EXPECT_EQ(std::vector<uint32_t>({h.Size, h.Compression, uint32_t(h.XPelsPerMeter), h.ImportantColours, h.ColourCount}),
            std::vector<uint32_t>({40, 0, 0, 0, 7}));
  in.ColourCount = 257;
  EXPECT_FALSE(b.Create(in));
  EXPECT_TRUE(b.GetError().Code == 10003 && b.Header() == nullptr);
}

// floor(v / 16), spelled out rather than as a shift.
int32_t FloorDiv16(int32_t v) { return v >= 0 ? v / 16 : -((-v + 15) / 16); }

// Blue, green and red of source pixel (i, j).
using Colour = std::array<int32_t, 3>;
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
std::vector<uint8_t> Reference(const Bitmap& src, int32_t x, int32_t y, int32_t width, int32_t height, float zoom, float rotation) {
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
      const int32_t sy = 16 * baseRow + static_cast<int32_t>(rotated ? 16 * (oy * A - ox * B) : 16 * oy * inv);
      const int32_t sx = 16 * baseCol + static_cast<int32_t>(rotated ? 16 * (ox * A + oy * B) : 16 * ox * inv);
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
      // How much of cell i the footprint [s, s + step) covers, in sixteenths.
      auto cover = [step](int32_t s, int32_t c0, int32_t c1, int32_t i) {
        return c0 == c1 ? step : i == c0 ? 16 * (c0 + 1) - s : i == c1 ? s + step - 16 * c1 : 16;
      };
      Colour sum = {};
      for (int32_t j = y0; j <= y1; ++j) {
        for (int32_t i = x0; i <= x1; ++i) {
          const Colour c = SourceColour(src, i, j);
          for (int k = 0; k < 3; ++k) sum[k] += cover(sx, x0, x1, i) * cover(sy, y0, y1, j) * c[k];
        }
      }
      for (int k = 0; k < 3; ++k) o[k] = static_cast<uint8_t>(sum[k] / norm);
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
            SCOPED_TRACE(testing::Message() << depth << "-bit, width " << width << ", zoom " << zoom << ", rotation " << rotation << " at " << x << "," << y);
            Ref<Bitmap> out = Ref<Bitmap>::Adopt(src->RenderView(x, y, 21, 17, zoom, rotation));
            ASSERT_TRUE(out && out->BitsPerPixel() == 24);
            const std::vector<uint8_t> want = Reference(*src, x, y, 21, 17, zoom, rotation);
            ASSERT_EQ(out->ImageSize(), want.size());
            const auto [got, at] = std::mismatch(want.begin(), want.end(), out->Pixels());
            const size_t i = static_cast<size_t>(got - want.begin()), stride = static_cast<size_t>(out->Stride());
            ASSERT_TRUE(got == want.end()) << "row " << i / stride << " byte " << i % stride
                                           << (i % stride >= 3 * 21 ? " (padding)" : "") << ": " << int(*at) << ", want " << int(*got);
          }
        }
      }
    }
  }
}

// Rendering in parts, from a window of a larger source, on one thread or several: the bytes of
// the whole view rendered at once from a source holding only the window (padding of the rows
// rendered included). The outputs are tall enough for several bands of rows per thread.
TEST(RenderView, PartsWindowsAndThreadsGiveTheWholeView) {
  auto big = RandomSource(512, 768, 24, 11);
  const Bitmap::Area window{256, 256, 256, 512};  // tile-aligned, as the map's regions are
  auto alone = MakeRef<Bitmap>();
  ASSERT_TRUE(alone->Create(window.Width, window.Height, 24));
  for (int32_t y = 0; y < window.Height; ++y) {  // top-down y: memory row Height - 1 - y
    std::memcpy(alone->Row(window.Height - 1 - y), big->Row(big->Height() - 1 - (window.Top + y)) + 3 * window.Left,
                3 * static_cast<size_t>(window.Width));
  }
  const struct { float Zoom, Rotation; int32_t X, Y; } views[] = {
      {1.0f, 0.0f, -20, 30}, {0.5f, 0.0f, 10, -8}, {1.5f, 0.5f, 60, 40}, {0.5f, -2.6f, 200, 300}, {0.15f, 1.1f, 30, 60}};
  const int32_t width = 203, height = 181;
  for (const auto& v : views) {
    Ref<Bitmap> whole = Ref<Bitmap>::Adopt(alone->RenderView(v.X, v.Y, width, height, v.Zoom, v.Rotation));
    ASSERT_TRUE(whole);
    for (int32_t threads : {1, 2, 3}) {
      SCOPED_TRACE(testing::Message() << "zoom " << v.Zoom << ", rotation " << v.Rotation << ", " << threads << " threads");
      platform::WorkerPool::Shared().SetThreads(threads);
      auto out = MakeRef<Bitmap>();
      ASSERT_TRUE(out->Create(width, height, 24));
      std::memset(out->Pixels(), 0x5A, out->ImageSize());
      // Four parts that cover the output, one reaching past its edges, and one left out.
      const Bitmap::Area parts[] = {{0, 0, 120, 70}, {120, 0, 200, 70}, {-10, 70, 77, 500}, {67, 70, 136, 100}};
      for (const Bitmap::Area& part : parts) {
        EXPECT_TRUE(big->RenderViewInto(*out, v.X, v.Y, v.Zoom, v.Rotation, &window, part));
      }
      for (int32_t y = 0; y < height; ++y) {
        const uint8_t* got = out->Row(height - 1 - y);
        const uint8_t* want = whole->Row(height - 1 - y);
        const bool leftOut = y >= 170;  // rows 170 .. 180 of columns 67 .. 202
        const size_t compared = leftOut ? 3 * 67 : static_cast<size_t>(out->Stride());
        ASSERT_EQ(std::memcmp(got, want, compared), 0) << "row " << y;
        if (leftOut) {
          EXPECT_EQ(got[3 * 67], 0x5A) << "row " << y << " was not to be rendered";
        }
      }
    }
  }
  platform::WorkerPool::Shared().SetThreads(0);
}

TEST(RenderView, RefusedViews) {
  auto src = RandomSource(16, 16, 24, 5);
  struct Case { int32_t width, height; float zoom, rotation; int16_t code; };
  const Case cases[] = {
      {10, 10, 0.05f, 0.0f, 10003} /* step 320: norm beyond 16 bits */, {10, 10, 17.0f, 0.0f, 10003} /* step 0 */,
      {10, 10, -1.0f, 0.0f, 10003}, {10, 10, NAN, 0.0f, 10003}, {10, 10, 1.0f, INFINITY, 10003},
      {0, 10, 1.0f, 0.0f, 10003},   {10, -1, 1.0f, 0.0f, 10003}, {30000, 30000, 1.0f, 0.0f, 10012} /* 2.7 GB */};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " zoom " << c.zoom);
    EXPECT_EQ(src->RenderView(0, 0, c.width, c.height, c.zoom, c.rotation), nullptr);
    EXPECT_EQ(src->GetError().Code, c.code);
  }
  Ref<Bitmap> out = Ref<Bitmap>::Adopt(Bitmap().RenderView(0, 0, 3, 2, 2.0f, 0.5f));  // no pixels: white
  ASSERT_TRUE(out);
  EXPECT_TRUE(std::all_of(out->Pixels(), out->Pixels() + out->ImageSize(), [](uint8_t v) { return v == 0xFF; }));
}

}  // namespace
}  // namespace velmira

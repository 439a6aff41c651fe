// Bitmap creation: row strides and palettes per depth, and refusal of sizes and depths that
// would give a negative, wrapped or absurd allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "maps/Bitmap.h"

namespace velmira {
namespace {

TEST(BitmapCreate, StridePaletteAndRefusals) {
  struct Case {
    int32_t width, height, depth;
    int16_t code;  // 0: created
    int32_t stride;
    uint32_t colours;
  };
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
    if (c.code != 0) {
      EXPECT_EQ(b.Pixels(), nullptr);
      EXPECT_EQ(b.Width(), 0);
      continue;
    }
    EXPECT_EQ(b.Stride(), c.stride);
    EXPECT_EQ(b.ColourCount(), c.colours);
    const BitmapInfoHeader& h = *b.Header();
    EXPECT_EQ(h.Size, 40u);
    EXPECT_EQ(h.Planes, 1);
    EXPECT_EQ(h.ImageSize, static_cast<uint32_t>(c.stride) * c.height);
    EXPECT_EQ(b.Pixels(), b.Palette() + c.colours * 4);
    if (c.width * int64_t{c.height} > 1000000) continue;
    for (uint32_t i = 0; i < c.colours * 4; ++i) ASSERT_EQ(b.Palette()[i], 0) << i;
    b.Clear();
    for (uint32_t i = 0; i < h.ImageSize; ++i) ASSERT_EQ(b.Pixels()[i], 0xFF) << i;
  }
}

// Only sizes, depth and colour count come from the caller's header; transparency is kept.
TEST(BitmapCreate, FromHeaderTakesOnlySizesDepthAndColours) {
  BitmapInfoHeader in;
  std::memset(&in, 0x5A, sizeof in);
  in.Width = 3, in.Height = 2, in.BitsPerPixel = 8, in.ColourCount = 7;
  Bitmap b;
  b.SetTransparent(1, 4);
  ASSERT_TRUE(b.Create(in));
  const BitmapInfoHeader& h = *b.Header();
  EXPECT_EQ(std::vector<uint32_t>({h.Size, h.Compression, uint32_t(h.XPelsPerMeter), h.ImportantColours,
                                   h.ColourCount, b.Transparent(), b.TransparentIndex()}),
            std::vector<uint32_t>({40, 0, 0, 0, 7, 1, 4}));
  in.ColourCount = 257;
  EXPECT_FALSE(b.Create(in));
  EXPECT_EQ(b.GetError().Code, 10003);
  EXPECT_EQ(b.Header(), nullptr);
}

}  // namespace
}  // namespace velmira

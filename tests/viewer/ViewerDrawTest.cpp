// Viewer_OnDraw end to end into windows, read back pixel by pixel. One reference predicts every
// picture at zoom 1 without rotation: window pixel (sx, sy) shows map pixel (GetLeft + sx,
// GetTop + sy) (white outside the picture), with the enabled layers' boxes painted over it in
// layer order. (Icons over the map: the C client, tests/abi/viewer_client.c.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ViewerTesting.h"
#include "platform/Windows.h"
#include "view/Rectangle.h"

namespace velmira {
namespace {

using namespace testfiles;

constexpr int MapSeed = 3;
constexpr int32_t MapWidth = 600, MapHeight = 500;  // 3 x 2 tiles, the lower row part-filled

// A box of one colour from view pixel (x0, y0) to (x1, y1), both included.
struct Item { const char* Layer; int32_t X0, Y0, X1, Y1; uint32_t Colour; };
struct Scene { const char* Name; int32_t CentreX, CentreY, OffsetX, OffsetY; std::vector<Item> Items; std::vector<std::string> Disabled; };

// The window's picture as the reference predicts it (0xRRGGBB, rows top-down).
std::vector<uint32_t> Expected(const Scene& scene, const Viewer& viewer, int32_t w, int32_t h) {
  std::vector<uint32_t> c(size_t(w) * h, 0xFFFFFF);
  const int32_t left = viewer.GetLeft(), top = viewer.GetTop();
  auto put = [&](int32_t x, int32_t y, uint32_t colour) {  // view pixels
    if (x >= left && y >= top && x < left + w && y < top + h) c[size_t(y - top) * w + (x - left)] = colour;
  };
  for (int32_t y = std::max(top, 0); y < std::min(top + h, MapHeight); ++y) {
    for (int32_t x = std::max(left, 0); x < std::min(left + w, MapWidth); ++x) put(x, y, MapColour(MapSeed, x, y));
  }
  std::vector<std::string> order{"_main"};  // layers in the order they were first named
  for (const Item& i : scene.Items) {
    if (std::find(order.begin(), order.end(), i.Layer) == order.end()) order.push_back(i.Layer);
  }
  for (const std::string& layer : order) {
    if (std::find(scene.Disabled.begin(), scene.Disabled.end(), layer) != scene.Disabled.end()) continue;
    for (const Item& i : scene.Items) {
      for (int32_t y = i.Y0; layer == i.Layer && y <= i.Y1; ++y) {
        for (int32_t x = i.X0; x <= i.X1; ++x) put(x, y, i.Colour);
      }
    }
  }
  return c;
}

class ViewerDraw : public ::testing::Test {
 protected:
  static constexpr int32_t Left = 10, Top = 20, Width = 320, Height = 240;

  void SetUp() override {
    Frame = platform::CreateWindowObject(nullptr, 0, 0, 800, 600);
    Child = platform::CreateWindowObject(Frame, Left, Top, Width, Height);
    platform::SetForegroundWindow(Frame);
  }
  void TearDown() override { platform::DestroyWindow(Frame); }

  Ref<Viewer> Build(const Scene& scene) {
    Ref<Viewer> viewer = OpenViewer(Files, Join({Header(), MapChunks(SmallMap("map", MapWidth, MapHeight), MapSeed)}));
    viewer->SetCentre(PositionAt(scene.CentreX, scene.CentreY).Get());
    viewer->SetViewOffsetX(scene.OffsetX);
    viewer->SetViewOffsetY(scene.OffsetY);
    for (const Item& i : scene.Items) {
      viewer->ActiveLayer(Text(i.Layer));
      Ref<Rectangle> r = As<Rectangle>(viewer->NewObject(MapObject::RectangleType));
      r->SetPosition1(PositionAt(i.X0, i.Y0).Get());
      r->SetPosition2(PositionAt(i.X1, i.Y1).Get());
      Ref<Pen> pen = r->GetPen();  // the box's own, changed before its first drawing
      Ref<Brush> fill = r->GetBrush();
      pen->Red = fill->Red = static_cast<int16_t>(i.Colour >> 16);
      pen->Green = fill->Green = static_cast<int16_t>(i.Colour >> 8 & 0xFF);
      pen->Blue = fill->Blue = static_cast<int16_t>(i.Colour & 0xFF);
      fill->Transparent = 0;
    }
    for (const std::string& layer : scene.Disabled) viewer->GetLayers()->FindLayer(Text(layer.c_str()))->SetEnabled(0);
    return viewer;
  }

  void Draw(Viewer& viewer, bool update) {
    viewer.OnDraw(Left, Top, Width, Height, update);
    EXPECT_STREQ(viewer.GetError().Message, nullptr);
  }

  // Compares the child window with the prediction; on a difference says where and saves it.
  void ExpectWindow(const std::vector<uint32_t>& want, const std::string& what) {
    platform::Surface s{};
    ASSERT_TRUE(platform::GetWindowSurface(Child, &s));
    int wrong = 0;
    char first[80] = "";
    for (int32_t y = 0; y < Height; ++y) {
      for (int32_t x = 0; x < Width; ++x) {
        const uint8_t* p = s.Bits + size_t(y) * s.Stride + 4 * x;
        const uint32_t got = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0], w = want[size_t(y) * Width + x];
        if (got != w && wrong++ == 0) std::snprintf(first, sizeof first, "first at (%d, %d): %06X, predicted %06X", x, y, got, w);
      }
    }
    if (wrong == 0) return;
    const std::string png = ::testing::TempDir() + "viewer_" + std::to_string(Saved++) + ".png";
    platform::SaveSurfacePng(s, png.c_str());
    ADD_FAILURE() << what << ": " << wrong << " pixels differ, " << first << "; window saved as " << png;
  }

  HWND Frame = nullptr, Child = nullptr;
  TempFiles Files;
  int Saved = 0;
};

TEST_F(ViewerDraw, ScenesMatchTheReference) {
  const Scene scenes[] = {
      {"window reaching past the picture's left edge", 150, 100, 0, 0, {}, {}},
      {"offsets shift the view into the lower tile row", 300, 400, 37, -21, {}, {}},
      {"boxes in layer order, later layers on top", 200, 200, 0, 0,
       {{"upper", 150, 150, 190, 170, 0x20C040}, {"_main", 100, 120, 180, 160, 0xC02040}, {"_main", 170, 100, 230, 140, 0x2040C0}}, {}},
      {"a disabled layer is not drawn", 200, 200, 0, 0,
       {{"_main", 100, 120, 180, 160, 0xC02040}, {"hidden", 150, 150, 190, 170, 0x20C040}}, {"hidden"}},
      {"a box across tile edges", 256, 256, 0, 0, {{"_main", 250, 250, 262, 262, 0x102030}}, {}},
  };
  for (const Scene& scene : scenes) {
    Ref<Viewer> viewer = Build(scene);
    Draw(*viewer, true);
    ExpectWindow(Expected(scene, *viewer, Width, Height), scene.Name);
  }
}

TEST_F(ViewerDraw, BeforeAnyMapAWhiteAreaInABlackFrame) {
  std::vector<uint32_t> want(size_t(Width) * Height, 0xFFFFFF);
  for (int32_t i = 0; i < Width * Height; ++i) {
    if (i % Width == 0 || i < Width || i % Width == Width - 1 || i >= Width * (Height - 1)) want[i] = 0;
  }
  Draw(*OpenViewer(Files, Header()), true);
  ExpectWindow(want, "library without maps");
}

TEST_F(ViewerDraw, RendersOnlyWhenAskedAndOnlyWhenTheTilesChange) {
  Scene scene{"box", 150, 100, 0, 0, {{"_main", 140, 90, 170, 120, 0x804020}}, {}};
  Ref<Viewer> viewer = Build(scene);
  viewer->OnDraw(-50, -50, Width, Height, true);  // no window there: the render must wait
  EXPECT_EQ(viewer->GetError().Code, errors::InvalidArgument);
  Draw(*viewer, true);
  ExpectWindow(Expected(scene, *viewer, Width, Height), "first draw, after one that found no window");

  // The box's brush changes behind the viewer's back (no changed flag): the picture shows the
  // new colour only after a render.
  As<Rectangle>(viewer->GetByIndex(1))->GetBrush()->Red = 0x10;
  viewer->SetCentre(PositionAt(153, 102).Get());  // the window stays on the same tiles
  Draw(*viewer, true);
  ExpectWindow(Expected(scene, *viewer, Width, Height), "moved within the tiles: no render, the old colour");

  viewer->SetCentre(PositionAt(153, 300).Get());  // the window reaches the next tile row
  Draw(*viewer, true);
  scene.Items[0].Colour = 0x104020;
  const std::vector<uint32_t> crossed = Expected(scene, *viewer, Width, Height);
  ExpectWindow(crossed, "crossed into other tiles: rendered");

  double zoom = 2;
  viewer->SetZoom(zoom);
  viewer->GetLayers()->GetByIndex(1)->SetEnabled(0);
  Draw(*viewer, false);
  ExpectWindow(crossed, "without update the old picture stays");
  zoom = 1;
  viewer->SetZoom(zoom);
  Draw(*viewer, true);
  scene.Disabled = {"_main"};
  ExpectWindow(Expected(scene, *viewer, Width, Height), "the layer disabled since");
}

}  // namespace
}  // namespace velmira

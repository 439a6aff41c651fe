// Viewer_OnDraw end to end into windows, read back pixel by pixel. One reference predicts every
// picture at zoom 1 without rotation: window pixel (sx, sy) shows map pixel (GetLeft + sx,
// GetTop + sy) (white outside the picture), with the enabled layers' boxes and icons painted
// over it in layer order.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ViewerTesting.h"
#include "platform/Windows.h"
#include "view/Rectangle.h"

namespace velmira {
namespace {

using namespace testfiles;

constexpr uint32_t White = 0xFFFFFF, Black = 0x000000;
constexpr int MapSeed = 3;
constexpr int32_t MapWidth = 600, MapHeight = 500;  // 3 x 2 tiles, the lower row part-filled

// The window's picture as the reference predicts it.
struct Canvas {
  int32_t Width, Height;
  std::vector<uint32_t> Pixels;
  Canvas(int32_t w, int32_t h, uint32_t fill = White) : Width(w), Height(h), Pixels(size_t(w) * h, fill) {}
  void Put(int32_t x, int32_t y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < Width && y < Height) Pixels[size_t(y) * Width + x] = c;
  }
};

// A box of one colour from view pixel (x0, y0) to (x1, y1), both included.
struct Box {
  const char* Layer;
  int32_t X0, Y0, X1, Y1;
  uint32_t Colour;
};
// An icon of the library centred on view pixel (x, y).
struct IconAt {
  const char* Layer;
  const char* Name;
  int32_t X, Y;
};
constexpr int32_t IconSide = 14;

struct Scene {
  const char* Name;
  int32_t CentreX, CentreY, OffsetX, OffsetY;
  std::vector<Box> Boxes;
  std::vector<IconAt> Icons;
  std::vector<const char*> Disabled;
};

Canvas Expected(const Scene& scene, const Viewer& viewer, int32_t w, int32_t h) {
  Canvas c(w, h);
  const int32_t left = viewer.GetLeft(), top = viewer.GetTop();
  for (int32_t sy = 0; sy < h; ++sy) {
    for (int32_t sx = 0; sx < w; ++sx) {
      const int32_t x = left + sx, y = top + sy;
      if (x >= 0 && y >= 0 && x < MapWidth && y < MapHeight) c.Put(sx, sy, MapColour(MapSeed, x, y));
    }
  }
  // Layers are drawn in the order they were first named, "_main" first.
  std::vector<std::string> order{"_main"};
  auto note = [&](const char* layer) {
    if (std::find(order.begin(), order.end(), layer) == order.end()) order.push_back(layer);
  };
  for (const Box& b : scene.Boxes) note(b.Layer);
  for (const IconAt& i : scene.Icons) note(i.Layer);
  for (const std::string& layer : order) {
    if (std::find(scene.Disabled.begin(), scene.Disabled.end(), layer) != scene.Disabled.end()) continue;
    for (const Box& b : scene.Boxes) {
      if (layer != b.Layer) continue;
      for (int32_t y = b.Y0; y <= b.Y1; ++y) {
        for (int32_t x = b.X0; x <= b.X1; ++x) c.Put(x - left, y - top, b.Colour);
      }
    }
    for (const IconAt& i : scene.Icons) {
      if (layer != i.Layer) continue;
      const bool keyed = std::string(i.Name) == "keyed";
      for (int32_t y = 0; y < IconSide; ++y) {
        for (int32_t x = 0; x < IconSide; ++x) {
          const uint8_t index = IconIndex(x, y);
          if (!(keyed && index == 0)) c.Put(i.X - IconSide / 2 + x - left, i.Y - IconSide / 2 + y - top, IconPaletteColour(index));
        }
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
    File = Join({Header(), IconChunks("keyed", IconSide, IconSide, true), MapChunks(SmallMap("map", MapWidth, MapHeight), MapSeed),
                 IconChunks("solid", IconSide, IconSide, false)});
  }
  void TearDown() override { platform::DestroyWindow(Frame); }

  Ref<Viewer> Build(const Scene& scene) {
    Ref<Viewer> viewer = OpenViewer(Files, File);
    EXPECT_EQ(viewer->GetError().Code, 0);
    viewer->SetCentre(PositionAt(scene.CentreX, scene.CentreY).Get());
    viewer->SetViewOffsetX(scene.OffsetX);
    viewer->SetViewOffsetY(scene.OffsetY);
    for (const Box& b : scene.Boxes) Boxes.push_back(AddBox(*viewer, b));
    for (const IconAt& i : scene.Icons) {
      viewer->ActiveLayer(Text(i.Layer));
      Ref<Icon> icon = viewer->NewIcon(Text(i.Name));
      icon->SetPosition(PositionAt(i.X, i.Y).Get());
    }
    for (const char* layer : scene.Disabled) viewer->GetLayers()->FindLayer(Text(layer))->SetEnabled(0);
    return viewer;
  }
  Ref<Rectangle> AddBox(Viewer& viewer, const Box& b) {
    viewer.ActiveLayer(Text(b.Layer));
    Ref<Rectangle> r = As<Rectangle>(viewer.NewObject(MapObject::RectangleType));
    r->SetPosition1(PositionAt(b.X0, b.Y0).Get());
    r->SetPosition2(PositionAt(b.X1, b.Y1).Get());
    auto pen = MakeRef<Pen>();
    auto fill = MakeRef<Brush>();
    Paint(*pen, *fill, b.Colour);
    r->SetPen(pen.Get());
    r->SetBrush(fill.Get());
    return r;
  }
  static void Paint(Pen& pen, Brush& fill, uint32_t colour) {
    pen.Red = fill.Red = static_cast<int16_t>(colour >> 16);
    pen.Green = fill.Green = static_cast<int16_t>(colour >> 8 & 0xFF);
    pen.Blue = fill.Blue = static_cast<int16_t>(colour & 0xFF);
    fill.Transparent = 0;
  }

  void Draw(Viewer& viewer, bool update) {
    viewer.OnDraw(Left, Top, Width, Height, update);
    EXPECT_EQ(viewer.GetError().Code, 0) << viewer.GetError().Message;
  }

  // Compares the child window with the prediction; on a difference says where and saves both.
  void ExpectWindow(const Canvas& want, const std::string& what) {
    platform::Surface s{};
    ASSERT_TRUE(platform::GetWindowSurface(Child, &s));
    int wrong = 0;
    std::string first;
    Canvas got(s.Width, s.Height);
    for (int32_t y = 0; y < want.Height; ++y) {
      for (int32_t x = 0; x < want.Width; ++x) {
        const uint8_t* p = s.Bits + size_t(y) * s.Stride + 4 * x;
        const uint32_t c = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        got.Put(x, y, c);
        if (c != want.Pixels[size_t(y) * want.Width + x] && wrong++ == 0) {
          char text[96];
          std::snprintf(text, sizeof text, "first at (%d, %d): %06X, predicted %06X", x, y, c, want.Pixels[size_t(y) * want.Width + x]);
          first = text;
        }
      }
    }
    if (wrong == 0) return;
    const std::string base = ::testing::TempDir() + "viewer_" + std::to_string(Saved++);
    platform::SaveSurfacePng(s, (base + "_got.png").c_str());
    platform::Surface w{want.Width, want.Height, want.Width * 4, reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(want.Pixels.data()))};
    platform::SaveSurfacePng(w, (base + "_want.png").c_str());
    ADD_FAILURE() << what << ": " << wrong << " pixels differ, " << first << "; saved " << base << "_*.png";
  }

  HWND Frame = nullptr, Child = nullptr;
  TempFiles Files;
  Bytes File;
  std::vector<Ref<Rectangle>> Boxes;
  int Saved = 0;
};

TEST_F(ViewerDraw, ScenesMatchTheReference) {
  const Scene scenes[] = {
      {"window reaching past the picture's left edge", 150, 100, 0, 0, {}, {}, {}},
      {"offsets shift the view into the lower tile row", 300, 400, 37, -21, {}, {}, {}},
      {"boxes in layer order, later layers on top", 200, 200, 0, 0,
       {{"upper", 150, 150, 190, 170, 0x20C040}, {"_main", 100, 120, 180, 160, 0xC02040}, {"_main", 170, 100, 230, 140, 0x2040C0}}, {}, {}},
      {"a disabled layer is not drawn", 200, 200, 0, 0,
       {{"_main", 100, 120, 180, 160, 0xC02040}, {"hidden", 150, 150, 190, 170, 0x20C040}}, {}, {"hidden"}},
      {"icons: the key colour shows what lies below", 250, 250, 0, 0,
       {{"_main", 200, 200, 260, 240, 0x3070A0}}, {{"icons", "keyed", 205, 205}, {"icons", "keyed", 300, 260}, {"icons", "solid", 250, 300}}, {}},
      {"objects across tile edges", 256, 256, 0, 0, {{"_main", 250, 250, 262, 262, 0x102030}}, {{"_main", "keyed", 256, 256}}, {}},
  };
  for (const Scene& scene : scenes) {
    SCOPED_TRACE(scene.Name);
    Ref<Viewer> viewer = Build(scene);
    Draw(*viewer, true);
    ExpectWindow(Expected(scene, *viewer, Width, Height), scene.Name);
  }
}

TEST_F(ViewerDraw, BeforeAnyMapAWhiteAreaInABlackFrame) {
  for (bool opened : {false, true}) {
    Viewer viewer;
    if (opened) viewer.Open(MakeRef<Text>(Files.Write(Header()).c_str()).Get());
    Draw(viewer, true);
    Canvas want(Width, Height);
    for (int32_t x = 0; x < Width; ++x) want.Put(x, 0, Black), want.Put(x, Height - 1, Black);
    for (int32_t y = 0; y < Height; ++y) want.Put(0, y, Black), want.Put(Width - 1, y, Black);
    ExpectWindow(want, opened ? "library without maps" : "new viewer");
  }
}

TEST_F(ViewerDraw, RendersOnlyWhenAskedAndOnlyWhenTheTilesChange) {
  Scene scene{"box", 150, 100, 0, 0, {{"_main", 140, 90, 170, 120, 0x804020}}, {}, {}};
  Ref<Viewer> viewer = Build(scene);
  Draw(*viewer, true);
  const Canvas first = Expected(scene, *viewer, Width, Height);
  ExpectWindow(first, "first draw");

  // The box's brush changes behind the viewer's back (no changed flag): the picture shows the
  // new colour only after a render.
  Ref<Brush> brush = Boxes[0]->GetBrush();
  brush->Red = 0x10;
  Scene recoloured = scene;
  recoloured.Boxes[0].Colour = 0x104020;

  viewer->SetCentre(PositionAt(153, 102).Get());  // the window stays on the same tiles
  Draw(*viewer, true);
  ExpectWindow(Expected(scene, *viewer, Width, Height), "moved within the tiles: no render, the old colour");

  viewer->SetCentre(PositionAt(153, 300).Get());  // the window reaches the next tile row
  Draw(*viewer, true);
  const Canvas crossed = Expected(recoloured, *viewer, Width, Height);
  ExpectWindow(crossed, "crossed into other tiles: rendered");

  double zoom = 2;
  viewer->SetZoom(zoom);
  Draw(*viewer, false);
  ExpectWindow(crossed, "without update the old picture stays");
}

TEST_F(ViewerDraw, ChangesShowAtTheNextUpdate) {
  Scene scene{"box", 200, 200, 0, 0, {{"_main", 150, 150, 190, 170, 0x20C040}}, {}, {}};
  Ref<Viewer> viewer = Build(scene);
  Draw(*viewer, true);
  Ref<Layer> main = viewer->GetLayers()->GetByIndex(1);
  struct Step {
    const char* what;
    std::function<void()> change;
    std::vector<Box> boxes;
  } steps[] = {
      {"disabling the layer", [&] { main->SetEnabled(0); }, {}},
      {"enabling it again", [&] { main->SetEnabled(1); }, {{"_main", 150, 150, 190, 170, 0x20C040}}},
      {"moving the box", [&] { Boxes[0]->SetPosition2(PositionAt(210, 180).Get()); }, {{"_main", 150, 150, 210, 180, 0x20C040}}},
      {"deleting it", [&] { viewer->DeleteObject(Boxes[0].Get()); }, {}},
  };
  for (const Step& step : steps) {
    step.change();
    Scene now = scene;
    now.Boxes = step.boxes;
    Draw(*viewer, true);
    ExpectWindow(Expected(now, *viewer, Width, Height), step.what);
  }
}

}  // namespace
}  // namespace velmira

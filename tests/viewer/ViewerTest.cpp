// The viewer, and Viewer_OnDraw into windows read back pixel by pixel. (Icons over the map:
// the C client, tests/abi/viewer_client.c.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "geo/Position.h"
#include "support/MapFiles.h"
#include "support/WindowCanvas.h"
#include "view/Label.h"
#include "view/Rectangle.h"
#include "view/Viewer.h"

namespace velmira {
namespace {

using namespace testfiles;
using platform::COLORREF;

// A position whose view pixel at zoom 1 without rotation is (x, y) on a SmallMap: the middle
// of the pixel, so that truncation cannot land on its neighbour.
Ref<Position> PositionAt(double x, double y) {
  auto position = MakeRef<Position>();
  position->SetLongitudeRads(0.1 + 1e-5 * (x + 0.5));
  position->SetLatitudeRads(0.9 - 1e-5 * (y + 0.5));
  return position;
}

// An overlay object the viewer made, as its own class.
template <class T>
Ref<T> As(Ref<MapObject> object) {
  return Ref<T>::Adopt(static_cast<T*>(object.Detach()));
}

Ref<Viewer> OpenViewer(TempFiles& files, const Bytes& content) {
  auto viewer = MakeRef<Viewer>();
  viewer->Open(MakeRef<Text>(files.Write(content).c_str()).Get());
  return viewer;
}

std::string NameOf(Map* map) { return map ? Ref<Text>::Adopt(map->GetName())->Chars() : "(none)"; }

TEST(ViewerMaps, ActiveMapDataSelectsAndCreates) {
  struct Step { const char* name; int16_t code; const char* current; int32_t maps; };
  auto run = [](Viewer& viewer, std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
      Ref<Map> got = viewer.ActiveMapData(Text(step.name));
      EXPECT_EQ(viewer.GetError().Code, step.code) << step.name;
      EXPECT_STREQ(viewer.GetError().Message, step.code ? "No maps loaded or created" : nullptr) << step.name;
      EXPECT_EQ(got.Get(), step.code == 0 ? viewer.GetMap() : nullptr) << step.name;
      EXPECT_EQ(NameOf(viewer.GetMap()), step.current) << step.name;
      EXPECT_EQ(viewer.GetMapLib()->GetMapCount(), step.maps) << step.name;
    }
  };
  // A new viewer has no library: the reserved names fail and open nothing, others make one.
  Viewer fresh;
  fresh.ActiveMapData(Text("_active"));
  EXPECT_TRUE(fresh.GetError().Code == errors::MapLibNotOpen && !fresh.GetLayers());
  run(fresh, {{"_main", errors::MapLibNotOpen, "(none)", 0}, {"made", 0, "made", 1}, {"_active", 0, "made", 1}});

  TempFiles files;
  Ref<Viewer> viewer = OpenViewer(files, Join({Header(), MapChunks(SmallMap("m1", 300, 200), 1), MapChunks(SmallMap("m2", 50, 50), 2)}));
  ASSERT_EQ(viewer->GetError().Code, 0);
  EXPECT_EQ(NameOf(viewer->GetMap()), "m1") << "opening makes the first map current";
  run(*viewer, {{"m2", 0, "m2", 2}, {"_active", 0, "m2", 2}, {"_main", 0, "m1", 2}, {"new", 0, "new", 3},
                {"new", 0, "new", 3}, {"", 0, "", 4}, {"m2", 0, "m2", 4}});
  run(*OpenViewer(files, Header()), {{"_active", errors::MapLibNotOpen, "(none)", 0}, {"_main", errors::MapLibNotOpen, "(none)", 0}});
}

TEST(ViewerMaps, ZoomLimitsAndRotationNormalisation) {
  Viewer viewer;
  viewer.ActiveMapData(Text("m"));
  Map& map = *viewer.GetMap();
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = INFINITY;
  for (double z : {0.1, 10.0, 2.5, 0.09, 10.5, -1.0, nan, inf, 1.0}) {
    const double before = viewer.GetZoom();
    const bool accepted = z >= 0.1 && z <= 10.0;
    viewer.SetZoom(z);
    EXPECT_STREQ(viewer.GetError().Message, accepted ? nullptr : "Invalid Zoom value") << z;
    EXPECT_EQ(viewer.GetZoom(), accepted ? z : before) << z;
    EXPECT_EQ(map.GetZoom(), static_cast<float>(viewer.GetZoom()));
  }
  // The map's working rotation is the angle reduced to -180 .. 180 degrees; the viewer reads
  // back exactly what was set.
  for (double degrees : {0.0, 450.0, -190.0, 180.0, -180.0, 190.0, 720.0, -540.0, 359.9, 1e5, -33333.3}) {
    viewer.SetRotation(degrees);
    double reduced = std::fmod(degrees, 360.0);
    reduced += reduced > 180.0 ? -360.0 : reduced < -180.0 ? 360.0 : 0.0;
    EXPECT_EQ(viewer.GetError().Code, 0);
    EXPECT_EQ(viewer.GetRotation(), degrees);
    EXPECT_NEAR(map.GetRotation(), reduced * M_PI / 180.0, 2e-6 * (1 + std::abs(degrees) / 360)) << degrees;
  }
  viewer.SetRotation(nan);
  EXPECT_EQ(viewer.GetError().Code, errors::InvalidArgument);
  viewer.SetRotation(-inf);
  EXPECT_EQ(viewer.GetRotation(), -33333.3) << "no direction, no change";
}

TEST(ViewerObjects, ObjectsFollowMapsZoomAndRotationAtTheNextConversion) {
  TempFiles files;
  maplib::MapFields coarse = SmallMap("coarse", 100, 100);
  coarse.UPerX *= 2, coarse.VPerY *= 2;  // half the pixels for the same ground
  Ref<Viewer> viewer = OpenViewer(files, Join({Header(), MapChunks(SmallMap("fine", 300, 300), 1), MapChunks(coarse, 2)}));
  Ref<Rectangle> box = As<Rectangle>(viewer->NewObject(MapObject::RectangleType));
  box->SetPosition1(PositionAt(40, 60).Get());
  box->SetPosition2(PositionAt(80, 100).Get());
  auto corners = [&] { return std::vector<int32_t>{box->GetLeft(), box->GetTop(), box->GetWidth(), box->GetHeight()}; };
  EXPECT_EQ(corners(), (std::vector<int32_t>{40, 60, 40, 40}));

  viewer->ActiveMapData(Text("coarse"));
  EXPECT_EQ(box->GetMap(), viewer->GetMap()) << "a new current map goes to every object";
  EXPECT_EQ(corners(), (std::vector<int32_t>{20, 30, 20, 20}));

  viewer->SetZoom(2);
  EXPECT_EQ(corners(), (std::vector<int32_t>{20, 30, 20, 20})) << "placed again only when asked";
  Ref<Point> centre = viewer->Position2Point(PositionAt(80, 80).Get());
  EXPECT_EQ(corners(), (std::vector<int32_t>{40, 60, 40, 40}));
  EXPECT_EQ(centre->X, 80);

  viewer->SetRotation(90);
  viewer->Point2Position(centre.Get());
  // A quarter turn puts map pixel (x, y) at view pixel (y, -x) before the zoom of 2.
  EXPECT_EQ(corners(), (std::vector<int32_t>{60, -80, 40, 40}));
}

// The walk itself over layers and their flags is the layers' model's (LayersTest); here the
// viewer's hit tests on it.
TEST(ViewerObjects, HitTestsWalkDownTheStackOfEnabledLayers) {
  TempFiles files;
  Ref<Viewer> viewer = OpenViewer(files, Join({Header(), MapChunks(SmallMap("m", 20, 20), 1)}));
  auto place = [&](const char* layer, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    viewer->ActiveLayer(Text(layer));
    Ref<Rectangle> r = As<Rectangle>(viewer->NewObject(MapObject::RectangleType));
    r->SetPosition1(PositionAt(x0, y0).Get());
    r->SetPosition2(PositionAt(x1, y1).Get());
    return r;
  };
  Ref<Rectangle> low = place("_main", 0, 0, 100, 100), mid = place("_main", 50, 50, 150, 150);
  Ref<Rectangle> top = place("upper", 90, 90, 120, 120), aside = place("upper", 300, 300, 320, 320);
  Ref<Position> spot = PositionAt(95, 95);
  auto stack = [&] {
    std::vector<MapObject*> found;
    for (Ref<MapObject> o = viewer->GetByPosition(spot.Get(), nullptr); o; o = viewer->GetByPosition(spot.Get(), o.Get())) {
      found.push_back(o.Get());
    }
    return found;
  };
  EXPECT_EQ(stack(), (std::vector<MapObject*>{top.Get(), mid.Get(), low.Get()}));
  EXPECT_EQ(viewer->GetByPoint(MakeRef<Point>(310, 310).Get()).Get(), aside.Get());
  EXPECT_EQ(viewer->GetByPosition(spot.Get(), aside.Get()).Get(), top.Get()) << "below an object at another place";
  viewer->SetIndex(low.Get(), -1);
  EXPECT_EQ(stack(), (std::vector<MapObject*>{top.Get(), low.Get(), mid.Get()}));
  viewer->GetLayers()->FindLayer(Text("upper"))->SetEnabled(0);
  EXPECT_EQ(stack(), (std::vector<MapObject*>{low.Get(), mid.Get()}));
  EXPECT_FALSE(viewer->GetByPosition(spot.Get(), top.Get())) << "a disabled object is not in the walk";
  viewer->DeleteObject(mid.Get());
  EXPECT_EQ(stack(), (std::vector<MapObject*>{low.Get()}));
}


// One reference predicts every picture at zoom 1: window pixel (sx, sy) shows map pixel
// (GetLeft + sx, GetTop + sy) or white, under the enabled layers' boxes in layer order, then
// the labels' boxes (a layer of their own, on top). Where a label's text lies the reference
// does not say which pixels are ink, only where the ink must begin and end for its alignment.
constexpr int MapSeed = 3;
constexpr int32_t MapWidth = 600, MapHeight = 500;  // 3 x 2 tiles, the lower row part-filled

COLORREF FromRgb(uint32_t rgb) { return platform::RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF); }

// A box of one colour (0xRRGGBB) from view pixel (x0, y0) to (x1, y1), both included.
struct Item { const char* Layer; int32_t X0, Y0, X1, Y1; uint32_t Colour; };
// A label whose box's top-left corner is at view pixel (X0, Y0), Width x Height pixels
// (requested; a Height of 0 is measured, and the box stays transparent), pen and brush in
// Colour, its text in Ink, aligned in the box by Align (0 centre, 1 left, 2 right).
struct TextItem { int32_t X0, Y0, Width, Height; uint32_t Colour, Ink; int32_t Align; const char16_t* Text; };
// After, when given, changes the viewer and the scene after the first drawing; the next
// drawing with update must show the changed scene.
struct Scene {
  const char* Name; int32_t CentreX, CentreY, OffsetX, OffsetY; std::vector<Item> Items; std::string Disabled;
  std::vector<TextItem> Labels = {};
  std::function<void(Viewer&, Scene&)> After = {};
};

constexpr COLORREF AnyPixel = 0xFFFFFFFF;  // never a pixel: RGB leaves the top byte 0
constexpr int32_t LabelInset = 1 + 2;      // the text's distance from the box: pen width + 2

// The colour parts of a pen or brush from 0xRRGGBB.
template <class Attribute>
void Paint(Attribute& a, uint32_t rgb) {
  a.Red = static_cast<int16_t>(rgb >> 16), a.Green = static_cast<int16_t>(rgb >> 8 & 0xFF), a.Blue = static_cast<int16_t>(rgb & 0xFF);
}

class ViewerDraw : public ::testing::Test {
 protected:
  static constexpr int32_t Left = 10, Top = 20, Width = 320, Height = 240;

  void SetUp() override { platform::SetForegroundWindow(Frame); }
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
      Paint(*r->GetPen(), i.Colour);  // the box's own, changed before its first drawing
      Paint(*r->GetBrush(), i.Colour);
      r->GetBrush()->Transparent = 0;
    }
    if (!scene.Disabled.empty()) viewer->GetLayers()->FindLayer(Text(scene.Disabled.c_str()))->SetEnabled(0);
    if (!scene.Labels.empty()) viewer->ActiveLayer(Text("labels"));
    for (const TextItem& t : scene.Labels) {
      Ref<Label> label = As<Label>(viewer->NewObject(MapObject::LabelType));
      label->SetAlignX(MapObject::AlignLeftEdge), label->SetAlignY(MapObject::AlignTopEdge), label->SetTextHAlign(t.Align);
      label->SetPosition(PositionAt(t.X0, t.Y0).Get());
      label->SetText(reinterpret_cast<const WCHAR*>(t.Text));
      label->SetRequestedWidth(t.Width), label->SetRequestedHeight(t.Height);
      Paint(*label->GetPen(), t.Colour);
      Paint(*label->GetBrush(), t.Colour);
      Paint(*label->GetTextFont()->GetColor(), t.Ink);
      label->GetBrush()->Transparent = t.Height == 0;
    }
    return viewer;
  }

  void Draw(Viewer& viewer, bool update) {
    viewer.OnDraw(Left, Top, Width, Height, update);
    EXPECT_STREQ(viewer.GetError().Message, nullptr);
  }

  // The window's picture as the reference predicts it, rows top-down.
  static std::vector<COLORREF> Expected(const Scene& scene, const Viewer& viewer) {
    std::vector<COLORREF> c(size_t(Width) * Height, testsupport::WhitePixel);
    const int32_t left = viewer.GetLeft(), top = viewer.GetTop();
    auto put = [&](int32_t x, int32_t y, uint32_t rgb) {  // view pixels
      if (x >= left && y >= top && x < left + Width && y < top + Height) c[size_t(y - top) * Width + (x - left)] = FromRgb(rgb);
    };
    for (int32_t y = std::max(top, 0); y < std::min(top + Height, MapHeight); ++y) {
      for (int32_t x = std::max(left, 0); x < std::min(left + Width, MapWidth); ++x) put(x, y, MapColour(MapSeed, x, y));
    }
    std::vector<std::string> order{"_main"};  // layers in the order they were first named
    for (const Item& i : scene.Items) {
      if (std::find(order.begin(), order.end(), i.Layer) == order.end()) order.push_back(i.Layer);
    }
    for (const std::string& layer : order) {
      for (const Item& i : scene.Items) {
        for (int32_t y = i.Y0; layer == i.Layer && layer != scene.Disabled && y <= i.Y1; ++y) {
          for (int32_t x = i.X0; x <= i.X1; ++x) put(x, y, i.Colour);
        }
      }
    }
    for (const TextItem& t : scene.Labels) {
      for (int32_t i = 0, x = 0, y = 0; i < t.Width * t.Height; ++i, x = i % t.Width, y = i / t.Width) {
        const bool text = std::min(x, t.Width - 1 - x) >= LabelInset && std::min(y, t.Height - 1 - y) >= LabelInset;
        put(t.X0 + x, t.Y0 + y, text && t.Ink != t.Colour ? 0xFFFFFFFF : t.Colour);
      }
    }
    for (COLORREF& pixel : c) pixel = pixel == FromRgb(0xFFFFFFFF) ? AnyPixel : pixel;
    return c;
  }

  // The columns of a label's text area (view pixels) that hold ink, against its alignment: the
  // ink touches the side it is aligned to (up to 2 pixels of the glyphs' own bearing) and keeps
  // away from the other, or is centred to within 2 pixels.
  void ExpectAlignedText(const TextItem& t, const Viewer& viewer, const std::string& what) {
    const int32_t first = t.X0 + LabelInset, last = t.X0 + t.Width - LabelInset - 1;
    int32_t left = INT32_MAX, right = INT32_MIN;
    for (int32_t i = 0; i < (last - first + 1) * (t.Height - 2 * LabelInset); ++i) {
      const int32_t x = first + i % (last - first + 1), y = t.Y0 + LabelInset + i / (last - first + 1);
      if (testsupport::PixelOf(Child, x - viewer.GetLeft(), y - viewer.GetTop()) != FromRgb(t.Colour)) left = std::min(left, x), right = std::max(right, x);
    }
    ASSERT_LE(left, right) << what << ": no ink";
    const int32_t before = left - first, after = last - right;
    const bool aligned = t.Align == 1   ? before <= 2 && after > 10
                         : t.Align == 2 ? after <= 2 && before > 10
                                        : std::abs(before - after) <= 2;
    EXPECT_TRUE(aligned) << what << ": ink " << before << " and " << after << " pixels short of the text area's sides";
  }

  // Compares the child window with the prediction; on a difference says where and saves it.
  void ExpectWindow(const std::vector<COLORREF>& want, const std::string& what) {
    int wrong = 0, first = -1;
    for (int32_t i = 0; i < Width * Height; ++i) {
      if (want[i] != AnyPixel && testsupport::PixelOf(Child, i % Width, i / Width) != want[i] && wrong++ == 0) first = i;
    }
    if (wrong == 0) return;
    const std::string png = ::testing::TempDir() + "viewer_" + std::to_string(first) + ".png";
    VmWindow_SavePng(Child, png.c_str());
    ADD_FAILURE() << what << ": " << wrong << " pixels differ, first at (" << first % Width << ", " << first / Width
                  << "); window saved as " << png;
  }

  HWND Frame = platform::CreateWindowObject(nullptr, 0, 0, 800, 600);
  HWND Child = platform::CreateWindowObject(Frame, Left, Top, Width, Height);
  TempFiles Files;
};

TEST_F(ViewerDraw, ScenesMatchTheReference) {
  const Scene scenes[] = {
      {"window reaching past the picture's left edge", 150, 100, 0, 0, {}, ""},
      {"offsets shift the view into the lower tile row", 300, 400, 37, -21, {}, ""},
      {"boxes in layer order, later layers on top", 200, 200, 0, 0,
       {{"upper", 150, 150, 190, 170, 0x20C040}, {"_main", 100, 120, 180, 160, 0xC02040}, {"_main", 170, 100, 230, 140, 0x2040C0}}, ""},
      {"a box across tile edges", 256, 256, 0, 0, {{"_main", 250, 250, 262, 262, 0x102030}}, ""},
      // The window's last column is 511 and its last row 511; the boxes begin one past them, so
      // the box test finds them on the window but they are on tiles the render leaves out.
      {"boxes one past the window's last column and row, on tile edges", 352, 392, 0, 0,
       {{"_main", 512, 300, 530, 320, 0x405060}, {"_main", 300, 512, 320, 530, 0x605040}}, ""},
      {"label text centred in a box wider than the text", 150, 100, 0, 0, {}, "", {{60, 60, 140, 40, 0xE0D090, 0, 0, u"Hi"}}},
      {"label text to the left", 150, 100, 0, 0, {}, "", {{60, 60, 140, 40, 0xE0D090, 0, 1, u"Hi"}}},
      {"label text to the right", 150, 100, 0, 0, {}, "", {{60, 60, 140, 40, 0xE0D090, 0, 2, u"Hi"}}},
      // Measured first without a box, outside the window (on its tiles); then the shared brush
      // turns opaque and the label moves in: the box is measured again, text height + 2 x pen
      // width + 4 pixels high, and its text (in the box's colour) stays unseen.
      {"a label's shared brush made opaque behind its back", 150, 100, 0, 0, {}, "",
       {{400, 40, 60, 0, 0x3060A0, 0x3060A0, 0, u"Hi"}},
       [](Viewer& viewer, Scene& scene) {
         Ref<Label> label = As<Label>(viewer.GetByIndex(1));
         label->GetBrush()->Transparent = 0;
         TextItem& t = scene.Labels[0];
         t.Height = label->GetHeight() + 2 * label->GetPen()->GetWidth() + 4;
         t.X0 = 100, t.Y0 = 60;
         label->SetPosition(PositionAt(t.X0, t.Y0).Get());
       }},
  };
  for (Scene scene : scenes) {
    Ref<Viewer> viewer = Build(scene);
    for (bool again : {false, true}) {
      if (again && !scene.After) break;
      if (again) scene.After(*viewer, scene);
      const std::string name = std::string(scene.Name) + (again ? ", changed" : "");
      Draw(*viewer, true);
      ExpectWindow(Expected(scene, *viewer), name);
      for (const TextItem& t : scene.Labels) {
        if (t.Height != 0 && t.Ink != t.Colour) ExpectAlignedText(t, *viewer, name);
      }
      EXPECT_FALSE(viewer->UpdateView()) << name << ": a drawing leaves nothing to render";
    }
  }
  // Before any map: a white area in a black frame.
  std::vector<COLORREF> framed(size_t(Width) * Height, testsupport::WhitePixel);
  for (int32_t i = 0; i < Width * Height; ++i) {
    if (i % Width == 0 || i < Width || i % Width == Width - 1 || i >= Width * (Height - 1)) framed[i] = 0;
  }
  Draw(*OpenViewer(Files, Header()), true);
  ExpectWindow(framed, "library without maps");
}

TEST_F(ViewerDraw, RendersOnlyWhenAskedAndOnlyWhenTheTilesChange) {
  Scene scene{"box", 150, 100, 0, 0, {{"_main", 140, 90, 170, 120, 0x804020}}, ""};
  Ref<Viewer> viewer = Build(scene);
  viewer->OnDraw(-50, -50, Width, Height, true);  // no window there: the render must wait
  EXPECT_EQ(viewer->GetError().Code, errors::InvalidArgument);
  Draw(*viewer, true);
  ExpectWindow(Expected(scene, *viewer), "first draw, after one that found no window");

  // The box's colours change behind the viewer's back (no changed flag): the picture shows
  // them only after a render.
  Ref<Rectangle> box = As<Rectangle>(viewer->GetByIndex(1));
  box->GetBrush()->Red = box->GetPen()->Red = 0x10;
  viewer->SetCentre(PositionAt(153, 102).Get());  // the window stays on the same tiles
  Draw(*viewer, true);
  ExpectWindow(Expected(scene, *viewer), "moved within the tiles: no render, the old colour");

  viewer->SetCentre(PositionAt(153, 150).Get());  // the window reaches the next tile row
  Draw(*viewer, true);
  scene.Items[0].Colour = 0x104020;
  const std::vector<COLORREF> crossed = Expected(scene, *viewer);
  ExpectWindow(crossed, "crossed into other tiles: rendered");

  viewer->GetLayers()->GetByIndex(1)->SetEnabled(0);
  Draw(*viewer, false);
  ExpectWindow(crossed, "without update the old picture stays");
  Draw(*viewer, true);
  scene.Disabled = "_main";
  ExpectWindow(Expected(scene, *viewer), "the layer disabled since: rendered without it");
}

// Only the current map keeps a view cache: the map the viewer leaves renders its last view
// afresh (a new picture) instead of handing back the one it held.
TEST_F(ViewerDraw, AMapThatStopsBeingCurrentDropsItsViewCache) {
  Ref<Viewer> viewer = OpenViewer(Files, Join({Header(), MapChunks(SmallMap("m1", 300, 200), 1), MapChunks(SmallMap("m2", 300, 200), 2)}));
  viewer->SetCentre(PositionAt(150, 100).Get());
  Draw(*viewer, true);
  Ref<Map> left = Ref<Map>::Retain(viewer->GetMap());
  Ref<Rect> view = viewer->ViewArea();
  Ref<Bitmap> held = Ref<Bitmap>::Adopt(left->Render(*view)), again;
  EXPECT_EQ(Ref<Bitmap>::Adopt(left->Render(*view)).Get(), held.Get()) << "the current map's cache answers";
  viewer->ActiveMapData(Text("m2"));
  again = Ref<Bitmap>::Adopt(left->Render(*view));
  EXPECT_TRUE(held && again && again.Get() != held.Get()) << "the map left behind kept its picture";
}

// A turned, zoomed view resamples only the window's part of its tiles: each move within the
// tiles that shows pixels outside the part drawn so far must show what a viewer drawing that
// view for the first time shows, the map and the box over it.
TEST_F(ViewerDraw, MovesOfATurnedViewShowWhatAFirstDrawShows) {
  Scene scene{"box", 300, 250, 0, 0, {{"_main", 280, 230, 330, 260, 0x804020}}, ""};
  auto window = [&] {
    std::vector<COLORREF> pixels;
    for (int32_t i = 0; i < Width * Height; ++i) pixels.push_back(testsupport::PixelOf(Child, i % Width, i / Width));
    return pixels;
  };
  auto turned = [&](int32_t dx, int32_t dy) {
    Ref<Viewer> viewer = Build(scene);
    viewer->SetZoom(1.5);
    viewer->SetRotation(25.0);
    viewer->SetViewOffsetX(dx);
    viewer->SetViewOffsetY(dy);
    return viewer;
  };
  Ref<Viewer> moving = turned(0, 0);
  Draw(*moving, true);
  const std::pair<int32_t, int32_t> moves[] = {{9, 0}, {9, 7}, {-12, 7}, {-12, -20}, {3, 5}, {0, 0}};
  for (const auto& [dx, dy] : moves) {
    moving->SetViewOffsetX(dx);
    moving->SetViewOffsetY(dy);
    Draw(*moving, true);
    const std::vector<COLORREF> moved = window();
    Draw(*turned(dx, dy), true);
    ExpectWindow(moved, "moved to " + std::to_string(dx) + ", " + std::to_string(dy));
  }
}

}  // namespace
}  // namespace velmira

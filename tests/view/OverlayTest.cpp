// Overlay objects and the surface's shapes. Refused values and objects without a map: the C
// client (tests/abi/overlay_client.c).
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "DrawingCanvas.h"
#include "support/MapFiles.h"
#include "view/Ellipse.h"
#include "view/Icon.h"
#include "view/Label.h"
#include "view/Line.h"
#include "view/Rectangle.h"

namespace velmira {
namespace {

using namespace drawing;
using platform::COLORREF;
using platform::RGB;

using Box = std::array<int32_t, 4>;  // left, top, width, height
Box BoxOf(const MapObject& o) { return {o.GetLeft(), o.GetTop(), o.GetWidth(), o.GetHeight()}; }

// A two-point object on the map from view pixel (x1, y1) to (x2, y2).
template <class T>
Ref<T> Between(Map* map, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Ref<T> o = MakeRef<T>();
  o->SetMap(map);
  o->SetPosition1(At(x1, y1).Get());
  o->SetPosition2(At(x2, y2).Get());
  return o;
}

// The columns (or rows) of a that also lie in b, visited one by one in 64 bits so that
// rectangles reaching past the ends of the 32-bit range are modelled exactly: first..last.
std::pair<int64_t, int64_t> Common(int32_t a, int32_t aExtent, int32_t b, int32_t bExtent) {
  int64_t first = INT64_MAX, last = INT64_MIN;
  for (int64_t x = a; x < int64_t{a} + aExtent; ++x) {
    if (x >= b && x < int64_t{b} + bExtent) first = std::min(first, x), last = x;
  }
  return {first, last};
}

TEST(RectArithmetic, OverlapAndClipMatchThePixelSets) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> offset(-4, 4), extent(1, 6);
  auto near = [&](int32_t base) {
    return Rect(base + offset(random), base + offset(random), extent(random), extent(random));
  };
  for (int32_t base : {0, INT32_MAX - 6, INT32_MIN + 4}) {
    for (int i = 0; i < 2000; ++i) {
      Rect a = near(base), b = near(base);
      auto [left, right] = Common(a.Left, a.Width, b.Left, b.Width);
      auto [top, bottom] = Common(a.Top, a.Height, b.Top, b.Height);
      bool overlap = left <= right && top <= bottom;
      ASSERT_TRUE(a.Intersects(b) == overlap && b.Intersects(a) == overlap) << base << " " << i;
      a.ClipTo(b);
      EXPECT_TRUE(overlap ? a.Equals(Rect(left, top, right - left + 1, bottom - top + 1))
                          : a.Width < 1 || a.Height < 1);
    }
  }
}

TEST(OverlayGeometry, AlignmentPlacesTheBoxAndItsEdgesAreHit) {
  struct Row { int32_t alignX, alignY, width, height, x, y, offsetX, offsetY, left, top; };
  const Row rows[] = {
      {2, 0, 10, 0, 100, 0, 3, 0, 93, 0},        {0, 0, 11, 0, 100, 0, 3, 0, 98, 0},
      {1, 3, 10, 8, 100, 50, 3, -2, 103, 48},    {0, 4, 10, 8, 100, 50, 0, 1, 95, 43},
      {0, 0, -11, -7, 100, 50, 0, 0, 105, 53},   // halves truncate toward zero
      {1, 3, 10, 10, INT32_MAX, INT32_MIN, 10, -10, INT32_MAX, INT32_MIN},  // saturated
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "align " << r.alignX << "/" << r.alignY << " size " << r.width);
    Ref<Label> box = MakeRef<Label>();
    box->SetAlignX(r.alignX), box->SetAlignY(r.alignY), box->SetWidth(r.width), box->SetHeight(r.height);
    box->SetOffsetX(r.offsetX), box->SetOffsetY(r.offsetY), box->SetPoint(r.x, r.y);
    EXPECT_EQ(std::make_pair(box->GetLeft(), box->GetTop()), std::make_pair(r.left, r.top));
    if (r.width < 0 || r.left == INT32_MAX) continue;
    auto hit = [&](int32_t dx, int32_t dy) { return box->HitTest(Point(r.left + dx, r.top + dy)); };
    EXPECT_TRUE(hit(0, 0) && hit(r.width, r.height)) << "both ends are in the box";
    EXPECT_FALSE(hit(-1, 0) || hit(r.width + 1, 0) || hit(0, r.height + 1));
  }
}

TEST(OverlayGeometry, EllipseAndLineHitsFollowTheirShapes) {
  Ref<Map> map = PixelMap();
  auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int16_t pen) {
    Ref<Line> l = Between<Line>(map.Get(), x1, y1, x2, y2);
    l->GetPen()->SetWidth(pen);
    return Ref<MapObject>::Adopt(l.Detach());
  };
  auto ellipse = [](int32_t width, int32_t height) {  // centred on (50, 15)
    Ref<Ellipse> e = MakeRef<Ellipse>();
    e->SetWidth(width), e->SetHeight(height), e->SetPoint(50, 15);
    return Ref<MapObject>::Adopt(e.Detach());
  };
  const Ref<MapObject> shapes[] = {ellipse(20, 10),         line(0, 0, 100, 0, 4),
                                   line(0, 0, 100, 50, 1),  line(0, 50, 100, 0, 1),
                                   line(0, 0, 10, 100, 1),  line(10, 0, 0, 100, 1),
                                   line(7, 7, 7, 7, 9),     ellipse(20, 0)};
  struct Row { int shape; int32_t x, y; bool hit; };
  const Row rows[] = {
      {0, 50, 15, true},  {0, 40, 15, true},  {0, 60, 15, true},  {0, 50, 10, true},
      {0, 40, 10, false}, {0, 60, 20, false}, {0, 41, 11, false}, {0, 61, 15, false},
      {1, 50, 2, true},   {1, 50, 3, false},  {1, 0, 0, true},    {1, 100, -2, true},
      {1, 101, 0, false}, {2, 50, 25, true},  {2, 50, 27, false}, {2, 20, 40, false},
      {3, 20, 40, true},  {3, 50, 25, true},  {3, 20, 10, false}, {4, 5, 50, true},
      {4, 7, 50, false},  {4, 8, 101, false}, {5, 8, 20, true},   {5, 2, 20, false},
      {6, 7, 7, false},   {7, 50, 15, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(shapes[r.shape]->HitTest(Point(r.x, r.y)), r.hit)
        << "shape " << r.shape << " at " << r.x << "," << r.y;
  }
}

TEST(OverlayPlacement, PositionsTwoPointBoundsAndTheChangedFlag) {
  Ref<Map> map = PixelMap();
  Ref<Ellipse> e = MakeRef<Ellipse>();
  Ref<Position> p = At(30, 40);
  e->SetMap(map.Get());
  e->SetPosition(p.Get());
  EXPECT_TRUE(e->GetPosition().Get() == p.Get() && e->GetPoint().Y == 40) << "the caller's position itself is kept";
  e->SetChanged(false);
  e->SetPosition(At(30, 40).Get());
  EXPECT_FALSE(e->Changed()) << "the anchor did not move";
  map->SetZoom(2.0f);
  e->Reposition();
  EXPECT_EQ(e->GetPoint().X, 60);
  EXPECT_TRUE(e->Changed());

  map->SetZoom(1.0f);
  Ref<Rectangle> r = Between<Rectangle>(map.Get(), 30, 40, 30, 40);
  r->SetPosition2(At(10, 101).Get());
  EXPECT_EQ(BoxOf(*r), (Box{10, 40, 20, 61}));
  EXPECT_EQ(r->GetPoint().Y, 70) << "61 / 2 truncates";
  r->SetPosition(At(500, 500).Get());
  r->SetWidth(3);
  r->Reposition();
  EXPECT_EQ(BoxOf(*r), (Box{10, 40, 20, 61})) << "repositioned onto its corners";
  // One corner only: repositioning goes back to the anchor position.
  Ref<Line> l = MakeRef<Line>();
  l->SetMap(map.Get());
  l->SetPosition(At(5, 6).Get());
  l->SetPosition1(At(50, 60).Get());
  EXPECT_EQ(l->GetWidth(), 50) << "the other end is still (0, 0)";
  l->Reposition();
  EXPECT_EQ(l->GetPoint().X, 5);
}

TEST(OverlayPlacement, CachedTileAreaFollowsEveryBoxChange) {
  Ref<Map> map = PixelMap();
  Ref<Label> label = MakeRef<Label>();
  Ref<Rectangle> rect = MakeRef<Rectangle>();
  label->SetMap(map.Get());
  rect->SetMap(map.Get());
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"width", [&] { label->SetWidth(600); }},       {"height", [&] { label->SetHeight(300); }},
      {"offset x", [&] { label->SetOffsetX(700); }},  {"offset y", [&] { label->SetOffsetY(-900); }},
      {"align x", [&] { label->SetAlignX(2); }},      {"align y", [&] { label->SetAlignY(4); }},
      {"position", [&] { label->SetPosition(At(-600, 800).Get()); }},
      {"corner", [&] { rect->SetPosition1(At(900, 1000).Get()); }},
  };
  for (const auto& [name, change] : changes) {
    MapObject* const objects[] = {label.Get(), rect.Get()};
    for (MapObject* o : objects) o->ViewArea();  // fill the cache
    change();
    for (MapObject* o : objects) {
      Ref<Rect> fresh = Ref<Rect>::Adopt(map->TileRect(o->GetLeft(), o->GetTop(), o->GetWidth(), o->GetHeight()));
      EXPECT_TRUE(o->ViewArea()->Equals(*fresh)) << "a stale area was kept after " << name;
    }
  }
  Ref<Label> mapless = MakeRef<Label>();
  EXPECT_FALSE(mapless->ViewArea() || mapless->IsVisibleIn(Rect(-100, -100, 200, 200)));
}

TEST(LabelSize, MeasuredTextWithBorderAndRequestedSizes) {
  drawing::Canvas canvas;
  Ref<Text> text = MakeRef<Text>("Harbour master office");
  // fontless: the font set to none, so the text is measured in the surface's own font.
  struct Row { bool opaque; int16_t pen; int32_t requestWidth, requestHeight; bool fontless = false; };
  const Row rows[] = {{false, 1, 0, 0}, {true, 1, 0, 0},  {true, 3, 0, 0},  {true, 1, 100, 0},
                      {false, 1, 60, 0}, {true, 1, 0, 50}, {true, 1, 100, 40}, {true, 1, 0, 0, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &row - rows);
    Ref<Label> label = MakeRef<Label>();
    label->GetBrush()->Transparent = row.opaque ? 0 : 1;
    label->SetText(u"Harbour master office"), label->GetPen()->SetWidth(row.pen);
    label->SetRequestedWidth(row.requestWidth), label->SetRequestedHeight(row.requestHeight);
    if (row.fontless) label->SetTextFont(nullptr);
    EXPECT_EQ(label->GetWidth(), 0) << "a label never drawn is not measured";
    label->Draw(*canvas.Surface);
    // The text wraps within a requested width, less the border.
    const int32_t border = row.opaque ? 2 * row.pen + 4 : 0;
    Rect r(0, 0, row.requestWidth > 0 ? row.requestWidth - border : 0, 0);
    canvas.Surface->DrawTextBox(r, text.Get(), row.fontless ? nullptr : MakeRef<TextFont>().Get(), 0, 0,
                                nullptr, nullptr, false);
    EXPECT_GT(r.Width, 0);
    EXPECT_EQ(label->GetWidth(), row.requestWidth ? row.requestWidth : r.Width + border);
    EXPECT_EQ(label->GetHeight(), row.requestHeight ? row.requestHeight : r.Height + border);
  }
}

// Each drawing paints exactly its box (ends included) and the listed pixels (Untouched: the
// view's own pixel): the surface's pen rules, then each kind of object through its map.
TEST(OverlayDraw, ShapesAndObjectsPaintExactlyTheirBox) {
  constexpr COLORREF Blue = RGB(0, 0, 255), Green = RGB(0, 255, 0), Black = 0, Untouched = 0xFFFFFFFFu;
  using drawing::Paint;
  Ref<Map> map = PixelMap();
  Ref<Ellipse> ellipse = MakeRef<Ellipse>();
  ellipse->SetMap(map.Get()), ellipse->SetWidth(20), ellipse->SetHeight(10), ellipse->SetPosition(At(50, 15).Get());
  ellipse->GetBrush()->Transparent = 0, ellipse->GetBrush()->Green = 255;
  Ref<Line> line = Between<Line>(map.Get(), 10, 30, 30, 30);
  Ref<Label> label = MakeRef<Label>();
  label->SetMap(map.Get()), label->SetText(u"Mj"), label->GetPen()->SetWidth(3);
  label->GetBrush()->Transparent = 0;
  label->SetAlignX(1), label->SetAlignY(3), label->SetPosition(At(40, 35).Get());
  const Point a(10, 10), narrow(12, 30), box(40, 30);
  // A label's right and bottom come from its measured size.
  struct Scene { const char* name; std::function<void(DrawSurface&)> draw; int32_t left, top, right, bottom;
                 std::vector<std::tuple<int32_t, int32_t, COLORREF>> pixels; };
  const std::vector<Scene> scenes = {
      {"rectangle 3 wide with pen 5 is drawn with pen 1, inset 0",
       [&](DrawSurface& s) { s.DrawRectangle(a, narrow, *Paint<Pen>(Blue, 5), Paint<Brush>(Green).Get()); },
       10, 10, 12, 30, {{10, 10, Blue}, {12, 30, Blue}, {10, 20, Blue}, {12, 20, Blue}, {11, 20, Green}}},
      {"wide pen is moved inside the rectangle's box by half its width; no fill",
       [&](DrawSurface& s) { s.DrawRectangle(a, box, *Paint<Pen>(Blue, 5), Paint<Brush>(Green, 0).Get()); }, 10, 10, 40, 30,
       {{10, 20, Blue}, {14, 20, Blue}, {15, 20, Untouched}, {36, 20, Blue}, {40, 20, Blue},
        {25, 10, Blue}, {25, 30, Blue}, {25, 20, Untouched}}},
      {"ellipse object touches the middle of each side, fills its centre, misses the corners",
       [&](DrawSurface& s) { ellipse->Draw(s); }, 40, 10, 60, 20,
       {{40, 15, Black}, {60, 15, Black}, {50, 10, Black}, {50, 20, Black}, {50, 15, Green},
        {40, 10, Untouched}, {60, 20, Untouched}}},
      {"line object takes its last point in, drawn to one pixel down-right of it",
       [&](DrawSurface& s) { line->Draw(s); }, 10, 30, 30, 31, {{30, 31, Black}, {30, 30, Untouched}}},
      {"label object", [&](DrawSurface& s) { label->Draw(s); }, 40, 35, 0, 0, {}},
  };
  for (const Scene& scene : scenes) {
    drawing::Canvas canvas;
    canvas.Draw(scene.draw);
    canvas.Show();
    Box painted{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};  // left, top, right, bottom
    for (int32_t i = 0; i < drawing::Canvas::Width * drawing::Canvas::Height; ++i) {
      const int32_t x = i % drawing::Canvas::Width, y = i / drawing::Canvas::Width;
      if (canvas.Untouched(x, y)) continue;
      painted = {std::min(painted[0], x), std::min(painted[1], y), std::max(painted[2], x), std::max(painted[3], y)};
    }
    const Box want = scene.right ? Box{scene.left, scene.top, scene.right, scene.bottom}
                                 : Box{40, 35, 39 + label->GetWidth(), 34 + label->GetHeight()};
    EXPECT_EQ(painted, want) << scene.name;
    for (auto [x, y, colour] : scene.pixels) {
      EXPECT_EQ(canvas.Pixel(x, y), colour == Untouched ? drawing::Background(x, y) : colour) << scene.name << " at " << x << "," << y;
    }
  }
  EXPECT_GT(label->GetWidth(), 10);
  for (MapObject* o : std::initializer_list<MapObject*>{ellipse.Get(), line.Get(), label.Get()}) {
    EXPECT_FALSE(o->Changed() || o->GetError().Failed()) << "type " << o->GetType();
  }
}

TEST(IconLibrary, CopiesShareOnePictureAndAClosedIconCannotLoadIt) {
  // A 4 x 2 icon whose record says 9 x 7: index 0 (the key) in columns 0 and 1.
  testfiles::Bytes chunks = testfiles::IconChunks("Buoy", 4, 2, true);
  chunks[8 + 58] = 9, chunks[8 + 62] = 7;  // past the chunk's tag and size
  testfiles::TempFiles files;
  Ref<File> file = MakeRef<File>();
  file->Open(*MakeRef<Text>(files.Write(testfiles::Join({testfiles::Header(), chunks})).c_str()), File::ReadMode);
  file->Seek(8 + 4, File::FromStart);  // past the header chunk
  Ref<Icon> libraryIcon = MakeRef<Icon>();
  libraryIcon->Load(file.Get());
  ASSERT_FALSE(libraryIcon->GetError().Failed()) << libraryIcon->GetError().Message;
  Ref<Icon> first = MakeRef<Icon>(*libraryIcon), second = MakeRef<Icon>(*libraryIcon);
  ASSERT_NE(first->GetImage(), nullptr);
  EXPECT_TRUE(first->GetImage() == second->GetImage() && first->GetImage() == libraryIcon->GetImage());
  EXPECT_EQ(BoxOf(*first), (Box{-4, -3, 9, 7})) << "the record's size";

  // Drawn at its box's top-left pixel, its key colour leaving the view.
  drawing::Canvas canvas;
  first->SetPoint(20, 20);  // box 9 x 7 centred: top-left (16, 17)
  canvas.Draw([&](DrawSurface& s) { first->Draw(s); });
  canvas.Show();
  const uint32_t red = testfiles::IconPalette[1];
  EXPECT_TRUE(canvas.Untouched(17, 17));
  EXPECT_EQ(canvas.Pixel(18, 18), RGB(red >> 16, red >> 8 & 0xFF, red & 0xFF));
  EXPECT_TRUE(canvas.Untouched(20, 17)) << "drawn at the picture's size, not the record's";

  Ref<Icon> closed = MakeRef<Icon>();
  file->Seek(8 + 4, File::FromStart);
  closed->Load(file.Get());
  closed->Close();
  Ref<Icon> orphan = MakeRef<Icon>(*closed);
  EXPECT_EQ(orphan->GetImage(), nullptr);
  EXPECT_EQ(orphan->GetError().Code, 10015);
  EXPECT_STREQ(orphan->GetError().Message, "Maplib must be opened to do this operation");
}

}  // namespace
}  // namespace velmira

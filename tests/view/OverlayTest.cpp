// Overlay objects: box geometry and hit tests of every shape, placement through a map with the
// cached tile area and the changed flag, two-point bounds and repositioning, label sizing, what
// each kind paints on a rendered view, and library icons sharing one picture. Refused values
// are checked through the exports by the C client (tests/abi/overlay_client.c).
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "DrawingCanvas.h"
#include "MapLibWriter.h"
#include "view/Ellipse.h"
#include "view/Icon.h"
#include "view/Label.h"
#include "view/Line.h"
#include "view/Rectangle.h"

namespace velmira {
namespace {

// A map on which view pixel (x, y) is the position (x / 1024, y / 1024) in radians: one
// calibration pair at pixel (1024, 1024), so every conversion is exact in binary.
Ref<Map> PixelMap() {
  Ref<Map> map = MakeRef<Map>();
  Ref<Position> one = MakeRef<Position>();
  one->SetLongitudeRads(1.0);
  one->SetLatitudeRads(1.0);
  Point pixel(1024, 1024);
  map->SetScale(one.Get(), &pixel, nullptr, nullptr, nullptr, nullptr);
  return map;
}

Ref<Position> At(int32_t x, int32_t y) {
  Ref<Position> p = MakeRef<Position>();
  p->SetLongitudeRads(x / 1024.0);
  p->SetLatitudeRads(y / 1024.0);
  return p;
}

struct Box {
  int32_t left, top, width, height;
  bool operator==(const Box&) const = default;
};
Box BoxOf(const MapObject& o) { return {o.GetLeft(), o.GetTop(), o.GetWidth(), o.GetHeight()}; }

TEST(OverlayGeometry, AlignmentPlacesTheBoxAndItsEdgesAreHit) {
  struct Row { int32_t alignX, alignY, width, height, x, y, offsetX, offsetY, left, top; };
  const Row rows[] = {
      {2, 0, 10, 0, 100, 0, 3, 0, 93, 0},        {0, 0, 11, 0, 100, 0, 3, 0, 98, 0},
      {1, 3, 10, 8, 100, 50, 3, -2, 103, 48},    {0, 4, 10, 8, 100, 50, 0, 1, 95, 43},
      {0, 0, -11, -7, 100, 50, 0, 0, 105, 53},   // halves truncate toward zero
      {1, 3, 10, 10, INT32_MAX, INT32_MIN, 10, -10, INT32_MAX, INT32_MIN},  // saturated
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "align " << r.alignX << "/" << r.alignY << " size "
                                      << r.width << "x" << r.height);
    Ref<Label> box = MakeRef<Label>();
    box->SetAlignX(r.alignX);
    box->SetAlignY(r.alignY);
    box->SetWidth(r.width);
    box->SetHeight(r.height);
    box->SetOffsetX(r.offsetX);
    box->SetOffsetY(r.offsetY);
    box->SetPoint(r.x, r.y);
    EXPECT_EQ(box->GetLeft(), r.left);
    EXPECT_EQ(box->GetTop(), r.top);
    if (r.width < 0 || r.left == INT32_MAX) continue;
    const int64_t L = r.left, T = r.top;
    auto hit = [&](int64_t x, int64_t y) {
      return box->HitTest(Point(static_cast<int32_t>(x), static_cast<int32_t>(y)));
    };
    EXPECT_TRUE(hit(L, T) && hit(L + r.width, T + r.height)) << "both ends are in the box";
    EXPECT_FALSE(hit(L - 1, T) || hit(L + r.width + 1, T) || hit(L, T + r.height + 1));
  }
}

TEST(OverlayGeometry, EllipseAndLineHitsFollowTheirShapes) {
  Ref<Map> map = PixelMap();
  auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int16_t pen) {
    Ref<Line> l = MakeRef<Line>();
    l->SetMap(map.Get());
    l->SetPosition1(At(x1, y1).Get());
    l->SetPosition2(At(x2, y2).Get());
    l->GetPen()->SetWidth(pen);
    return Ref<MapObject>::Adopt(l.Detach());
  };
  auto ellipse = [](int32_t width, int32_t height) {  // centred on (50, 15)
    Ref<Ellipse> e = MakeRef<Ellipse>();
    e->SetWidth(width);
    e->SetHeight(height);
    e->SetPoint(50, 15);
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

TEST(OverlayPlacement, PositionsPlaceOnlyWithAMapAndMoveTheChangedFlag) {
  Ref<Ellipse> e = MakeRef<Ellipse>();
  Ref<Position> p = At(30, 40);
  e->SetPosition(p.Get());
  EXPECT_FALSE(e->GetPosition()) << "stored without a map";
  Ref<Map> map = PixelMap();
  e->SetMap(map.Get());
  e->SetPosition(p.Get());
  EXPECT_EQ(e->GetPosition().Get(), p.Get()) << "the caller's position itself is kept";
  EXPECT_EQ(e->GetPoint().X, 30);
  EXPECT_EQ(e->GetPoint().Y, 40);
  e->SetChanged(false);
  e->SetPosition(At(30, 40).Get());
  EXPECT_FALSE(e->Changed()) << "the anchor did not move";
  map->SetZoom(2.0f);
  e->Reposition();
  EXPECT_EQ(e->GetPoint().X, 60);
  EXPECT_TRUE(e->Changed());
}

TEST(OverlayPlacement, CachedTileAreaFollowsEveryBoxChange) {
  Ref<Map> map = PixelMap();
  Ref<Label> label = MakeRef<Label>();
  Ref<Rectangle> rect = MakeRef<Rectangle>();
  label->SetMap(map.Get());
  rect->SetMap(map.Get());
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"width", [&] { label->SetWidth(600); }},       {"height", [&] { label->SetHeight(300); }},
      {"offset x", [&] { label->SetOffsetX(700); }},
      {"offset y", [&] { label->SetOffsetY(-900); }},
      {"align x", [&] { label->SetAlignX(2); }},      {"align y", [&] { label->SetAlignY(4); }},
      {"position", [&] { label->SetPosition(At(-600, 800).Get()); }},
      {"corner", [&] { rect->SetPosition1(At(900, 1000).Get()); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    MapObject* const objects[] = {label.Get(), rect.Get()};
    for (MapObject* o : objects) o->ViewArea();  // fill the cache
    change();
    for (MapObject* o : objects) {
      Ref<Rect> fresh =
          Ref<Rect>::Adopt(map->TileRect(o->GetLeft(), o->GetTop(), o->GetWidth(), o->GetHeight()));
      EXPECT_TRUE(o->ViewArea()->Equals(*fresh)) << "a stale area was kept";
    }
  }
  Ref<Label> mapless = MakeRef<Label>();
  EXPECT_FALSE(mapless->ViewArea());
  EXPECT_FALSE(mapless->IsVisibleIn(Rect(-100, -100, 200, 200)));
}

TEST(OverlayPlacement, TwoPointBoundsAndRepositionOntoTheCorners) {
  Ref<Map> map = PixelMap();
  Ref<Rectangle> r = MakeRef<Rectangle>();
  r->SetMap(map.Get());
  r->SetPosition1(At(30, 40).Get());
  EXPECT_EQ(r->GetWidth(), 30) << "the other end is still (0, 0)";
  r->SetPosition2(At(10, 101).Get());
  EXPECT_EQ(BoxOf(*r), (Box{10, 40, 20, 61}));
  EXPECT_EQ(r->GetPoint().Y, 70) << "61 / 2 truncates";
  r->SetPosition(At(500, 500).Get());
  r->SetWidth(3);
  r->Reposition();
  EXPECT_EQ(BoxOf(*r), (Box{10, 40, 20, 61}));
  // One corner only: repositioning goes back to the anchor position.
  Ref<Line> l = MakeRef<Line>();
  l->SetMap(map.Get());
  l->SetPosition(At(5, 6).Get());
  l->SetPosition1(At(50, 60).Get());
  l->Reposition();
  EXPECT_EQ(l->GetPoint().X, 5);
}

TEST(LabelSize, MeasuredTextWithBorderAndRequestedSizes) {
  drawing::Canvas canvas;
  Ref<Text> text = MakeRef<Text>("Harbour master office");
  auto measure = [&](int32_t wrap, bool fontless) {
    Rect r(0, 0, wrap, 0);
    canvas.Surface->DrawTextBox(r, text.Get(), fontless ? nullptr : MakeRef<TextFont>().Get(), 0, 0,
                                nullptr, nullptr, false);
    return std::pair{r.Width, r.Height};
  };
  // fontless: the font set to none, so the text is measured in the surface's own font.
  struct Row { bool opaque; int16_t pen; int32_t requestWidth, requestHeight; bool fontless = false; };
  const Row rows[] = {{false, 1, 0, 0}, {true, 1, 0, 0},  {true, 3, 0, 0},  {true, 1, 100, 0},
                      {false, 1, 60, 0}, {true, 1, 0, 50}, {true, 1, 100, 40}, {true, 1, 0, 0, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "opaque " << row.opaque << " pen " << row.pen << " request "
                                      << row.requestWidth << "x" << row.requestHeight);
    Ref<Label> label = MakeRef<Label>();
    label->SetText(u"Harbour master office");
    label->GetBrush()->Transparent = row.opaque ? 0 : 1;
    label->GetPen()->SetWidth(row.pen);
    label->SetRequestedWidth(row.requestWidth);
    label->SetRequestedHeight(row.requestHeight);
    if (row.fontless) label->SetTextFont(nullptr);
    EXPECT_EQ(static_cast<bool>(label->GetTextFont()), !row.fontless);
    EXPECT_EQ(label->GetWidth(), 0) << "a label never drawn is not measured";
    label->Draw(*canvas.Surface);
    const int32_t border = row.opaque ? 2 * row.pen + 4 : 0;
    // The text wraps within a requested width, less the border.
    auto [width, height] = measure(row.requestWidth > 0 ? row.requestWidth - border : 0, row.fontless);
    EXPECT_GT(width, 0);
    EXPECT_EQ(label->GetWidth(), row.requestWidth ? row.requestWidth : width + border);
    EXPECT_EQ(label->GetHeight(), row.requestHeight ? row.requestHeight : height + border);
  }
}

// Non-white pixels of the window, as an inclusive box.
Box PaintedBox(const drawing::Canvas& canvas) {
  int32_t l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
  for (int32_t y = 0; y < drawing::Canvas::Height; ++y) {
    for (int32_t x = 0; x < drawing::Canvas::Width; ++x) {
      if (canvas.At(x, y) == platform::RGB(255, 255, 255)) continue;
      l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
    }
  }
  return Box{l, t, r - l + 1, b - t + 1};
}

TEST(OverlayDraw, EachKindPaintsItsBoxOnTheRenderedViewAndIsNoLongerChanged) {
  Ref<Map> map = PixelMap();
  Ref<Rectangle> rect = MakeRef<Rectangle>();
  rect->SetMap(map.Get());
  rect->SetPosition1(At(10, 10).Get());
  rect->SetPosition2(At(30, 20).Get());
  Ref<Ellipse> ellipse = MakeRef<Ellipse>();
  ellipse->SetMap(map.Get());
  ellipse->SetWidth(20);
  ellipse->SetHeight(10);
  ellipse->SetPosition(At(50, 15).Get());
  Ref<Line> line = MakeRef<Line>();
  line->SetMap(map.Get());
  line->SetPosition1(At(10, 30).Get());
  line->SetPosition2(At(30, 30).Get());
  Ref<Label> label = MakeRef<Label>();
  label->SetMap(map.Get());
  label->SetText(u"Mj");
  label->GetBrush()->Transparent = 0;
  label->GetPen()->SetWidth(3);
  label->SetAlignX(1);
  label->SetAlignY(3);
  label->SetPosition(At(40, 35).Get());
  struct Scene { MapObject* object; Box box; };
  const Scene scenes[] = {{rect.Get(), {10, 10, 21, 11}},
                          {ellipse.Get(), {40, 10, 21, 11}},
                          {line.Get(), {10, 30, 21, 2}},  // ends one pixel down-right
                          {label.Get(), {40, 35, 0, 0}}};
  // A map without a picture renders white; its view starts at view pixel (0, 0).
  Ref<Rect> view = Ref<Rect>::Adopt(map->TileRect(0, 0, 256, 256));
  Ref<Bitmap> white = Ref<Bitmap>::Adopt(map->Render(*view));
  for (const Scene& scene : scenes) {
    drawing::Canvas canvas(false);
    canvas.Surface->SetBitmap(white.Get());
    canvas.Draw([&](DrawSurface& s) { scene.object->Draw(s); });
    EXPECT_FALSE(scene.object->Changed());
    EXPECT_FALSE(scene.object->GetError().Failed());
    canvas.Show();
    Box box = scene.box;
    if (scene.object == label.Get()) box.width = label->GetWidth(), box.height = label->GetHeight();
    EXPECT_GT(box.width, 10);
    Box painted = PaintedBox(canvas);
    EXPECT_EQ(painted, box) << "type " << scene.object->GetType() << ": painted " << painted.left
                            << "," << painted.top << " " << painted.width << "x" << painted.height;
  }
}

// A library file holding one 4 x 2 icon of 8 bits with palette index 0 transparent.
std::string IconLibrary() {
  const std::string path = ::testing::TempDir() + "overlay_icons.vml";
  maplib::MapLibWriter writer;
  maplib::PictureFormat format;
  format.Width = 4;
  format.Height = 2;
  format.BitsPerPixel = 8;
  format.Palette = {255, 0, 255, 0, 0, 0, 255, 0};  // magenta (the key), red
  format.WithTransparency = true;
  format.Transparent = 1;
  const uint8_t rows[8] = {0, 1, 1, 0, 1, 1, 1, 1};
  EXPECT_TRUE(writer.Create(path));
  EXPECT_TRUE(writer.AddIcon(maplib::MakeIconRecord({"Buoy", "green", 9, 7}), format, rows, 4));
  EXPECT_TRUE(writer.Close()) << writer.ErrorText();
  return path;
}

TEST(IconLibrary, CopiesShareOnePictureAndAClosedIconCannotLoadIt) {
  Ref<Text> name = MakeRef<Text>(IconLibrary().c_str());
  Ref<File> file = MakeRef<File>();
  file->Open(*name, File::ReadMode);
  file->Seek(8 + 4, File::FromStart);  // past the header chunk
  Ref<Icon> libraryIcon = MakeRef<Icon>();
  libraryIcon->Load(file.Get());
  ASSERT_FALSE(libraryIcon->GetError().Failed()) << libraryIcon->GetError().Message;
  EXPECT_TRUE(libraryIcon->GetName().Equals("Buoy"));
  EXPECT_EQ(libraryIcon->GetWidth(), 9);
  EXPECT_EQ(libraryIcon->GetHeight(), 7);

  Ref<Icon> first = MakeRef<Icon>(*libraryIcon), second = MakeRef<Icon>(*libraryIcon);
  ASSERT_NE(first->GetImage(), nullptr);
  EXPECT_EQ(first->GetImage(), second->GetImage());
  EXPECT_EQ(first->GetImage(), libraryIcon->GetImage());
  EXPECT_EQ(&first->GetName(), &libraryIcon->GetName());
  EXPECT_EQ(first->GetWidth(), 9);

  // Drawn at its box's top-left pixel, its key colour leaving the view.
  drawing::Canvas canvas;
  first->SetPoint(20, 20);  // box 9 x 7 centred: top-left (16, 17)
  canvas.Draw([&](DrawSurface& s) { first->Draw(s); });
  canvas.Show();
  EXPECT_TRUE(canvas.Untouched(16, 17));
  EXPECT_EQ(canvas.At(17, 17), platform::RGB(255, 0, 0));
  EXPECT_TRUE(canvas.Untouched(20, 17)) << "drawn at the picture's size, not the record's";

  Ref<Icon> closed = MakeRef<Icon>();
  file->Seek(8 + 4, File::FromStart);
  closed->Load(file.Get());
  closed->Close();
  Ref<Icon> orphan = MakeRef<Icon>(*closed);
  EXPECT_EQ(orphan->GetImage(), nullptr);
  EXPECT_EQ(orphan->GetError().Code, 10015);
  EXPECT_STREQ(orphan->GetError().Message, "Maplib must be opened to do this operation");

  Ref<Icon> bad = MakeRef<Icon>();
  bad->Load(nullptr);
  EXPECT_EQ(bad->GetError().Code, 10005);
  file->Seek(0, File::FromStart);  // the library's header chunk
  bad->Load(file.Get());
  EXPECT_EQ(bad->GetError().Code, 10013);
}

}  // namespace
}  // namespace velmira

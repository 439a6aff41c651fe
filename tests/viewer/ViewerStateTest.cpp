// The viewer's state: the current map, zoom limits and rotation normalisation against a
// reference, objects following the map, and the hit-test stack over layers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ViewerTesting.h"
#include "view/Rectangle.h"

namespace velmira {
namespace {

using namespace testfiles;

std::string NameOf(Map* map) { return map ? Ref<Text>::Adopt(map->GetName())->Chars() : "(none)"; }

TEST(ViewerMaps, ActiveMapDataSelectsAndCreates) {
  struct Step { const char* name; int16_t code; const char* current; int32_t maps; };
  auto run = [](Viewer& viewer, std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.name);
      Ref<Map> got = viewer.ActiveMapData(Text(step.name));
      EXPECT_EQ(viewer.GetError().Code, step.code);
      EXPECT_STREQ(viewer.GetError().Message, step.code ? "No maps loaded or created" : nullptr);
      EXPECT_EQ(got.Get(), step.code == 0 ? viewer.GetMap() : nullptr);
      EXPECT_EQ(NameOf(viewer.GetMap()), step.current);
      EXPECT_EQ(viewer.GetMapLib()->GetMapCount(), step.maps);
    }
  };
  // A new viewer has no library: the reserved names fail and open nothing, others make one.
  Viewer fresh;
  fresh.ActiveMapData(Text("_active"));
  EXPECT_EQ(fresh.GetError().Code, errors::MapLibNotOpen);
  EXPECT_FALSE(fresh.GetLayers());
  run(fresh, {{"_main", errors::MapLibNotOpen, "(none)", 0}, {"made", 0, "made", 1}, {"_active", 0, "made", 1}});

  TempFiles files;
  Ref<Viewer> viewer = OpenViewer(files, Join({Header(), MapChunks(SmallMap("m1", 300, 200), 1), MapChunks(SmallMap("m2", 50, 50), 2)}));
  ASSERT_EQ(viewer->GetError().Code, 0);
  EXPECT_EQ(NameOf(viewer->GetMap()), "m1") << "opening makes the first map current";
  run(*viewer, {{"m2", 0, "m2", 2}, {"_active", 0, "m2", 2}, {"_main", 0, "m1", 2}, {"new", 0, "new", 3},
                {"new", 0, "new", 3}, {"", 0, "", 4}, {"m2", 0, "m2", 4}});

  Ref<Viewer> empty = OpenViewer(files, Header());
  run(*empty, {{"_active", errors::MapLibNotOpen, "(none)", 0}, {"_main", errors::MapLibNotOpen, "(none)", 0}});
}

// Where the map's working rotation must end: the angle reduced to -180 .. 180 degrees.
double ReducedRadians(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d < -180.0) d += 360.0;
  return d * M_PI / 180.0;
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

  for (double degrees : {0.0, 450.0, -190.0, 180.0, -180.0, 190.0, 720.0, -540.0, 359.9, 1e5, -33333.3}) {
    viewer.SetRotation(degrees);
    EXPECT_EQ(viewer.GetError().Code, 0);
    EXPECT_EQ(viewer.GetRotation(), degrees) << "read back exactly as set";
    EXPECT_NEAR(map.GetRotation(), ReducedRadians(degrees), 2e-6 * (1 + std::abs(degrees) / 360)) << degrees;
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

  double zoom = 2;
  viewer->SetZoom(zoom);
  EXPECT_EQ(corners(), (std::vector<int32_t>{20, 30, 20, 20})) << "placed again only when asked";
  Ref<Point> centre = viewer->Position2Point(PositionAt(80, 80).Get());
  EXPECT_EQ(corners(), (std::vector<int32_t>{40, 60, 40, 40}));
  EXPECT_EQ(centre->X, 80);

  viewer->SetRotation(90);
  viewer->Point2Position(centre.Get());
  // A quarter turn puts map pixel (x, y) at view pixel (y, -x) before the zoom of 2.
  EXPECT_EQ(corners(), (std::vector<int32_t>{60, -80, 40, 40}));
}

TEST(ViewerObjects, HitTestsWalkDownTheStackOfEnabledLayers) {
  TempFiles files;
  Ref<Viewer> opened = OpenViewer(files, Join({Header(), MapChunks(SmallMap("m", 20, 20), 1)}));
  Viewer& viewer = *opened;
  auto place = [&](const char* layer, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    viewer.ActiveLayer(Text(layer));
    Ref<Rectangle> r = As<Rectangle>(viewer.NewObject(MapObject::RectangleType));
    r->SetPosition1(PositionAt(x0, y0).Get());
    r->SetPosition2(PositionAt(x1, y1).Get());
    return r;
  };
  Ref<Rectangle> low = place("_main", 0, 0, 100, 100), mid = place("_main", 50, 50, 150, 150);
  Ref<Rectangle> top = place("upper", 90, 90, 120, 120), aside = place("upper", 300, 300, 320, 320);
  Ref<Position> spot = PositionAt(95, 95);
  auto stack = [&] {
    std::vector<MapObject*> found;
    for (Ref<MapObject> o = viewer.GetByPosition(spot.Get(), nullptr); o; o = viewer.GetByPosition(spot.Get(), o.Get())) {
      found.push_back(o.Get());
    }
    return found;
  };
  EXPECT_EQ(stack(), (std::vector<MapObject*>{top.Get(), mid.Get(), low.Get()}));
  EXPECT_EQ(viewer.GetByPoint(MakeRef<Point>(310, 310).Get()).Get(), aside.Get());
  EXPECT_EQ(viewer.GetByPosition(spot.Get(), aside.Get()).Get(), top.Get()) << "below an object at another place";

  viewer.SetIndex(low.Get(), -1);
  EXPECT_EQ(stack(), (std::vector<MapObject*>{top.Get(), low.Get(), mid.Get()}));
  viewer.GetLayers()->FindLayer(Text("upper"))->SetEnabled(0);
  EXPECT_EQ(stack(), (std::vector<MapObject*>{low.Get(), mid.Get()}));
  EXPECT_FALSE(viewer.GetByPosition(spot.Get(), top.Get())) << "a disabled object is not in the walk";
  EXPECT_EQ(viewer.GetByID(top->GetID()).Get(), top.Get()) << "lookups by ID see disabled layers";
  EXPECT_EQ(viewer.GetIndex(low.Get()), 2);

  viewer.DeleteObject(mid.Get());
  EXPECT_EQ(stack(), (std::vector<MapObject*>{low.Get()}));
  EXPECT_EQ(viewer.GetIndex(mid.Get()), 0);
  EXPECT_EQ(mid->RefCount(), 1u) << "the layer's reference went, the caller's stays";
}

}  // namespace
}  // namespace velmira

// Pure pieces of the attributes' platform conversion; Rect and ObjectList each against a small
// reference model driven by random input, with references and Close calls counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

#include "view/ObjectList.h"
#include "view/Rect.h"
#include "view/TextFont.h"

namespace velmira {
namespace {

TEST(DrawingAttributes, ColourAndFontHeightConversions) {
  EXPECT_EQ(PackColor(0x12, 0x34, 0x56), 0x563412u);
  EXPECT_EQ(PackColor(300, 256, -1), 0xFF002Cu) << "only the low byte of each part is drawn";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row { double size; int32_t dpi, height; } rows[] = {
      {10, 96, -13}, {10.9, 96, -13}, {-10.9, 96, 13},      {0.9, 96, 0},
      {12, 72, -12}, {nan, 96, 0},    {1e12, 96, INT32_MIN}, {-1e12, 96, INT32_MAX}};
  for (const Row& row : rows) EXPECT_EQ(TextFont::LogFontHeight(row.size, row.dpi), row.height);
}

TEST(DrawingAttributes, FaceFieldIsWidenedCutAndTerminated) {
  TextFont font;
  WCHAR field[TextFont::FaceNameUnits];
  std::u16string face = u"\u00E9" + std::u16string(39, u'A');  // 0x00E9 must not become 0xFFE9
  font.SetFace(face.c_str());
  font.FillFaceName(field);
  EXPECT_EQ(std::u16string(field), face.substr(0, 31));
  font.SetFace(nullptr);
  font.FillFaceName(field);
  EXPECT_TRUE(std::all_of(std::begin(field), std::end(field), [](WCHAR c) { return c == 0; }));
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
      ASSERT_EQ(a.Intersects(b), overlap) << base << " " << i;
      ASSERT_EQ(b.Intersects(a), overlap);
      a.ClipTo(b);
      EXPECT_TRUE(overlap ? a.Equals(Rect(left, top, right - left + 1, bottom - top + 1))
                          : a.Width < 1 || a.Height < 1);
    }
  }
}

struct Item : RefObject {
  void Close() override { ++Closes; }
  int Closes = 0;
};

// Position p is order[p - 1]; cursor -1 is none.
struct Model {
  std::vector<Item*> order;
  int cursor = -1;

  void Insert(Item* item, int index) {
    int n = static_cast<int>(order.size());
    order.insert(order.begin() + ((index < 0 || index > n) ? n : std::max(index, 1) - 1), item);
    cursor = 0;
  }
  int IndexOf(uint32_t id) const {
    auto it = std::find_if(order.begin(), order.end(), [&](Item* e) { return e->GetID() == id; });
    return it == order.end() ? 0 : static_cast<int>(it - order.begin()) + 1;
  }
  bool Remove(uint32_t id) {
    int p = IndexOf(id);
    if (p != 0) order.erase(order.begin() + (p - 1)), cursor = order.empty() ? -1 : 0;
    return p != 0;
  }
  Item* Step(int to) {  // moves the cursor; off either end it becomes none
    cursor = (to >= 0 && to < static_cast<int>(order.size())) ? to : -1;
    return cursor < 0 ? nullptr : order[cursor];
  }
  Item* Walk(int by) { return cursor < 0 ? nullptr : Step(cursor + by); }  // none stays none
  Item* Held(int p) const { return p == 0 ? nullptr : order[p - 1]; }
  long Nodes(Item* e) const { return std::count(order.begin(), order.end(), e); }
};

// The random run starts from a worked example, which checks the model's insert rules too.
TEST(ObjectList, RandomOperationsMatchTheModel) {
  std::vector<Ref<Item>> pool;
  for (int i = 0; i < 6; ++i) pool.push_back(MakeRef<Item>());
  pool[5]->SetID(pool[4]->GetID());  // two objects with one ID: the one nearer the head wins
  ObjectList list;
  Model model;
  for (auto [item, index] : {std::pair{0, -1}, {1, -1}, {2, -1}, {3, 2}, {4, 0}, {5, 6}}) {
    list.Insert(pool[item].Get(), index), model.Insert(pool[item].Get(), index);
  }
  ASSERT_EQ(model.order, (std::vector<Item*>{pool[4].Get(), pool[0].Get(), pool[3].Get(),
                                              pool[1].Get(), pool[2].Get(), pool[5].Get()}));
  EXPECT_FALSE(list.Insert(nullptr, 1));
  EXPECT_EQ(list.GetError().Code, errors::InvalidArgument);
  std::mt19937 random(11);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  for (int step = 0; step < 5000; ++step) {
    int n = static_cast<int>(model.order.size());
    uint32_t id = pick(7) == 0 ? 999999 : pool[pick(6)]->GetID();
    Item* item = pool[pick(6)].Get();
    Ref<RefObject> got;
    Item* want = nullptr;
    switch (int index = pick(n + 5) - 2; pick(10)) {
      case 0: case 1: case 2: list.Insert(item, index), model.Insert(item, index); break;
      case 3: case 4: ASSERT_EQ(list.Remove(id), model.Remove(id)); break;
      case 5: got = list.First(), want = model.Step(0); break;
      case 6: got = list.Last(), want = model.Step(n - 1); break;
      case 7: got = list.Next(), want = model.Walk(1); break;
      case 8: got = list.Prev(), want = model.Walk(-1); break;
      case 9: if (pick(10) == 0) list.Clear(), model.order.clear(), model.cursor = -1; break;
    }
    ASSERT_EQ(got.Get(), want) << "walk differs at step " << step;
    ASSERT_EQ(list.Count(), static_cast<int>(model.order.size()));
    ASSERT_EQ(list.IndexOf(id), model.IndexOf(id)) << "step " << step;
    ASSERT_EQ(list.Find(id).Get(), model.Held(model.IndexOf(id)));
    for (int p = 0; p <= list.Count() + 1; ++p) {
      ASSERT_EQ(list.IdAt(p), p > list.Count() || p == 0 ? 0u : model.Held(p)->GetID());
    }
    for (auto& e : pool) {  // the list holds one reference per node, nothing more
      ASSERT_EQ(e->RefCount(), 1u + model.Nodes(e.Get()) + (got.Get() == e.Get())) << step;
    }
  }
  list.CloseAll();
  for (auto& e : pool) EXPECT_EQ(e->Closes, model.Nodes(e.Get()));
  list.Clear();
  for (auto& e : pool) EXPECT_EQ(e->RefCount(), 1u) << "clearing the list releases all";
}

}  // namespace
}  // namespace velmira

// Layers against a small model of named, ordered lists: a random run of every operation that
// changes layers or their objects, with order, active layer, lookups, walks and the changed
// flags compared after each step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "view/Layers.h"
#include "view/Point.h"

namespace velmira {
namespace {

struct ModelLayer { std::string Name; bool Enabled = true; std::vector<uint32_t> Ids; };

// The list's insertion rule: index < 0 or past the end appends; 0 and 1 put first.
template <class T>
void ModelInsert(std::vector<T>& list, T value, int32_t index) {
  const auto size = static_cast<int32_t>(list.size());
  list.insert(list.begin() + (index < 0 || index > size ? size : std::max(index, 1) - 1), value);
}

struct Model {
  std::vector<ModelLayer> Layers{{"_main", true, {}}};
  std::string Active = "_main";
  bool Changed = false;

  // The last layer that has the name, or holds the ID; -1 for none.
  int Find(const std::string& name, uint32_t id = 0) const {
    for (int i = static_cast<int>(Layers.size()) - 1; i >= 0; --i) {
      if (id != 0 ? std::count(Layers[i].Ids.begin(), Layers[i].Ids.end(), id) > 0 : !name.empty() && Layers[i].Name == name) return i;
    }
    return -1;
  }
  std::vector<uint32_t> Walk(bool forward, bool visibleOnly) const {
    std::vector<uint32_t> out;
    for (const ModelLayer& layer : Layers) {
      if (layer.Enabled || !visibleOnly) out.insert(out.end(), layer.Ids.begin(), layer.Ids.end());
    }
    if (!forward) std::reverse(out.begin(), out.end());
    return out;
  }
};

using Step = Ref<RefObject> (Layers::*)();
std::vector<uint32_t> Walk(Layers& layers, Step first, Step next) {
  std::vector<uint32_t> out;
  for (Ref<RefObject> o = (layers.*first)(); o; o = (layers.*next)()) out.push_back(o->GetID());
  EXPECT_FALSE((layers.*next)()) << "a finished walk stays finished";
  return out;
}

void ExpectSame(Layers& layers, const Model& model) {
  ASSERT_EQ(layers.Count(), static_cast<int32_t>(model.Layers.size()));
  for (int i = 0; i < layers.Count(); ++i) {
    Ref<Layer> layer = layers.FindLayer(Text(model.Layers[i].Name.c_str()));
    ASSERT_TRUE(layer) << model.Layers[i].Name;
    EXPECT_EQ(layers.GetIndex(layer.Get()), i + 1);
    std::vector<uint32_t> ids;
    for (int32_t k = 1; k <= layer->Objects().Count(); ++k) ids.push_back(layer->Objects().IdAt(k));
    EXPECT_EQ(ids, model.Layers[i].Ids) << "objects of " << model.Layers[i].Name;
    EXPECT_EQ(layer->IsEnabled(), model.Layers[i].Enabled);
  }
  EXPECT_STREQ(layers.GetActive()->GetName().Chars(), model.Active.c_str());
  EXPECT_EQ(layers.IsChanged(), model.Changed);
  EXPECT_EQ(Walk(layers, &Layers::FirstVisibleObject, &Layers::NextVisibleObject), model.Walk(true, true));
  EXPECT_EQ(Walk(layers, &Layers::LastVisibleObject, &Layers::PrevVisibleObject), model.Walk(false, true));
  EXPECT_EQ(Walk(layers, &Layers::LastObject, &Layers::PrevObject), model.Walk(false, false));
}

TEST(Layers, RandomRunMatchesModel) {
  Layers layers;
  Model model;
  std::vector<Ref<Point>> objects;  // every object ever made, in a layer or not
  std::vector<Ref<Layer>> deleted;  // layers taken out of the list, still held here
  std::mt19937 random(11);
  const char* names[] = {"_main", "_active", "roads", "poi", "track", ""};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  auto index = [&](size_t n) { return std::uniform_int_distribution<int32_t>(-1, static_cast<int32_t>(n) + 1)(random); };
  for (int step = 0; step < 3000; ++step) {
    const std::string name = names[pick(6)];
    const int at = pick(static_cast<int>(model.Layers.size()));
    ModelLayer& m = model.Layers[at];
    Ref<Layer> layer = layers.GetByIndex(at + 1);
    const int op = pick(9);
    if (op == 0) {  // "_main" is taken, "" refused, "_active" an ordinary name here
      const bool made = static_cast<bool>(layers.NewLayer(Text(name.c_str())));
      EXPECT_EQ(made, !name.empty() && model.Find(name) < 0);
      EXPECT_EQ(layers.GetError().Code, made ? 0 : errors::InvalidArgument);
      if (made) model.Layers.push_back({name, true, {}});
    } else if (op == 1) {
      EXPECT_EQ(static_cast<bool>(layers.ActiveLayer(Text(name.c_str()))), !name.empty());
      if (!name.empty() && name != "_active" && name != model.Active) {
        if (model.Find(name) < 0) model.Layers.push_back({name, true, {}});
        model.Active = name;
      }
    } else if (op == 2 && !deleted.empty() && pick(4) == 0) {
      // A deleted layer again: nothing to remove, but its name still decides the active layer.
      Layer* stale = deleted[pick(static_cast<int>(deleted.size()))].Get();
      layers.DeleteLayer(stale);
      model.Changed = true;
      if (stale->GetName().Chars() == model.Active) model.Active = "_main";
    } else if (op == 2) {
      layers.DeleteLayer(layer.Get());
      model.Changed = true;
      if (m.Name != "_main") deleted.push_back(layer);
      if (m.Name == "_main") {
        m.Ids.clear();
      } else {
        if (m.Name == model.Active) model.Active = "_main";
        model.Layers.erase(model.Layers.begin() + at);
      }
    } else if (op == 3) {
      const int32_t to = index(model.Layers.size());
      layers.SetIndex(layer.Get(), to);
      if (to != at + 1) {
        ModelLayer moved = m;
        model.Layers.erase(model.Layers.begin() + at);
        ModelInsert(model.Layers, moved, to);
      }
      model.Changed |= to != at + 1;
    } else if (op <= 5) {
      objects.push_back(MakeRef<Point>());
      layers.AddObject(objects.back().Get());
      model.Layers[model.Find(model.Active)].Ids.push_back(objects.back()->GetID());
    } else if (op == 6 && !objects.empty()) {
      Point* object = objects[pick(static_cast<int>(objects.size()))].Get();
      const uint32_t id = object->GetID();
      const int h = model.Find({}, id);
      std::vector<uint32_t>* ids = h < 0 ? nullptr : &model.Layers[h].Ids;
      EXPECT_EQ(layers.IndexOfObject(*object), ids ? std::find(ids->begin(), ids->end(), id) - ids->begin() + 1 : 0);
      EXPECT_EQ(layers.FindObject(id).Get(), ids ? object : nullptr);
      const int32_t to = index(ids ? ids->size() : 0);
      const bool move = pick(2) == 0;
      if (move) {
        EXPECT_EQ(layers.MoveObject(object, to), ids != nullptr);
      } else {
        layers.RemoveObject(*object);
      }
      if (ids) std::erase(*ids, id);
      if (ids && move) ModelInsert(*ids, id, to);
    } else if (op == 7) {
      const bool enabled = pick(2) == 0;
      layer->SetEnabled(enabled);
      model.Changed |= m.Enabled != enabled;
      m.Enabled = enabled;
    } else if (op == 8) {
      layers.SetChanged(false);
      model.Changed = false;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSame(layers, model)) << "after step " << step;
  }
}

}  // namespace
}  // namespace velmira

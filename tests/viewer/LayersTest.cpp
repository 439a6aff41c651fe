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

struct ModelLayer {
  ModelLayer(std::string name = {}) : Name(std::move(name)) {}
  std::string Name;
  bool Enabled = true;
  std::vector<uint32_t> Ids;
};

// The list's insertion rule: empty or index < 0 or past the end appends; 0 and 1 put first.
template <class T>
void ModelInsert(std::vector<T>& list, T value, int32_t index) {
  if (index < 0 || index > static_cast<int32_t>(list.size())) index = static_cast<int32_t>(list.size()) + 1;
  list.insert(list.begin() + std::max(index, 1) - 1, std::move(value));
}

struct Model {
  std::vector<ModelLayer> Layers{{"_main"}};
  std::string Active = "_main";
  bool Changed = false;

  int Find(const std::string& name) const {
    for (int i = static_cast<int>(Layers.size()) - 1; i >= 0; --i) {
      if (!name.empty() && Layers[i].Name == name) return i;
    }
    return -1;
  }
  ModelLayer& ActiveLayer() { return Layers[Find(Active)]; }
  // Layer holding the ID, searched from the last layer.
  int Holder(uint32_t id) const {
    for (int i = static_cast<int>(Layers.size()) - 1; i >= 0; --i) {
      if (std::count(Layers[i].Ids.begin(), Layers[i].Ids.end(), id)) return i;
    }
    return -1;
  }
  std::vector<uint32_t> Walk(bool forward, bool visibleOnly) const {
    std::vector<uint32_t> out;
    for (const ModelLayer& layer : Layers) {
      if (visibleOnly && !layer.Enabled) continue;
      out.insert(out.end(), layer.Ids.begin(), layer.Ids.end());
    }
    if (!forward) std::reverse(out.begin(), out.end());
    return out;
  }
};

std::vector<uint32_t> Walk(Layers& layers, Ref<RefObject> (Layers::*first)(),
                           Ref<RefObject> (Layers::*next)()) {
  std::vector<uint32_t> out;
  for (Ref<RefObject> o = (layers.*first)(); o; o = (layers.*next)()) out.push_back(o->GetID());
  EXPECT_FALSE((layers.*next)()) << "a finished walk stays finished";
  return out;
}

void ExpectSame(Layers& layers, const Model& model) {
  ASSERT_EQ(layers.Count(), static_cast<int32_t>(model.Layers.size()));
  for (int i = 0; i < layers.Count(); ++i) {
    Ref<Layer> layer = layers.GetByIndex(i + 1);
    const ModelLayer& m = model.Layers[i];
    ASSERT_STREQ(layer->GetName().Chars(), m.Name.c_str()) << "layer " << i + 1;
    EXPECT_EQ(layer->IsEnabled(), m.Enabled);
    std::vector<uint32_t> ids;
    for (int32_t k = 1; k <= layer->Objects().Count(); ++k) ids.push_back(layer->Objects().IdAt(k));
    EXPECT_EQ(ids, m.Ids) << "objects of " << m.Name;
    EXPECT_EQ(layers.GetIndex(layer.Get()), i + 1);
    EXPECT_EQ(layers.FindLayer(Text(m.Name.c_str())).Get(), layer.Get());
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
  std::vector<Ref<Point>> objects;  // every object ever made, in or out of a layer
  std::mt19937 random(11);
  const char* names[] = {"_main", "_active", "roads", "poi", "track", ""};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  auto index = [&](int n) { return std::uniform_int_distribution<int32_t>(-1, n + 1)(random); };

  for (int step = 0; step < 3000; ++step) {
    const std::string name = names[pick(6)];
    const int at = pick(static_cast<int>(model.Layers.size()));
    Ref<Layer> layer = layers.GetByIndex(at + 1);
    switch (pick(9)) {
      case 0: {
        Ref<Layer> made = layers.NewLayer(Text(name.c_str()));
        const int16_t code = name.empty() ? errors::InvalidArgument : model.Find(name) >= 0 ? errors::InvalidArgument : 0;
        EXPECT_EQ(layers.GetError().Code, code);
        EXPECT_EQ(static_cast<bool>(made), code == 0);
        if (code == 0) model.Layers.push_back({name});
        break;
      }
      case 1: {
        Ref<Layer> active = layers.ActiveLayer(Text(name.c_str()));
        EXPECT_EQ(static_cast<bool>(active), !name.empty());
        if (!name.empty() && name != "_active" && name != model.Active) {
          if (model.Find(name) < 0) model.Layers.push_back({name});
          model.Active = name;
        }
        break;
      }
      case 2:
        layers.DeleteLayer(layer.Get());
        model.Changed = true;
        if (model.Layers[at].Name == "_main") {
          model.Layers[at].Ids.clear();
        } else {
          if (model.Layers[at].Name == model.Active) model.Active = "_main";
          model.Layers.erase(model.Layers.begin() + at);
        }
        break;
      case 3: {
        const int32_t to = index(static_cast<int>(model.Layers.size()));
        layers.SetIndex(layer.Get(), to);
        if (to != at + 1) {
          ModelLayer moved = model.Layers[at];
          model.Layers.erase(model.Layers.begin() + at);
          ModelInsert(model.Layers, moved, to);
          model.Changed = true;
        }
        break;
      }
      case 4:
      case 5:
        objects.push_back(MakeRef<Point>());
        layers.AddObject(objects.back().Get());
        model.ActiveLayer().Ids.push_back(objects.back()->GetID());
        break;
      case 6: {
        if (objects.empty()) break;
        Point* object = objects[pick(static_cast<int>(objects.size()))].Get();
        const int holder = model.Holder(object->GetID());
        EXPECT_EQ(layers.IndexOfObject(*object),
                  holder < 0 ? 0 : std::find(model.Layers[holder].Ids.begin(), model.Layers[holder].Ids.end(), object->GetID()) - model.Layers[holder].Ids.begin() + 1);
        EXPECT_EQ(layers.FindObject(object->GetID()).Get(), holder < 0 ? nullptr : object);
        if (pick(2) == 0) {
          layers.RemoveObject(*object);
          if (holder >= 0) std::erase(model.Layers[holder].Ids, object->GetID());
        } else {
          const int32_t to = holder < 0 ? 1 : index(static_cast<int>(model.Layers[holder].Ids.size()));
          EXPECT_EQ(layers.MoveObject(object, to), holder >= 0);
          if (holder >= 0) {
            std::erase(model.Layers[holder].Ids, object->GetID());
            ModelInsert(model.Layers[holder].Ids, object->GetID(), to);
          }
        }
        break;
      }
      case 7: {
        const bool enabled = pick(2) == 0;
        layer->SetEnabled(enabled);
        if (model.Layers[at].Enabled != enabled) model.Changed = true;
        model.Layers[at].Enabled = enabled;
        break;
      }
      case 8:
        layers.SetChanged(false);
        model.Changed = false;
        break;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSame(layers, model)) << "after step " << step;
    const int32_t k = index(static_cast<int>(model.ActiveLayer().Ids.size()));
    Ref<RefObject> byIndex = layers.GetObjectByIndex(k);
    EXPECT_EQ(byIndex ? byIndex->GetID() : 0u,
              k >= 1 && k <= static_cast<int32_t>(model.ActiveLayer().Ids.size()) ? model.ActiveLayer().Ids[k - 1] : 0u);
  }
}

TEST(Layers, DeletedLayerReleasesItsObjectsWithItsLastReference) {
  Layers layers;
  auto point = MakeRef<Point>();
  Ref<Layer> roads = layers.ActiveLayer(Text("roads"));
  layers.AddObject(point.Get());
  EXPECT_EQ(point->RefCount(), 2u);
  layers.DeleteLayer(roads.Get());
  EXPECT_EQ(point->RefCount(), 2u) << "the caller still holds the layer";
  roads.Reset();
  EXPECT_EQ(point->RefCount(), 1u);
}

}  // namespace
}  // namespace velmira

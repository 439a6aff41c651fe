// Layers and their object lists against a small model of named, ordered lists, compared after
// every step of a random run (some objects sharing an ID).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "frame/Point.h"
#include "view/Layers.h"

namespace velmira {
namespace {

struct ModelLayer { std::string Name; bool Enabled = true; std::vector<Point*> Objects; };

// The lists' insertion rule: index < 0 or past the end appends; 0 and 1 put first.
template <class T>
void ModelInsert(std::vector<T>& list, T value, int32_t index) {
  const auto size = static_cast<int32_t>(list.size());
  list.insert(list.begin() + (index < 0 || index > size ? size : std::max(index, 1) - 1), value);
}

// The first object with the ID, the one nearer the head.
auto FirstWith(std::vector<Point*>& objects, uint32_t id) {
  return std::find_if(objects.begin(), objects.end(), [id](Point* o) { return o->GetID() == id; });
}

struct Model {
  std::vector<ModelLayer> Layers{{"_main", true, {}}};
  std::vector<ModelLayer> Gone;  // deleted, still held by the test
  std::string Active = "_main";
  bool Changed = false;

  // The last layer that has the name, or holds the ID; -1 for none.
  int Find(const std::string& name, uint32_t id = 0) {
    for (int i = static_cast<int>(Layers.size()) - 1; i >= 0; --i) {
      if (id != 0 ? FirstWith(Layers[i].Objects, id) != Layers[i].Objects.end() : Layers[i].Name == name) return i;
    }
    return -1;
  }
  std::vector<uint32_t> Walk(bool forward, bool visibleOnly) const {
    std::vector<uint32_t> out;
    for (const ModelLayer& layer : Layers) {
      for (Point* o : layer.Objects) {
        if (layer.Enabled || !visibleOnly) out.push_back(o->GetID());
      }
    }
    if (!forward) std::reverse(out.begin(), out.end());
    return out;
  }
  // The lists' references to the object.
  long Held(Point* object) const {
    long n = 0;
    for (const auto* set : {&Layers, &Gone}) {
      for (const ModelLayer& layer : *set) n += std::count(layer.Objects.begin(), layer.Objects.end(), object);
    }
    return n;
  }
};

using Step = Ref<RefObject> (Layers::*)();
std::vector<uint32_t> Walk(Layers& layers, Step first, Step next) {
  std::vector<uint32_t> out;
  for (Ref<RefObject> o = (layers.*first)(); o; o = (layers.*next)()) out.push_back(o->GetID());
  EXPECT_FALSE((layers.*next)()) << "a finished walk stays finished";
  return out;
}

void ExpectSame(Layers& layers, const Model& model, const std::vector<Ref<Point>>& objects) {
  ASSERT_EQ(layers.Count(), static_cast<int32_t>(model.Layers.size()));
  for (int i = 0; i < layers.Count(); ++i) {
    const ModelLayer& m = model.Layers[i];
    Ref<Layer> layer = layers.FindLayer(Text(m.Name.c_str()));
    ASSERT_TRUE(layer) << m.Name;
    EXPECT_EQ(layers.GetIndex(layer.Get()), i + 1);
    std::vector<uint32_t> ids, want;
    for (int32_t k = 0; k <= layer->Objects().Count() + 1; ++k) ids.push_back(layer->Objects().IdAt(k));
    for (Point* o : m.Objects) want.push_back(o->GetID());
    want.insert(want.begin(), 0), want.push_back(0);  // nothing at 0 or past the end
    EXPECT_TRUE(ids == want && layer->IsEnabled() == m.Enabled) << m.Name;
  }
  EXPECT_STREQ(layers.GetActive()->GetName().Chars(), model.Active.c_str());
  EXPECT_EQ(layers.IsChanged(), model.Changed);
  EXPECT_EQ(Walk(layers, &Layers::FirstVisibleObject, &Layers::NextVisibleObject), model.Walk(true, true));
  EXPECT_EQ(Walk(layers, &Layers::LastVisibleObject, &Layers::PrevVisibleObject), model.Walk(false, true));
  EXPECT_EQ(Walk(layers, &Layers::LastObject, &Layers::PrevObject), model.Walk(false, false));
  for (const Ref<Point>& o : objects) ASSERT_EQ(o->RefCount(), 1u + model.Held(o.Get())) << "one reference a node";
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
    } else if (op == 2) {
      // Sometimes a deleted layer again: nothing to remove, but its name still decides the
      // active layer.
      const bool stale = !deleted.empty() && pick(4) == 0;
      Ref<Layer> gone = stale ? deleted[pick(static_cast<int>(deleted.size()))] : layer;
      layers.DeleteLayer(gone.Get());
      model.Changed = true;
      if (gone->GetName().Chars() == model.Active) model.Active = "_main";
      if (!stale && m.Name == "_main") m.Objects.clear();
      if (!stale && m.Name != "_main") {
        deleted.push_back(layer), model.Gone.push_back(m);
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
    } else if (op <= 5) {  // a new object, sometimes taking the ID of one beside it; sometimes none
      std::vector<Point*>& active = model.Layers[model.Find(model.Active)].Objects;
      objects.push_back(MakeRef<Point>());
      if (!active.empty() && pick(3) == 0) objects.back()->SetID(active[pick(static_cast<int>(active.size()))]->GetID());
      const bool none = pick(20) == 0;
      layers.AddObject(none ? nullptr : objects.back().Get());
      if (!none) active.push_back(objects.back().Get());
    } else if (op == 6 && !objects.empty()) {
      // By ID: the first object with it in the last layer that holds it.
      Point* object = !m.Objects.empty() && pick(2) ? m.Objects[pick(static_cast<int>(m.Objects.size()))]
                                                    : objects[pick(static_cast<int>(objects.size()))].Get();
      const uint32_t id = object->GetID();
      const int h = model.Find({}, id);
      std::vector<Point*>* in = h < 0 ? nullptr : &model.Layers[h].Objects;
      EXPECT_EQ(layers.IndexOfObject(*object), in ? FirstWith(*in, id) - in->begin() + 1 : 0);
      EXPECT_EQ(layers.FindObject(id).Get(), in ? *FirstWith(*in, id) : nullptr);
      const int32_t to = index(in ? in->size() : 0);
      const bool move = pick(2) == 0;
      if (move) {
        EXPECT_EQ(layers.MoveObject(object, to), in != nullptr);
      } else {
        layers.RemoveObject(*object);
      }
      if (in) in->erase(FirstWith(*in, id));
      if (in && move) ModelInsert(*in, object, to);
    } else if (op == 7) {
      const bool enabled = pick(2) == 0;
      layer->SetEnabled(enabled);
      model.Changed |= m.Enabled != enabled;
      m.Enabled = enabled;
    } else if (op == 8) {
      layers.SetChanged(false);
      model.Changed = false;
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSame(layers, model, objects)) << "after step " << step;
  }
}

}  // namespace
}  // namespace velmira

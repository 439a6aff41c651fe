#include "view/Layers.h"

namespace velmira {
namespace {

bool IsNamed(const Text& name, const char* reserved) { return name.Equals(reserved); }

}  // namespace

Layers::Layers() {
  auto main = MakeRef<Layer>(MakeRef<Text>(MainName).Get());
  List.Insert(main.Get(), -1);
  Active = main;
}

Ref<Layer> Layers::GetByIndex(int32_t index) const {
  uint32_t id = List.IdAt(index);
  return id == 0 ? Ref<Layer>() : RefAs<Layer>(List.Find(id));
}

Ref<Layer> Layers::FindLayer(const Text& name) const {
  // By position rather than by cursor, so a lookup cannot disturb a walk in progress.
  for (int32_t i = List.Count(); i >= 1; --i) {
    Ref<Layer> layer = GetByIndex(i);
    if (layer && layer->NameEquals(name)) return layer;
  }
  return {};
}

int32_t Layers::GetIndex(const Layer* layer) const {
  return layer == nullptr ? 0 : List.IndexOf(layer->GetID());
}

void Layers::SetIndex(Layer* layer, int32_t index) {
  if (layer == nullptr || GetIndex(layer) == index) return;
  Ref<Layer> keep = Ref<Layer>::Retain(layer);  // the list's reference goes with Remove
  if (!List.Remove(layer->GetID())) return;
  List.Insert(layer, index);
  SetChanged(true);
}

Ref<Layer> Layers::NewLayer(const Text& name) {
  Err.Clear();
  if (name.Length() == 0) {
    Err.Set(errors::EmptyName);
    return {};
  }
  if (FindLayer(name)) {
    Err.Set(errors::LayerExists);
    return {};
  }
  auto layer = MakeRef<Layer>(MakeRef<Text>(name.Chars(), name.Length()).Get());
  List.Insert(layer.Get(), -1);
  return layer;
}

void Layers::DeleteLayer(Layer* layer) {
  if (layer == nullptr) return;
  SetChanged(true);
  if (IsNamed(layer->GetName(), MainName)) return layer->Clear();
  // By name, as layers are known: a layer already deleted (or another viewer's) that shares
  // the active layer's name still sends the active layer back to "_main".
  const bool wasActive = Active && Active->NameEquals(layer->GetName());
  List.Remove(layer->GetID());
  if (wasActive) ActiveLayer(Text(MainName));
}

Ref<Layer> Layers::ActiveLayer(const Text& name) {
  Err.Clear();
  if (name.Length() == 0) {
    Err.Set(errors::EmptyName);
    return {};
  }
  if (IsNamed(name, ActiveName) || Active->NameEquals(name)) return Active;
  Ref<Layer> found = FindLayer(name);
  if (!found) {
    found = MakeRef<Layer>(MakeRef<Text>(name.Chars(), name.Length()).Get());
    List.Insert(found.Get(), -1);
  }
  Active = found;
  return Active;
}

void Layers::AddObject(RefObject* object) { Active->Objects().Insert(object, -1); }

Ref<RefObject> Layers::GetObjectByIndex(int32_t index) const {
  const ObjectList& objects = Active->Objects();
  uint32_t id = objects.IdAt(index);
  return id == 0 ? Ref<RefObject>() : objects.Find(id);
}

Ref<RefObject> Layers::FindObject(uint32_t id) const {
  for (int32_t i = List.Count(); i >= 1; --i) {
    Ref<Layer> layer = GetByIndex(i);
    if (Ref<RefObject> object = layer->Objects().Find(id)) return object;
  }
  return {};
}

int32_t Layers::IndexOfObject(const RefObject& object) const {
  for (int32_t i = List.Count(); i >= 1; --i) {
    if (int32_t at = GetByIndex(i)->Objects().IndexOf(object.GetID()); at != 0) return at;
  }
  return 0;
}

bool Layers::MoveObject(RefObject* object, int32_t index) {
  Ref<RefObject> keep = Ref<RefObject>::Retain(object);
  for (int32_t i = List.Count(); i >= 1; --i) {
    Ref<Layer> layer = GetByIndex(i);
    if (layer->Objects().Remove(object->GetID())) {
      layer->Objects().Insert(object, index);
      return true;
    }
  }
  return false;
}

void Layers::RemoveObject(const RefObject& object) {
  const uint32_t id = object.GetID();
  for (int32_t i = List.Count(); i >= 1; --i) {
    if (GetByIndex(i)->Objects().Remove(id)) return;
  }
}

bool Layers::IsChanged() const {
  if (Changed) return true;
  for (int32_t i = 1; i <= List.Count(); ++i) {
    if (GetByIndex(i)->IsChanged()) return true;
  }
  return false;
}

void Layers::SetChanged(bool changed) {
  if (changed) {
    Changed = true;
    return;
  }
  Changed = false;
  for (int32_t i = 1; i <= List.Count(); ++i) GetByIndex(i)->SetChanged(false);
}

Ref<RefObject> Layers::Step(Direction direction, Filter filter, Begin begin) {
  const bool forward = direction == Forward;
  // A walk that continues takes up the layer under the layers' cursor where its own cursor
  // stopped; when that layer runs out, the next qualifying layer starts from its end.
  Ref<Layer> layer = RefAs<Layer>(begin == Start ? (forward ? List.First() : List.Last())
                                                 : List.Current());
  bool fresh = begin == Start;
  while (layer) {
    if (filter == EveryLayer || layer->IsEnabled()) {
      ObjectList& objects = layer->Objects();
      Ref<RefObject> object = fresh ? (forward ? objects.First() : objects.Last())
                                    : (forward ? objects.Next() : objects.Prev());
      if (object) return object;
    }
    layer = RefAs<Layer>(forward ? List.Next() : List.Prev());
    fresh = true;
  }
  return {};
}

}  // namespace velmira

// The viewer's ordered set of layers. The order is the drawing order: the first layer is
// drawn first and the last on top, and within a layer the first object first; searches for
// objects go the other way, so that what is drawn on top is found first.
//
// "_main" exists from construction to destruction, is active at the start and cannot be
// deleted (deleting it empties it). "_active" is not a layer: asking for it means the active
// layer. New objects go into the active layer.
//
// Objects are kept as RefObjects keyed by their ID; the layers do not look inside them.
#pragma once

#include <cstdint>

#include "frame/ObjectList.h"
#include "frame/RefObject.h"
#include "frame/Text.h"
#include "view/Layer.h"

namespace velmira {

class Layers final : public RefObject {
 public:
  static constexpr const char* MainName = "_main";
  static constexpr const char* ActiveName = "_active";

  Layers();

  int32_t Count() const { return List.Count(); }
  // The layer at 1-based position index, or none.
  Ref<Layer> GetByIndex(int32_t index) const;
  // The last layer whose name equals name, or none.
  Ref<Layer> FindLayer(const Text& name) const;
  // 1-based position of the layer, or 0 when it is not one of these layers.
  int32_t GetIndex(const Layer* layer) const;
  // Moves the layer to index (< 0 or past the end: last; 0 or 1: first).
  void SetIndex(Layer* layer, int32_t index);
  // A new enabled layer at the end, or none: 10003 for an empty or taken name. Neither the
  // active layer nor the changed flags move.
  Ref<Layer> NewLayer(const Text& name);
  // Removes the layer (its objects go with its last reference); "_main" is only emptied.
  // Deleting the active layer makes "_main" active. Null does nothing.
  void DeleteLayer(Layer* layer);
  // Switches the active layer to the named one, creating it at the end when no layer has the
  // name; "_active" or the active layer's own name keep it. Returns the active layer; an empty
  // name is 10003 and none, the active layer staying.
  Ref<Layer> ActiveLayer(const Text& name);
  Ref<Layer> GetActive() const { return Active; }

  // Objects of the active layer.
  void AddObject(RefObject* object);
  Ref<RefObject> GetObjectByIndex(int32_t index) const;

  // Searches over all layers, enabled or not, from the last layer to the first. Each stops at
  // the first layer that holds the ID.
  Ref<RefObject> FindObject(uint32_t id) const;
  int32_t IndexOfObject(const RefObject& object) const;
  // Re-inserts the object at index within its own layer; false if no layer holds it.
  bool MoveObject(RefObject* object, int32_t index);
  void RemoveObject(const RefObject& object);

  // The set's own flag or any layer's.
  bool IsChanged() const;
  // True raises the set's flag; false clears it and every layer's.
  void SetChanged(bool changed);

  // The three walks, on the list cursors (one walk at a time; nothing may change the layers
  // while it runs). Each step gives the next object with one more reference, or none at the
  // end.
  // Drawing walk: enabled layers first to last, objects first to last.
  Ref<RefObject> FirstVisibleObject() { return Step(Forward, VisibleOnly, Start); }
  Ref<RefObject> NextVisibleObject() { return Step(Forward, VisibleOnly, Continue); }
  // Hit-test walk: enabled layers last to first, objects last to first.
  Ref<RefObject> LastVisibleObject() { return Step(Backward, VisibleOnly, Start); }
  Ref<RefObject> PrevVisibleObject() { return Step(Backward, VisibleOnly, Continue); }
  // Placement walk: every layer, last to first, objects last to first.
  Ref<RefObject> LastObject() { return Step(Backward, EveryLayer, Start); }
  Ref<RefObject> PrevObject() { return Step(Backward, EveryLayer, Continue); }

 private:
  enum Direction : bool { Backward = false, Forward = true };
  enum Filter : bool { EveryLayer = false, VisibleOnly = true };
  enum Begin : bool { Continue = false, Start = true };
  Ref<RefObject> Step(Direction direction, Filter filter, Begin begin);

  ObjectList List;
  Ref<Layer> Active;
  bool Changed = false;
};

}  // namespace velmira

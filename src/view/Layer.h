// A named layer of overlay objects: its objects in drawing order (first drawn first), an
// enabled flag (a disabled layer is neither drawn nor hit-tested) and a changed flag that the
// viewer reads to know that the layer's content or visibility changed since it last drew.
#pragma once

#include <cstdint>

#include "frame/ObjectList.h"
#include "frame/RefObject.h"
#include "frame/Text.h"

namespace velmira {

class Layer final : public RefObject {
 public:
  // The name is shared, never changed afterwards; null gives an empty name.
  explicit Layer(Text* name);

  const Text& GetName() const { return *Name; }
  bool NameEquals(const Text& name) const { return Name->Equals(&name); }

  bool IsEnabled() const { return Enabled != 0; }
  uint8_t GetEnabled() const { return Enabled; }
  // A value other than the stored byte marks the layer changed; the byte is kept as given.
  void SetEnabled(uint8_t enabled);
  // Marks the layer changed and releases all its objects.
  void Clear();

  bool IsChanged() const { return Changed; }
  void SetChanged(bool changed) { Changed = changed; }

  ObjectList& Objects() { return List; }
  const ObjectList& Objects() const { return List; }

 private:
  Ref<Text> Name;
  ObjectList List;
  uint8_t Enabled = 1;
  bool Changed = false;
};

}  // namespace velmira

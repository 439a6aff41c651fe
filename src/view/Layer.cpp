#include "view/Layer.h"

namespace velmira {

Layer::Layer(Text* name) : Name(name != nullptr ? Ref<Text>::Retain(name) : MakeRef<Text>()) {}

void Layer::SetEnabled(uint8_t enabled) {
  if (enabled == Enabled) return;
  Changed = true;
  Enabled = enabled;
}

void Layer::Clear() {
  Changed = true;
  List.Clear();
}

}  // namespace velmira

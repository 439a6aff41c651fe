#include "api/Export.h"
#include "view/Layers.h"

using velmira::Layer;
using velmira::Layers;
using velmira::Ref;
using velmira::Text;
using velmira::api::Unwrap;
using velmira::api::Wrap;

VELMIRA_FAMILY_FRAME(Layers, VmLayers, Layers)
VELMIRA_FAMILY_FRAME(Layer, VmLayer, Layer)

namespace {
Layers* Of(VmLayers* h) { return Unwrap<Layers>(h); }
Layer* Of(VmLayer* h) { return Unwrap<Layer>(h); }
VmLayer* Give(Ref<Layer> layer) { return Wrap<VmLayer>(layer.Detach()); }
}  // namespace

extern "C" int32_t Layers_GetCount(VmLayers* h) {
  Of(h)->GetError().Clear();
  return Of(h)->Count();
}

extern "C" VmLayer* Layers_GetByIndex(VmLayers* h, int32_t index) {
  Of(h)->GetError().Clear();
  return Give(Of(h)->GetByIndex(index));
}

extern "C" VmLayer* Layers_GetByName(VmLayers* h, const WCHAR* name) {
  Of(h)->GetError().Clear();
  return Give(Of(h)->FindLayer(Text(name)));
}

extern "C" int32_t Layers_GetIndex(VmLayers* h, VmLayer* layer) {
  Of(h)->GetError().Clear();
  return Of(h)->GetIndex(Of(layer));
}

extern "C" void Layers_SetIndex(VmLayers* h, VmLayer* layer, int32_t index) {
  Of(h)->GetError().Clear();
  Of(h)->SetIndex(Of(layer), index);
}

extern "C" VmLayer* Layers_NewLayer(VmLayers* h, const WCHAR* name) {
  return Give(Of(h)->NewLayer(Text(name)));
}

extern "C" void Layers_DeleteLayer(VmLayers* h, VmLayer* layer) {
  Of(h)->GetError().Clear();
  Of(h)->DeleteLayer(Of(layer));
}

extern "C" BSTR Layer_GetName(VmLayer* h, BSTR* out) {
  // A copy-class string: the wide copy of a Text of its own goes to the caller.
  const Text& name = Of(h)->GetName();
  Text copy(name.Chars(), name.Length());
  copy.GetWide();
  BSTR wide = copy.DetachWide();
  if (out != nullptr) *out = wide;
  return wide;
}

extern "C" uint8_t Layer_GetEnabled(VmLayer* h) { return Of(h)->GetEnabled(); }
extern "C" void Layer_SetEnabled(VmLayer* h, uint8_t enabled) { Of(h)->SetEnabled(enabled); }

extern "C" void Layer_Clear(VmLayer* h) {
  Of(h)->GetError().Clear();
  Of(h)->Clear();
}

// The map viewer: a map library of maps and icon templates, the layers of overlay objects,
// and the current map whose calibration, zoom and rotation define the view pixels.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "maps/Map.h"
#include "maps/MapLib.h"
#include "view/Layers.h"

namespace velmira {

class Viewer final : public RefObject {
 public:
  Viewer() = default;
  ~Viewer() override;

  // Releases the current map, the library and the layers.
  void Close() override;
  // Closes, then starts over with an empty library and new layers; with a name, reads that
  // map library file and makes its first map current. A failed read keeps the empty library
  // and layers and leaves no current map; its error is the viewer's.
  void Open(Text* name);

  // The library (one more reference), made empty with new layers when there is none.
  Ref<MapLib> GetMapLib();
  // The layers (one more reference), none before the viewer is opened.
  Ref<Layers> GetLayers() const { return LayerSet; }
  Map* CurrentMap() const { return Current.Get(); }

 private:
  Ref<MapLib> Library;
  Ref<Layers> LayerSet;
  Ref<Map> Current;
};

}  // namespace velmira

// Helpers shared by the viewer's tests: a viewer opened on a library file made from pieces,
// and positions that land on a chosen view pixel of the small maps of LibraryFiles.h.
#pragma once

#include <string>

#include "LibraryFiles.h"
#include "geo/Position.h"
#include "view/Viewer.h"

namespace velmira::testfiles {

// A position whose view pixel at zoom 1 without rotation is (x, y) on a SmallMap: the middle
// of the pixel, so that truncation cannot land on its neighbour.
inline Ref<Position> PositionAt(double x, double y) {
  auto position = MakeRef<Position>();
  position->SetLongitudeRads(0.1 + 1e-5 * (x + 0.5));
  position->SetLatitudeRads(0.9 - 1e-5 * (y + 0.5));
  return position;
}

// An overlay object the viewer made, as its own class.
template <class T>
Ref<T> As(Ref<MapObject> object) {
  return Ref<T>::Adopt(static_cast<T*>(object.Detach()));
}

inline Ref<Viewer> OpenViewer(TempFiles& files, const Bytes& content) {
  auto viewer = MakeRef<Viewer>();
  viewer->Open(MakeRef<Text>(files.Write(content).c_str()).Get());
  return viewer;
}

}  // namespace velmira::testfiles

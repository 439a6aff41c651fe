#include "view/Viewer.h"

namespace velmira {

Viewer::~Viewer() { Close(); }

void Viewer::Close() {
  Err.Clear();
  Current.Reset();
  Library.Reset();
  LayerSet.Reset();
}

void Viewer::Open(Text* name) {
  Err.Clear();
  Close();
  Library = MakeRef<MapLib>();
  LayerSet = MakeRef<Layers>();
  if (name != nullptr) {
    Library->Open(*name);
    Err.CopyFrom(Library->GetError());
    if (Err.Failed()) return;
    Current = Library->GetMapByIndex(1);
  }
}

Ref<MapLib> Viewer::GetMapLib() {
  Err.Clear();
  if (!Library) Open(nullptr);
  return Library;
}

}  // namespace velmira

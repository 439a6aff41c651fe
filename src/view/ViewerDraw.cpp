// The viewer's drawing: render the map tiles under the window and the enabled layers' objects
// onto the surface when something changed, and copy the window's part of it into the window.
// A move within the rendered tiles only moves where the copy starts.
#include "platform/Gdi.h"
#include "platform/Windows.h"
#include "view/Viewer.h"

namespace velmira {
namespace {

// Whether the window's pixels lie in the part drawn; a window without pixels always does.
bool Within(const Bitmap::Area& window, const Bitmap::Area& drawn) {
  if (window.Width <= 0 || window.Height <= 0) return true;
  return window.Left >= drawn.Left && window.Top >= drawn.Top &&
         int64_t{window.Left} + window.Width <= int64_t{drawn.Left} + drawn.Width &&
         int64_t{window.Top} + window.Height <= int64_t{drawn.Top} + drawn.Height;
}

}  // namespace

void Viewer::OnDraw(int32_t left, int32_t top, int32_t width, int32_t height, bool update) {
  Err.Clear();
  // Design choice: a negative window size is refused; nothing is rendered or drawn.
  if (width < 0 || height < 0) return Err.Set(errors::InvalidParameter);
  auto clip = MakeRef<Rect>(0, 0, width, height);
  // Design choice: the error of this call's own render outlives the clearing in ShowView, so a
  // failed render is reported by the call that asked for it.
  Error rendered;
  if (update) {
    SetViewSize(width, height);
    // Design choice: a window without pixels has nothing to show; the render waits until the
    // window has a size again.
    if (width == 0 || height == 0) return;
    UpdateView();
    rendered = Err;
  }
  HWND window = platform::GetForegroundWindow();
  HWND child = platform::ChildWindowFromPoint(window, platform::POINT{left + 1, top + 1});
  HDC dc = platform::GetDC(child);
  // Design choice: with no window at that place there is nothing to draw into; a pending
  // render waits for the next call that finds one. The surface is made only then, since a
  // surface has no memory context to render into before its first window context.
  if (dc == nullptr) return Err.Set(errors::InvalidParameter);
  if (!Surface) Surface = MakeRef<DrawSurface>();
  Surface->SetTarget(dc);
  Surface->SetClip(clip.Get());
  ShowView();
  platform::ReleaseDC(child, dc);
  Surface->SetTarget(nullptr);  // the context was only lent for this call
  if (!Err.Failed()) Err.CopyFrom(Surface->GetError().Failed() ? Surface->GetError() : rendered);
}

bool Viewer::UpdateView() {
  Err.Clear();
  if (!Surface) {
    RenderPending = true;
    return true;
  }
  Relayout(false);
  Map* map = GetMap();
  if (!LayerSet || map == nullptr) return false;
  if (!RedrawAll) {
    Ref<Rect> shown = ViewArea();
    for (Ref<RefObject> o = LayerSet->FirstVisibleObject(); o; o = LayerSet->NextVisibleObject()) {
      auto* object = static_cast<MapObject*>(o.Get());
      // Only an object that the render draws, and so clears, may ask for one: the box test
      // counts a column and a row past the window, the tile test not, so an object just past
      // the window on a tile edge would otherwise render everything at every update.
      if (object->Changed() && object->Overlaps(*this) && shown && object->IsVisibleIn(*shown)) {
        RedrawAll = true;
        break;
      }
    }
  }
  if (LayerSet->IsChanged()) {
    RedrawAll = true;
    LayerSet->SetChanged(false);
  }
  // Only the window's part of the view's tiles is resampled; a move that shows pixels outside
  // the part drawn so far draws again (the map resamples only what is new).
  Ref<Rect> area = ViewArea();
  Ref<Point> corner = Ref<Point>::Adopt(map->ViewOriginIn(*area, GetLeft(), GetTop()));
  const Bitmap::Area window{corner->X, corner->Y, GetWidth(), GetHeight()};
  if (ViewportMoved && !Within(window, Drawn)) RedrawAll = true;
  if (RedrawAll) {
    Ref<Bitmap> picture = Ref<Bitmap>::Adopt(map->Render(*area, &window));
    Err.CopyFrom(map->GetError());
    if (Err.Failed() || !picture) return false;  // the flags stay: the next update tries again
    Drawn = map->RenderedPart();
    Surface->SetBitmap(picture.Get());
    for (Ref<RefObject> o = LayerSet->FirstVisibleObject(); o; o = LayerSet->NextVisibleObject()) {
      auto* object = static_cast<MapObject*>(o.Get());
      if (object->IsVisibleIn(*area)) object->Draw(*Surface);
    }
  }
  const bool shown = ViewportMoved || RedrawAll;
  if (shown) Surface->SetOrigin(Ref<Point>::Adopt(map->ViewOrigin(GetLeft(), GetTop())).Get());
  RedrawAll = ViewportMoved = false;
  return shown;
}

void Viewer::ShowView() {
  Err.Clear();
  if (RenderPending) {
    UpdateView();
    RenderPending = false;
  }
  Surface->Present();
}

}  // namespace velmira

// Tile geometry and the rendering of a map's view with its cache. Tile rows count from the
// bottom of the picture and the picture's top edge is the top edge of the top tile row, so a
// picture whose height is not a multiple of 256 has its spare rows below its bottom edge.
// The cache keeps the decoded tiles (region) and the last picture returned (rendered): an
// unchanged view costs nothing, a zoom or rotation change resamples the region without
// touching the file, and only tiles under the view are ever decompressed.
#include <algorithm>
#include <cstring>

#include "maps/Map.h"
#include "maps/MapMath.h"

namespace velmira {

namespace {

// Pixel arithmetic is done in 64 bits and brought back to int32 the way the 32-bit original
// wrapped, so that absurd records or views give absurd numbers rather than undefined ones.
int32_t Narrow(int64_t v) { return static_cast<int32_t>(v); }

Ref<Rect> CopyOf(const Rect& r) { return MakeRef<Rect>(r.Left, r.Top, r.Width, r.Height); }

}  // namespace

int32_t Map::TileRows() const { return Narrow((int64_t{Rec.Height} + 255) / TileSize); }

Rect* Map::TileRect(int32_t x, int32_t y, int32_t width, int32_t height) const {
  const int64_t right = int64_t{x} + width - 1;
  const int64_t bottom = int64_t{y} + height - 1;
  return new Rect(FloorTile(x), Narrow(int64_t{TileRows()} - 1 - FloorTile(bottom)),
                  Narrow(int64_t{FloorTile(right)} - FloorTile(x) + 1),
                  Narrow(int64_t{FloorTile(bottom)} - FloorTile(y) + 1));
}

Rect* Map::TileRectToPixels(const Rect& t) const {
  return new Rect(Narrow(int64_t{t.Left} * TileSize),
                  Narrow((int64_t{TileRows()} - t.Top - t.Height) * TileSize),
                  Narrow(int64_t{t.Width} * TileSize), Narrow(int64_t{t.Height} * TileSize));
}

void Map::RegionOrigin(int32_t x, int32_t y, int32_t& rx, int32_t& ry) const {
  rx = ry = 0;
  if (!Loaded) return;
  rx = Narrow(x - int64_t{Loaded->Left} * TileSize);
  ry = Narrow(y + (int64_t{Loaded->Top} + Loaded->Height - TileRows()) * TileSize);
}

Point* Map::ViewOrigin(int32_t x, int32_t y) const {
  if (!LastView) return new Point(0, 0);
  return ViewOriginIn(*LastView, x, y);
}

Point* Map::ViewOriginIn(const Rect& view, int32_t x, int32_t y) const {
  return new Point(Narrow(x - int64_t{view.Left} * TileSize),
                   Narrow(y + (int64_t{view.Top} + view.Height - TileRows()) * TileSize));
}

Rect* Map::NeededTiles(const Rect& view) const {
  if (Rotation == 0.0f && Zoom == 1.0f) return CopyOf(view).Detach();
  // The map pixels under the four corner pixels of the view, and the tiles that hold them.
  Ref<Rect> p = Ref<Rect>::Adopt(TileRectToPixels(view));
  const int32_t right = Narrow(int64_t{p->Left} + p->Width - 1);
  const int32_t bottom = Narrow(int64_t{p->Top} + p->Height - 1);
  const int32_t corners[4][2] = {
      {p->Left, p->Top}, {p->Left, bottom}, {right, p->Top}, {right, bottom}};
  int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
  for (const auto& c : corners) {
    int32_t mx, my;
    ViewToMapPixel(c[0], c[1], mx, my);
    minX = std::min(minX, mx);
    minY = std::min(minY, my);
    maxX = std::max(maxX, mx);
    maxY = std::max(maxY, my);
  }
  return TileRect(minX, minY, Narrow(int64_t{maxX} - minX + 1), Narrow(int64_t{maxY} - minY + 1));
}

Bitmap* Map::WhiteView(const Rect& view) {
  // The tile size comes from the record: any int16 pair. Design choice: the view bounds the
  // picture, not the record, so a side above the real tile size counts as the tile size (a
  // hostile record cannot make a white view of a gigabyte); the bitmap refuses sizes below 1.
  const int64_t width = int64_t{std::min<int16_t>(Rec.TileWidth, TileSize)} * view.Width;
  const int64_t height = int64_t{std::min<int16_t>(Rec.TileHeight, TileSize)} * view.Height;
  if (width > INT32_MAX || height > INT32_MAX) {
    Err.Set(errors::OutOfMemory);
    return nullptr;
  }
  Ref<Bitmap> white = MakeRef<Bitmap>();
  if (!white->Create(Narrow(width), Narrow(height), 24)) {
    Err.CopyFrom(white->GetError());
    return nullptr;
  }
  white->Clear();
  return white.Detach();
}

namespace {

using Area = Bitmap::Area;

int64_t Right(const Area& a) { return int64_t{a.Left} + a.Width; }
int64_t Bottom(const Area& a) { return int64_t{a.Top} + a.Height; }

Area Clipped(const Area& a, int32_t width, int32_t height) {
  const int64_t left = std::clamp<int64_t>(a.Left, 0, width);
  const int64_t top = std::clamp<int64_t>(a.Top, 0, height);
  const int64_t right = std::clamp<int64_t>(Right(a), left, width);
  const int64_t bottom = std::clamp<int64_t>(Bottom(a), top, height);
  return {Narrow(left), Narrow(top), Narrow(right - left), Narrow(bottom - top)};
}

bool Inside(const Area& inner, const Area& outer) {
  return inner.Width <= 0 || inner.Height <= 0 ||
         (inner.Left >= outer.Left && inner.Top >= outer.Top && Right(inner) <= Right(outer) &&
          Bottom(inner) <= Bottom(outer));
}

Area Bounds(const Area& a, const Area& b) {
  const int64_t left = std::min(a.Left, b.Left), top = std::min(a.Top, b.Top);
  return {Narrow(left), Narrow(top), Narrow(std::max(Right(a), Right(b)) - left),
          Narrow(std::max(Bottom(a), Bottom(b)) - top)};
}

// Pixels outside the part stay white until a call asks for them (rows padded with 0xFF).
void WhiteAround(Bitmap& b, const Area& part) {
  const int32_t height = b.Height(), stride = b.Stride();
  const size_t left = 3 * static_cast<size_t>(part.Left);
  const size_t right = 3 * static_cast<size_t>(Right(part));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = b.Row(height - 1 - y);
    if (y < part.Top || y >= Bottom(part) || part.Width <= 0) {
      std::memset(row, 0xFF, static_cast<size_t>(stride));
      continue;
    }
    std::memset(row, 0xFF, left);
    std::memset(row + right, 0xFF, static_cast<size_t>(stride) - right);
  }
}

// A region for a turned or zoomed view may grow to the bounds of the tiles it held and the
// new view's, as long as that is at most this many times the tiles the view needs: turning or
// panning back and forth then decodes nothing.
constexpr int64_t HeldPerNeeded = 2;

int64_t TileCount(const Rect& r) { return int64_t{r.Width} * r.Height; }

}  // namespace

// Resamples the region into the view's picture: all of it, or the part shown. fresh: the view,
// zoom, rotation or region changed, so nothing of the last picture can be kept.
void Map::Resample(const Rect& view, const Bitmap::Area* shown, bool fresh) {
  Ref<Rect> p = Ref<Rect>::Adopt(TileRectToPixels(view));
  const Area whole{0, 0, p->Width, p->Height};
  const Area want = shown != nullptr ? Clipped(*shown, p->Width, p->Height) : whole;
  if (!fresh && Rendered && Inside(want, Part)) return;
  int32_t mx, my, rx, ry;
  ViewToMapPixel(p->Left, p->Top, mx, my);
  RegionOrigin(mx, my, rx, ry);
  const Area window = LoadedPart();
  if (fresh || !Rendered) {
    // The last picture is used again when nobody else holds it and it has the view's size
    // (a new one would have its pages mapped again); otherwise a new one.
    const bool reuse = Rendered && Rendered.Get() != Region.Get() && Rendered->RefCount() == 1 &&
                       Rendered->Width() == p->Width && Rendered->Height() == p->Height &&
                       Rendered->BitsPerPixel() == 24;
    if (!reuse) Rendered.Reset();
    if (const ErrorKind* refusal = Bitmap::RefusedView(Zoom, Rotation)) {
      Rendered.Reset();
      return Err.Set(*refusal);
    }
    if (!reuse) {
      Rendered = MakeRef<Bitmap>();
      if (!Rendered->Create(p->Width, p->Height, 24)) {
        Err.CopyFrom(Rendered->GetError());
        Rendered.Reset();
        return;
      }
    }
    WhiteAround(*Rendered, want);
    Region->RenderViewInto(*Rendered, rx, ry, Zoom, Rotation, &window, want);
    Part = want;
  } else {
    // The pieces of the bounds of both parts that the old part lacks: the rows above and
    // below it, and beside it on its own rows.
    const Area old = Part, next = Bounds(old, want);
    const Area pieces[4] = {
        {next.Left, next.Top, next.Width, old.Top - next.Top},
        {next.Left, Narrow(Bottom(old)), next.Width, Narrow(Bottom(next) - Bottom(old))},
        {next.Left, old.Top, old.Left - next.Left, old.Height},
        {Narrow(Right(old)), old.Top, Narrow(Right(next) - Right(old)), old.Height}};
    for (const Area& piece : pieces) {
      Region->RenderViewInto(*Rendered, rx, ry, Zoom, Rotation, &window, piece);
    }
    Part = next;
  }
  Err.CopyFrom(Region->GetError());
  if (Err.Failed()) Rendered.Reset();
}

void Map::LoadTiles(Ref<Rect> needed, const Rect& all, bool transform) {
  // The last picture stays until the resampler makes the new one (it may reuse its block);
  // unturned views show the region itself.
  if (!transform) Rendered.Reset();
  Loaded.Reset();
  const bool holding = Region && Held;
  if (transform && holding) {
    Ref<Rect> bounds = CopyOf(*Held);
    bounds->ClipTo(*needed);
    if (bounds->Equals(*needed)) {  // every tile needed is held already
      Loaded = std::move(needed);
      return;
    }
  }
  Ref<Rect> target = needed;
  if (transform && holding) {
    const Rect& h = *Held;
    const Rect& n = *needed;
    const int64_t left = std::min(h.Left, n.Left), top = std::min(h.Top, n.Top);
    const int64_t right = std::max(int64_t{h.Left} + h.Width, int64_t{n.Left} + n.Width);
    const int64_t bottom = std::max(int64_t{h.Top} + h.Height, int64_t{n.Top} + n.Height);
    Ref<Rect> bounds =
        MakeRef<Rect>(Narrow(left), Narrow(top), Narrow(right - left), Narrow(bottom - top));
    if (TileCount(*bounds) <= HeldPerNeeded * TileCount(*needed)) target = std::move(bounds);
  }
  // The chunks up to the last tile row the region reads; a file that is not regular that far
  // is read as it always was, from the first chunk, and only the tiles needed.
  const int64_t rows = std::clamp<int64_t>(int64_t{target->Top} + target->Height, 0, all.Height);
  const bool indexed = Index.Covers(*Source, rows * all.Width);
  if (!indexed) target = needed;
  auto next = MakeRef<Bitmap>();
  Source->Seek(PicturePosition, File::FromStart);
  if (indexed) {
    const Bitmap none;
    const Rect noTiles;
    next->ReadTilesKeeping(*Source, *target, all, holding ? *Region : none,
                           holding ? *Held : noTiles, Index);
  } else {
    next->ReadTiles(*Source, *target, all);
  }
  Region = next;
  Held.Reset();
  Err.CopyFrom(Region->GetError());
  if (Err.Failed()) return;
  Loaded = std::move(needed);
  Held = std::move(target);
}

Bitmap::Area Map::LoadedPart() const {
  // Tile rows count from the bottom; the area's y from the top of the region.
  return {Narrow((int64_t{Loaded->Left} - Held->Left) * TileSize),
          Narrow((int64_t{Held->Top} + Held->Height - Loaded->Top - Loaded->Height) * TileSize),
          Narrow(int64_t{Loaded->Width} * TileSize), Narrow(int64_t{Loaded->Height} * TileSize)};
}

void Map::DropCache() {
  Part = {};
  Held.Reset();
  Rendered.Reset();
  Region.Reset();
  LastView.Reset();
  Loaded.Reset();
}

Bitmap* Map::Render(const Rect& view, const Bitmap::Area* shown) {
  Err.Clear();
  const bool sameView = LastView && LastView->Equals(view);
  bool transform = Zoom != 1.0f || Rotation != 0.0f;

  if (!Source) {
    if (!sameView) {
      Region.Reset();
      Rendered = Ref<Bitmap>::Adopt(WhiteView(view));
    }
  } else {
    Ref<Rect> needed = Ref<Rect>::Adopt(NeededTiles(view));
    Ref<Rect> all = Ref<Rect>::Adopt(TileRect(0, 0, Rec.Width, Rec.Height));
    if (transform) needed->ClipTo(*all);
    bool resample = true;
    if (needed->Width < 1 || needed->Height < 1) {
      // Nothing of the picture is in view: a white region, no file access. It is rebuilt for
      // the same view too when the region still holds tiles, as after a zoom that moved the
      // picture out of the view: that region is the wrong picture.
      if (!sameView || Loaded || !Region) {
        Rendered.Reset();
        Loaded.Reset();
        Held.Reset();
        Region = Ref<Bitmap>::Adopt(WhiteView(view));
      }
      transform = false;
    } else if (Loaded && Loaded->Equals(*needed) && (transform || Held->Equals(*Loaded))) {
      resample = !(sameView && !ZoomChanged && !RotationChanged);
    } else {
      LoadTiles(std::move(needed), *all, transform);
    }
    if (!Err.Failed() && transform) {
      Resample(view, shown, resample);
    } else if (!Err.Failed() && resample) {
      Rendered = Region;
    }
  }
  if (!transform || !Rendered) {
    Part = {0, 0, Rendered ? Rendered->Width() : 0, Rendered ? Rendered->Height() : 0};
  }

  if (Err.Failed()) {
    DropCache();
    return nullptr;
  }
  ZoomChanged = RotationChanged = false;
  if (!sameView) LastView = CopyOf(view);
  return Ref<Bitmap>::Retain(Rendered.Get()).Detach();
}

}  // namespace velmira

// Tile geometry and the rendering of a map's view with its cache. Tile rows count from the
// bottom of the picture and the picture's top edge is the top edge of the top tile row, so a
// picture whose height is not a multiple of 256 has its spare rows below its bottom edge.
// The cache keeps the decoded tiles (region) and the last picture returned (rendered): an
// unchanged view costs nothing, a zoom or rotation change resamples the region without
// touching the file, and only tiles under the view are ever decompressed.
#include <algorithm>

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
  return new Point(Narrow(x - int64_t{LastView->Left} * TileSize),
                   Narrow(y + (int64_t{LastView->Top} + LastView->Height - TileRows()) * TileSize));
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

void Map::DropCache() {
  Rendered.Reset();
  Region.Reset();
  LastView.Reset();
  Loaded.Reset();
}

Bitmap* Map::Render(const Rect& view) {
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
        Region = Ref<Bitmap>::Adopt(WhiteView(view));
      }
      transform = false;
    } else if (Loaded && Loaded->Equals(*needed)) {
      resample = !(sameView && !ZoomChanged && !RotationChanged);
    } else {
      Rendered.Reset();
      Region = MakeRef<Bitmap>();
      Loaded.Reset();
      Source->Seek(PicturePosition, File::FromStart);
      Region->ReadTiles(*Source, *needed, *all);
      Err.CopyFrom(Region->GetError());
      if (!Err.Failed()) Loaded = std::move(needed);
    }
    if (!Err.Failed() && resample) {
      if (transform) {
        Ref<Rect> p = Ref<Rect>::Adopt(TileRectToPixels(view));
        int32_t mx, my, rx, ry;
        ViewToMapPixel(p->Left, p->Top, mx, my);
        RegionOrigin(mx, my, rx, ry);
        Rendered =
            Ref<Bitmap>::Adopt(Region->RenderView(rx, ry, p->Width, p->Height, Zoom, Rotation));
        Err.CopyFrom(Region->GetError());
      } else {
        Rendered = Region;
      }
    }
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

// One calibrated raster map: its record (name, picture size, datum or grid and zone, the affine
// calibration from map pixels to world coordinates U, V), the viewer's zoom and rotation folded
// into a view matrix, and the conversions between positions, view pixels and map pixels.
//
// World coordinates: with a grid, U is the easting and V the northing in that grid and zone;
// without, U is the longitude and V the latitude in radians on the map's datum. Map pixels
// start at the picture's top-left corner, y downwards; view pixels are map pixels turned by
// the rotation and scaled by the zoom about map pixel (0, 0).
#pragma once

#include <cstdint>
#include <string_view>

#include "frame/Point.h"
#include "frame/Rect.h"
#include "frame/RefObject.h"
#include "frame/Text.h"
#include "geo/Position.h"
#include "maps/Bitmap.h"
#include "maps/File.h"
#include "maps/MapRecord.h"
#include "maps/TileIndex.h"

namespace velmira {

class Map final : public RefObject {
 public:
  Map() = default;
  explicit Map(Text* name) { SetName(name); }
  ~Map() override;

  // Drops the picture source; the map keeps its calibration and renders white from now on.
  void Close() override;

  // Reads a map chunk (header and record) at the file's position and keeps file as the
  // picture source; the picture's chunks follow the record. Failures: 10005 without a file,
  // 10013 for a chunk that cannot hold a map record, 10014 for a record version other than
  // 1.0, the file's own error for a short read; the map then has no picture source.
  void Load(File* file);

  // The name as a Text (one reference for the caller), made once from the record.
  Text* GetName();
  // Keeps name as the cached name and copies at most 15 characters into the record.
  void SetName(Text* name);
  // The name's bytes as GetName's Text holds them, without making that Text (a library keeps
  // hundreds of thousands of maps whose names are only looked up).
  std::string_view NameChars() const;
  // New Point (the caller's): X = picture width, Y = picture height, in pixels.
  Point* GetSize();

  // Calibration from one, two or three (position, map pixel) pairs; pairs 2 and 3 may be
  // absent (either half null). Positions 2 and 3 are converted in place to the grid and zone,
  // or datum, of position 1. Failures: 10003 with the case's message, calibration unchanged.
  void SetScale(Position* position1, const Point* point1, Position* position2, const Point* point2,
                Position* position3, const Point* point3);

  float GetZoom() const { return Zoom; }
  void SetZoom(float zoom);
  float GetRotation() const { return Rotation; }  // radians
  void SetRotation(float radians);

  // New Point (the caller's) in view pixels, or null without a position. position is moved
  // in place onto the map's grid and zone, or datum.
  Point* Position2Point(Position* position);
  // New Position (the caller's) in the map's grid and zone, or datum; null without a point or
  // when the position refuses the coordinates (its error is copied into the map's record).
  Position* Point2Position(const Point* point);
  // The map pixel that view pixel (x, y) shows, truncated toward zero.
  void ViewToMapPixel(int32_t x, int32_t y, int32_t& mapX, int32_t& mapY) const;

  // The zone number the map's grid coordinates are in: the last calibration's zone text, or
  // for a map read from a file the zone text of its record; 0 without a zone text.
  int16_t ZoneNumber();
  void SetZone(Text* zone);

  // The viewer's own copies of zoom and rotation (degrees), as it was given them.
  double ViewerZoom = 1.0;
  double ViewerRotation = 0.0;
  // Set by every change of calibration, zoom or rotation; the viewer clears it once its
  // overlay objects are placed again.
  bool TransformChanged = false;

  const MapRecord& Record() const { return Rec; }

  // Tile geometry. Tiles are 256 x 256 pixels; tile columns count from the left, tile rows
  // from the bottom of the picture, whose top edge is the top edge of the top tile row. A tile
  // rectangle's Top is its lowest tile row. Each Rect or Point returned is new, the caller's.
  static constexpr int32_t TileSize = 256;
  // Tile rows of the picture: (height + 255) / 256.
  int32_t TileRows() const;
  // The tiles under the pixel rectangle at (x, y) (its top-left, y from the top) of that size.
  Rect* TileRect(int32_t x, int32_t y, int32_t width, int32_t height) const;
  // The pixels a tile rectangle covers, as (left, top, width, height), y from the top.
  Rect* TileRectToPixels(const Rect& tiles) const;
  // A map pixel's place in the decoded region; (0, 0) while nothing is loaded.
  void RegionOrigin(int32_t x, int32_t y, int32_t& rx, int32_t& ry) const;
  // A view pixel's place in the last rendered bitmap; (0, 0) before the first render.
  Point* ViewOrigin(int32_t x, int32_t y) const;
  // A view pixel's place in the picture of the view tile rectangle view.
  Point* ViewOriginIn(const Rect& view, int32_t x, int32_t y) const;
  // The tiles of the picture that the view tile rectangle shows.
  Rect* NeededTiles(const Rect& view) const;
  // The picture of the view tile rectangle (top-left pixel = the view's top-left corner), with
  // one reference for the caller: the decoded tiles in the picture's own depth at zoom 1 and
  // no rotation, otherwise (and where the view misses the picture) 24-bit. Null on failure,
  // with the map's error record saying why. Same view, zoom and rotation: the same bitmap.
  // With shown (pixels of that picture, x from the left, y from the top), a turned or zoomed
  // view is resampled only there and wherever an earlier call with the same view asked; the
  // picture's other pixels are white or hold what they held. RenderedPart says which.
  Bitmap* Render(const Rect& view, const Bitmap::Area* shown = nullptr);
  // The part of the last picture Render returned that shows the view: all of it unless
  // Render was given a part.
  const Bitmap::Area& RenderedPart() const { return Part; }
  // Drops the view cache (decoded tiles and rendered picture); the next Render decodes again.
  // The viewer drops the cache of a map that stops being current, so a library of many maps
  // holds the tiles of one view at a time.
  void DropCache();

 private:
  void ReadRecord(File& file);
  void UpdateViewMatrix();
  void RotateViewMatrix(float uPerX, float uPerY, float vPerX, float vPerY);
  // Stores the fit of the pairs' world coordinates u, v and pixels pt; the refusal, or null.
  const ErrorKind* Calibrate(const double (&u)[3], const double (&v)[3],
                             const Point* const (&pt)[3], int pairs);

  MapRecord Rec;
  // The zone number of the last calibration's zone text or of the record read.
  int16_t ZoneNum = 0;
  Ref<Text> Name;

  // The view cache: the bitmap last returned by Render, the decoded tiles of the loaded tile
  // rectangle, the view last rendered and that loaded rectangle. Rectangles are the map's own
  // copies, so a caller that reuses its Rect cannot change them.
  Bitmap* WhiteView(const Rect& view);
  void Resample(const Rect& view, const Bitmap::Area* shown, bool fresh);
  Ref<Bitmap> Rendered;
  Bitmap::Area Part{};
  Ref<Bitmap> Region;
  Ref<Rect> LastView;
  Ref<Rect> Loaded;
  // The tiles the region holds: Loaded, or for a turned or zoomed view a larger rectangle
  // around it that kept the tiles of earlier views; the resampler reads Loaded's part of it.
  void LoadTiles(Ref<Rect> needed, const Rect& all, bool transform);
  Bitmap::Area LoadedPart() const;
  Ref<Rect> Held;
  TileIndex Index;

  Ref<File> Source;
  int64_t PicturePosition = 0;  // 64-bit: a library may pass 4 GiB

  float Zoom = 1.0f;
  float Rotation = 0.0f;
  bool ZoomChanged = false;
  bool RotationChanged = false;

  // U = ViewA x + ViewB y + UOrigin, V = ViewC x + ViewD y + VOrigin for view pixel (x, y).
  float ViewA = 0, ViewB = 0, ViewD = 0, ViewC = 0;
};

}  // namespace velmira

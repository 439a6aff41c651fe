// Map record, calibration and view transform. The calibration is an affine fit through one,
// two or three (position, pixel) pairs; the rotation is folded in by solving the matrix that
// maps three rotated reference pixels onto the world points of the unrotated ones, in 32-bit
// floats as the handheld original did, so that view pixels land where its users saw them.
#include "maps/Map.h"

#include <cmath>

#include "maps/ChunkReader.h"
#include "maps/MapMath.h"

namespace velmira {

namespace {

constexpr double Pi = 3.141592653589793;

// Reference pixels of the rotation solve: (1000, 0), (0, 1000) and the diagonal between them.
constexpr float ReferenceLength = 1000.0f;
constexpr float ReferenceDiagonal = 707.1068f;
// Near 112.5 and -67.5 degrees (and 292.5) the second reference's rotated y difference Q2y
// vanishes and the solve divides by it. Below this size the float solve's error grows beyond
// its usual 1e-4 of the coefficients (it is back to that from about 0.4 on), so there the
// view matrix is the calibration times the inverse rotation, computed directly. The band
// this takes out is under 0.1 degrees wide around each of those angles.
constexpr float SolvableQ2y = 1.0f;

// Two's-complement 32-bit steps of the three-pair fit; INT32_MIN / -1, which traps on x86,
// wraps like the rest.
int32_t Sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t Mul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t Div32(int32_t a, int32_t b) { return b == -1 ? Sub32(0, a) : a / b; }

// The world coordinates of a position in the map's system: grid coordinates with a grid,
// otherwise longitude and latitude in radians.
void ReadWorld(Position* p, int16_t grid, double& u, double& v) {
  if (grid != 0) {
    u = p->GetEasting();
    v = p->GetNorthing();
  } else {
    u = p->GetLongitudeRads();
    v = p->GetLatitudeRads();
  }
}

// Solves a x + b y = du, c x + d y = dv pivoting on the first row's larger coefficient. The
// pivot test is made on pivotA/pivotB, which callers give in their own precision.
void SolveFirstRowPivot(float a, float b, float c, float d, double du, double dv, bool pivotOnA,
                        float& x, float& y) {
  if (pivotOnA) {
    y = static_cast<float>((dv - du * c / a) / (d - b * c / a));
    x = static_cast<float>((du - y * b) / a);
  } else {
    x = static_cast<float>((dv - du * d / b) / (c - a * d / b));
    y = static_cast<float>((du - x * a) / b);
  }
}

}  // namespace

Map::~Map() { Close(); }

void Map::Close() {
  Index.Reset(0);
  Source.Reset();
  PicturePosition = 0;
}

void Map::Load(File* file) {
  Err.Clear();
  if (file == nullptr) return Err.Set(errors::Unexpected);
  DropCache();
  Source = Ref<File>::Retain(file);
  ReadRecord(*file);
  if (Err.Failed()) return Close();
  Name.Reset();
  // The stored zone text stands for the zone Text a calibration would have left, so that grid
  // maps convert in their zone after loading as they did when they were calibrated.
  ZoneNum = Text(Rec.Zone, MapRecord::FieldLength(Rec.Zone, MapRecord::ZoneSize)).ToInt16();
  UpdateViewMatrix();
}

void Map::ReadRecord(File& file) {
  auto reader = MakeRef<ChunkReader>();
  uint32_t tag = 0;
  int32_t size = 0;
  if (!reader->ReadHeader(file, &tag, &size)) return Err.CopyFrom(reader->GetError());
  constexpr int32_t recordSize = sizeof(MapRecord);
  // A shorter chunk would have us read the next chunk's bytes as the record.
  if (tag != ChunkTag("MAPH") || size < recordSize) return Err.Set(errors::UnknownFileFormat);
  file.Read(&Rec, recordSize);
  if (file.GetError().Failed()) return Err.CopyFrom(file.GetError());
  if (Rec.VersionMajor != 1 || Rec.VersionMinor != 0) return Err.Set(errors::UnknownFileVersion);
  file.Seek(size - recordSize, File::FromCurrent);
  PicturePosition = file.Tell();
  Index.Reset(PicturePosition);
  Err.CopyFrom(file.GetError());
}

Text* Map::GetName() {
  Err.Clear();
  if (!Name) Name = MakeRef<Text>(Rec.Name, MapRecord::FieldLength(Rec.Name, MapRecord::NameSize));
  Name->AddRef();
  return Name.Get();
}

std::string_view Map::NameChars() const {
  if (Name) return {Name->Chars(), static_cast<size_t>(Name->Length())};
  return {Rec.Name, static_cast<size_t>(MapRecord::FieldLength(Rec.Name, MapRecord::NameSize))};
}

void Map::SetName(Text* name) {
  Err.Clear();
  if (name == nullptr) return;
  name->CopyTo(Rec.Name, MapRecord::NameSize);
  Name = Ref<Text>::Retain(name);
}

Point* Map::GetSize() {
  Err.Clear();
  return new Point(Rec.Width, Rec.Height);
}

int16_t Map::ZoneNumber() { return ZoneNum; }

void Map::SetZone(Text* zone) {
  if (zone == nullptr) return;
  zone->CopyTo(Rec.Zone, MapRecord::ZoneSize);
  ZoneNum = zone->ToInt16();
}

void Map::SetScale(Position* position1, const Point* point1, Position* position2,
                   const Point* point2, Position* position3, const Point* point3) {
  Err.Clear();
  if (position1 == nullptr || point1 == nullptr) return Err.Set(errors::FirstPairNull);

  const int16_t datum = position1->GetDatum();
  const int16_t grid = position1->GetGrid();
  double u[3] = {};
  double v[3] = {};
  // Coordinates before the zone: a position computes its zone lazily with its grid
  // coordinates, so reading the zone first could store the zone of an earlier point.
  ReadWorld(position1, grid, u[0], v[0]);
  Ref<Text> zone = Ref<Text>::Adopt(position1->GetZone());
  if (grid != 0) {
    Rec.Datum = 0;
    Rec.Grid = grid;
    SetZone(zone.Get());
  } else {
    Rec.Grid = 0;
    Rec.Datum = datum;
  }

  Position* const positions[3] = {position1, position2, position3};
  const Point* const points[3] = {point1, point2, point3};
  int pairs = 1;
  for (; pairs < 3; ++pairs) {
    Position* p = positions[pairs];
    if (p == nullptr || points[pairs] == nullptr) break;
    if (grid != 0) {
      p->SetGrid(grid);
      p->SetZone(zone->ToInt16());
    } else {
      p->SetDatum(datum);
    }
    ReadWorld(p, grid, u[pairs], v[pairs]);
  }

  if (const ErrorKind* refusal = Calibrate(u, v, points, pairs)) return Err.Set(*refusal);
  TransformChanged = true;
  UpdateViewMatrix();
}

const ErrorKind* Map::Calibrate(const double (&u)[3], const double (&v)[3],
                                const Point* const (&pt)[3], int pairs) {
  MapRecord& r = Rec;
  if (pairs == 1) {
    // Scale from pixel (0, 0) = world (0, 0).
    if (pt[0]->X == 0 || pt[0]->Y == 0) return &errors::ZeroPointValue;
    r.UPerX = u[0] / pt[0]->X;
    r.VPerY = v[0] / pt[0]->Y;
    r.UPerY = r.VPerX = r.UOrigin = r.VOrigin = 0;
    return nullptr;
  }
  if (pairs == 2) {
    const int64_t dx = int64_t{pt[1]->X} - pt[0]->X;
    const int64_t dy = int64_t{pt[1]->Y} - pt[0]->Y;
    const double du = u[1] - u[0];
    const double dv = v[1] - v[0];
    if (dx == 0 || dy == 0 || du == 0.0 || dv == 0.0) return &errors::EqualPointValues;
    r.UPerX = du / static_cast<double>(dx);
    r.VPerY = dv / static_cast<double>(dy);
    r.UPerY = r.VPerX = 0;
    r.UOrigin = u[0] - pt[0]->X * r.UPerX;
    r.VOrigin = v[0] - pt[0]->Y * r.VPerY;
    return nullptr;
  }

  int i1 = 0;
  int i3 = 2;
  const int32_t x[3] = {pt[0]->X, pt[1]->X, pt[2]->X};
  const int32_t y[3] = {pt[0]->Y, pt[1]->Y, pt[2]->Y};
  if ((y[0] == y[1] && y[1] == y[2]) || (x[0] == x[1] && x[1] == x[2])) {
    return &errors::AllPointValuesEqual;
  }
  if (y[0] == y[1]) std::swap(i1, i3);  // so that y2 - y1 is not 0
  const int32_t dx21 = Sub32(x[1], x[i1]);
  const int32_t dy21 = Sub32(y[1], y[i1]);
  const int32_t dy31 = Sub32(y[i3], y[i1]);
  const int32_t k = Sub32(Sub32(x[i3], x[i1]), Div32(Mul32(dy31, dx21), dy21));  // truncating
  if (k == 0) return &errors::LinearDependent;

  const double u1 = u[i1], u2 = u[1], u3 = u[i3];
  const double v1 = v[i1], v2 = v[1], v3 = v[i3];
  r.UPerX = ((u3 - u1) - dy31 * (u2 - u1) / dy21) / k;
  r.UPerY = ((u2 - u1) - r.UPerX * dx21) / dy21;
  r.UOrigin = u1 - r.UPerX * x[i1] - r.UPerY * y[i1];
  r.VPerX = ((v3 - v1) - dy31 * (v2 - v1) / dy21) / k;
  r.VPerY = ((v2 - v1) - r.VPerX * dx21) / dy21;
  r.VOrigin = v1 - r.VPerX * x[i1] - r.VPerY * y[i1];
  return nullptr;
}

void Map::SetZoom(float zoom) {
  Zoom = zoom;
  ZoomChanged = true;
  TransformChanged = true;
  UpdateViewMatrix();
}

void Map::SetRotation(float radians) {
  Rotation = radians;
  RotationChanged = true;
  TransformChanged = true;
  UpdateViewMatrix();
}

void Map::UpdateViewMatrix() {
  const float a = static_cast<float>(Rec.UPerX);
  const float b = static_cast<float>(Rec.UPerY);
  const float c = static_cast<float>(Rec.VPerX);
  const float d = static_cast<float>(Rec.VPerY);
  ViewA = a;
  ViewB = b;
  ViewC = c;
  ViewD = d;
  if (Rotation != 0.0f) RotateViewMatrix(a, b, c, d);
  if (Zoom != 1.0f) {
    const float inverse = 1.0f / Zoom;
    ViewA *= inverse;
    ViewB *= inverse;
    ViewC *= inverse;
    ViewD *= inverse;
  }
}

void Map::RotateViewMatrix(float a, float b, float c, float d) {
  const float u0 = static_cast<float>(Rec.UOrigin);
  const float v0 = static_cast<float>(Rec.VOrigin);
  // World points of map pixels (1000, 0), the diagonal and (0, 1000).
  const float p1u = ReferenceLength * a + u0, p1v = ReferenceLength * c + v0;
  const float p2u = (a + b) * ReferenceDiagonal + u0, p2v = (c + d) * ReferenceDiagonal + v0;
  const float p3u = ReferenceLength * b + u0, p3v = ReferenceLength * d + v0;
  // The view pixels that show them: the same pixels turned by the rotation.
  const double r = Rotation;
  const float r1x = static_cast<float>(1000 * std::cos(r));
  const float r1y = static_cast<float>(-1000 * std::sin(r));
  const float r2x = static_cast<float>(1000 * std::cos(r - Pi / 4));
  const float r2y = static_cast<float>(-1000 * std::sin(r - Pi / 4));
  const float r3x = static_cast<float>(1000 * std::cos(r - Pi / 2));
  const float r3y = static_cast<float>(-1000 * std::sin(r - Pi / 2));
  const float q2x = r2x - r1x, q2y = r2y - r1y;
  const float q3x = r3x - r1x, q3y = r3y - r1y;

  if (!(std::fabs(q2y) >= SolvableQ2y)) {
    const double cs = std::cos(r), sn = std::sin(r);
    ViewA = static_cast<float>(a * cs + b * sn);
    ViewB = static_cast<float>(b * cs - a * sn);
    ViewC = static_cast<float>(c * cs + d * sn);
    ViewD = static_cast<float>(d * cs - c * sn);
    return;
  }
  const float w2u = p2u - p1u, w2v = p2v - p1v;
  const float w3u = p3u - p1u, w3v = p3v - p1v;
  const float den = q3x - q2x * q3y / q2y;
  ViewA = (w3u - w2u * q3y / q2y) / den;
  ViewB = (w2u - ViewA * q2x) / q2y;
  ViewC = (w3v - w2v * q3y / q2y) / den;
  ViewD = (w2v - ViewC * q2x) / q2y;
}

Point* Map::Position2Point(Position* position) {
  Err.Clear();
  if (position == nullptr) return nullptr;
  double v = 0;
  double uWide = 0;
  if (Rec.Grid != 0) {
    position->SetGrid(Rec.Grid);
    position->SetZone(ZoneNumber());
  } else {
    position->SetDatum(Rec.Datum);
  }
  ReadWorld(position, Rec.Grid, uWide, v);
  const float u = static_cast<float>(uWide);  // only U goes through a float here
  float x = 0;
  float y = 0;
  SolveFirstRowPivot(ViewA, ViewB, ViewC, ViewD, u - Rec.UOrigin, v - Rec.VOrigin,
                     std::fabs(ViewA) > std::fabs(ViewB), x, y);
  return new Point(TruncToInt32(x), TruncToInt32(y));
}

Position* Map::Point2Position(const Point* point) {
  Err.Clear();
  if (point == nullptr) return nullptr;
  const float u = static_cast<float>(ViewA * point->X + ViewB * point->Y + Rec.UOrigin);
  const float v = static_cast<float>(ViewC * point->X + ViewD * point->Y + Rec.VOrigin);
  Ref<Position> position = MakeRef<Position>();
  if (Rec.Grid != 0) {
    position->SetGrid(Rec.Grid);
    position->SetZone(ZoneNumber());
    position->SetEasting(u);
    position->SetNorthing(v);
  } else {
    position->SetDatum(Rec.Datum);
    position->SetLongitudeRads(u);
    position->SetLatitudeRads(v);
  }
  Err.CopyFrom(position->GetError());
  return Err.Failed() ? nullptr : position.Detach();
}

void Map::ViewToMapPixel(int32_t x, int32_t y, int32_t& mapX, int32_t& mapY) const {
  // The world point goes through a float with the origin in it before the origin is taken off
  // again: with a large origin (northings in the millions) that rounding moves the result by
  // up to a pixel, and tiles and view origins are placed where the rounded point says.
  const float u = static_cast<float>(ViewA * x + ViewB * y + Rec.UOrigin);
  const float v = static_cast<float>(ViewC * x + ViewD * y + Rec.VOrigin);
  float mx = 0;
  float my = 0;
  SolveFirstRowPivot(static_cast<float>(Rec.UPerX), static_cast<float>(Rec.UPerY),
                     static_cast<float>(Rec.VPerX), static_cast<float>(Rec.VPerY),
                     u - Rec.UOrigin, v - Rec.VOrigin,
                     std::fabs(Rec.UPerX) > std::fabs(Rec.UPerY), mx, my);
  mapX = TruncToInt32(mx);
  mapY = TruncToInt32(my);
}

}  // namespace velmira

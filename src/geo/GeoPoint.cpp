// Datum changes through earth-centred Cartesian coordinates, and the grid framework that
// moves a point onto its grid's datum, applies the zone step and calls the projection.
#include "geo/GeoPoint.h"

#include <cmath>
#include <cstdio>

#include "geo/Datum.h"
#include "geo/Grid.h"

namespace velmira {
namespace {

// The latitude iteration of the Cartesian-to-geodetic step stops when a pass repeats the
// latitude exactly, or after this many passes.
constexpr int MaxLatitudePasses = 10;

constexpr double ZoneWidth6 = 0.10471975511965978;    // 6 degrees in radians
constexpr double ZonesPerRadian6 = 9.549296585513721;  // 1 / 6 degrees
constexpr double ZoneWidth3 = 0.05235987755982989;    // 3 degrees
constexpr double ZonesPerRadian3 = 19.098593171027442;  // 1 / 3 degrees
constexpr int UtmZoneOffset = 31;  // zone of the 6-degree strip that starts at 0 degrees

struct Cartesian {
  double X, Y, Z;
};

Cartesian ToCartesian(double phi, double lambda, double h, const Ellipsoid& e) {
  const double sinPhi = std::sin(phi);
  const double cosPhi = std::cos(phi);
  const double n = e.A / std::sqrt(1 - e.E2 * sinPhi * sinPhi);
  return {(n + h) * cosPhi * std::cos(lambda), (n + h) * cosPhi * std::sin(lambda),
          ((1 - e.E2) * n + h) * sinPhi};
}

// Position-vector rotation, small-angle form; all three results from the unshifted input.
Cartesian ShiftToWgs84(const Cartesian& c, const DatumShift& s) {
  const double k = 1 + s.Ds;
  return {s.Dx + k * (c.X - s.Rz * c.Y + s.Ry * c.Z),
          s.Dy + k * (s.Rz * c.X + c.Y - s.Rx * c.Z),
          s.Dz + k * (-s.Ry * c.X + s.Rx * c.Y + c.Z)};
}

// The way back uses the transposed rotation, which is not an exact inverse of the shift above.
Cartesian ShiftFromWgs84(const Cartesian& c, const DatumShift& s) {
  const double k = 1 + s.Ds;
  const double xd = c.X - s.Dx, yd = c.Y - s.Dy, zd = c.Z - s.Dz;
  return {(xd + s.Rz * yd - s.Ry * zd) / k, (-s.Rz * xd + yd + s.Rx * zd) / k,
          (s.Ry * xd - s.Rx * yd + zd) / k};
}

// The latitude iteration phi = atan2(Z + e^2 N sin(phi0), p), carried on sin(phi): with
// t = Z + e^2 N sin(phi0), the next sine is t / sqrt(t^2 + p^2), so a pass costs two square
// roots instead of a sine and an arctangent, and one atan2 at the end gives phi. The height
// p / cos(phi) - N is sqrt(t^2 + p^2) - N, which also holds at the poles where p and cos(phi)
// are both 0.
void ToGeodetic(const Cartesian& c, const Ellipsoid& e, double& phi, double& lambda,
                double& h) {
  lambda = std::atan2(c.Y, c.X);
  const double p = std::sqrt(c.X * c.X + c.Y * c.Y);
  const double p0 = (1 - e.E2) * p;
  double sinPhi = c.Z / std::sqrt(c.Z * c.Z + p0 * p0);  // sin(atan2(Z, (1 - e^2) p))
  double n = e.A, t = c.Z, r = std::sqrt(c.Z * c.Z + p * p);
  for (int pass = 0; pass < MaxLatitudePasses; ++pass) {
    const double sinPhi0 = sinPhi;
    n = e.A / std::sqrt(1 - e.E2 * sinPhi0 * sinPhi0);
    t = c.Z + e.E2 * n * sinPhi0;
    r = std::sqrt(t * t + p * p);
    sinPhi = t / r;
    if (sinPhi == sinPhi0) break;  // the latitude repeats exactly
  }
  phi = std::atan2(t, p);
  h = r - n;
}

// Truncation toward zero of a value that may be NaN or huge: those give `fallback`.
int TruncOr(double value, int fallback) {
  if (!(value > -1e9 && value < 1e9)) return fallback;
  return static_cast<int>(value);
}

// Whether the datum change between two ids is skipped by the grid conversions.
bool SameGridDatum(int gridDatum, int pointDatum) {
  return gridDatum == 0 || gridDatum == pointDatum ||
         (IsNad27Set(gridDatum) && IsNad27Set(pointDatum));
}

// Latitude band letter of the 6-degree grids: 8-degree bands from 80 S lettered from C,
// skipping I and O.
char BandLetter(double latitude) {
  int band = TruncOr((latitude * 57.29577951308232 + 80) / 8, 0);
  if (band < -1) band = -1;  // latitudes past the poles from a runaway inverse
  if (band > 21) band = 21;
  char letter = static_cast<char>('C' + band);
  if (letter >= 'I') ++letter;
  if (letter >= 'O') ++letter;
  return letter;
}

}  // namespace

GeoPoint* GeoPoint::Copy() const {
  GeoPoint* copy = new GeoPoint();
  copy->CopyFieldsFrom(*this);
  return copy;
}

void GeoPoint::CopyFieldsFrom(const GeoPoint& other) {
  Longitude = other.Longitude;
  Latitude = other.Latitude;
  Height = other.Height;
  Easting = other.Easting;
  Northing = other.Northing;
  Datum = other.Datum;
  Grid = other.Grid;
  Zone = other.Zone;
  PinnedZone = other.PinnedZone;
}

void GeoPoint::ChangeDatum(int16_t target) {
  Err.Clear();
  if (target == Datum) return;
  if (!IsKnownDatum(target)) {
    Err.Set(errors::UnknownDatum);
    return;
  }
  Cartesian c = ToCartesian(Latitude, Longitude, Height, EllipsoidOfDatum(Datum));
  const DatumShift& from = DatumRow(Datum).Shift;
  if (!from.IsZero()) c = ShiftToWgs84(c, from);
  const DatumShift& to = DatumRow(target).Shift;
  if (!to.IsZero()) c = ShiftFromWgs84(c, to);
  ToGeodetic(c, EllipsoidOfDatum(target), Latitude, Longitude, Height);
  Datum = target;
}

// A row's projection never changes once made, and every row that computes has an ellipsoid
// of its own, so the row alone is the key.
const Projection* GeoPoint::ProjectionOf(const GridRow& row, double a, double e2) {
  if (&row != LastRow) {
    LastProjection = ProjectionFor(row, a, e2);
    LastRow = &row;
  }
  return LastProjection;
}

const GridRow* GeoPoint::ConversionRow() const {
  if (IsStatePlane(Grid)) return FindStatePlaneZone(Grid, Zone);
  if (Grid < 0 || Grid > LastGrid) return nullptr;
  return &GridTableRow(Grid);
}

void GeoPoint::GeoToGrid() {
  Err.Clear();
  const double savedLongitude = Longitude, savedLatitude = Latitude, savedHeight = Height;
  const int16_t savedDatum = Datum;

  const GridRow* row = ConversionRow();
  if (row == nullptr) {
    Err.Set(IsStatePlane(Grid) ? errors::ZoneRequired : errors::UnknownGrid);
    return;
  }
  if (!SameGridDatum(row->Datum, Datum)) ChangeDatum(row->Datum);
  const Ellipsoid& ellipsoid = EllipsoidOfDatum(Datum);

  double lambda = Longitude;
  if (IsZonedTransverseMercator(Grid) && std::isfinite(lambda)) {
    // Truncate, then step west for negative longitudes: the zone whose west edge is at or
    // west of the point.
    int k = TruncOr(lambda * ZonesPerRadian6, 0);
    if (lambda < 0) --k;
    if (PinnedZone == 0) {
      Zone = static_cast<int16_t>(k + UtmZoneOffset);
      lambda -= k * ZoneWidth6;
    } else {
      lambda -= (PinnedZone - UtmZoneOffset) * ZoneWidth6;
    }
  } else if (Grid == GridGaussKruger3 && std::isfinite(lambda)) {
    // The zone whose central meridian lies at or west of the point, not the nearest one.
    int k = TruncOr(lambda * ZonesPerRadian3, 0);
    if (lambda < 0) --k;
    if (PinnedZone == 0) {
      Zone = static_cast<int16_t>(k);
      lambda -= k * ZoneWidth3;
    } else {
      lambda -= PinnedZone * ZoneWidth3;
    }
  }

  if (const Projection* projection = ProjectionOf(*row, ellipsoid.A, ellipsoid.E2)) {
    if (!projection->Forward(Latitude, lambda, Easting, Northing)) Err.Set(errors::OutsideGrid);
  }

  Longitude = savedLongitude;
  Latitude = savedLatitude;
  Height = savedHeight;
  Datum = savedDatum;
}

void GeoPoint::GridToGeo() {
  Err.Clear();
  if (Grid == 0) {
    Err.Set(errors::GridNotSet);
    return;
  }
  const GridRow* row = ConversionRow();
  if (row == nullptr) {
    Err.Set(IsStatePlane(Grid) ? errors::ZoneRequired : errors::UnknownGrid);
    return;
  }
  const Ellipsoid& ellipsoid = EllipsoidOfDatum(row->Datum != 0 ? row->Datum : Datum);
  const Projection* projection = ProjectionOf(*row, ellipsoid.A, ellipsoid.E2);
  if (projection == nullptr) return;  // a kind that computes nothing

  double phi = 0, lambda = 0;
  if (!projection->Inverse(Easting, Northing, phi, lambda)) {
    Err.Set(errors::OutsideGrid);
    return;
  }
  if (IsZonedTransverseMercator(Grid)) {
    lambda += (Zone - UtmZoneOffset) * ZoneWidth6;
  } else if (Grid == GridGaussKruger3) {
    lambda += Zone * ZoneWidth3;
  }
  Latitude = phi;
  Longitude = lambda;

  const int16_t own = Datum;
  if (!SameGridDatum(row->Datum, own)) {
    Datum = row->Datum;
    ChangeDatum(own);
  }
}

Text* GeoPoint::ZoneText() const {
  char buffer[16];
  if (IsZonedTransverseMercator(Grid) && std::isfinite(Latitude)) {
    std::snprintf(buffer, sizeof buffer, "%d%c", Zone, BandLetter(Latitude));
  } else if (IsZonedTransverseMercator(Grid)) {
    std::snprintf(buffer, sizeof buffer, "%d", Zone);  // no band for an unknown latitude
  } else if (Grid == GridGaussKruger3) {
    std::snprintf(buffer, sizeof buffer, "%d", Zone);
  } else {
    buffer[0] = '\0';
  }
  return new Text(buffer);
}

}  // namespace velmira

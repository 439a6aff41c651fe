// The public point object: unit conversions, the degree/minute/second cache and its rounding,
// and the lazy refresh between the geographic and the grid coordinates.
#include "geo/Position.h"

#include <cmath>
#include <cstdio>

#include "geo/Datum.h"
#include "geo/Grid.h"

namespace velmira {
namespace {

constexpr double DegreesPerRadian = 57.29577951308232;
constexpr double RadiansPerDegree = 0.017453292519943295;
constexpr double RadiansPerMinute = 0.0002908882086657216;
constexpr double RadiansPerSecond = 4.84813681109536e-06;
constexpr double HalfPi = 1.5707963267948966;
constexpr double Pi = 3.141592653589793;
constexpr double TwoPi = 6.283185307179586;
constexpr double TurnsPerRadian = 0.15915494309189535;

// Nudges whole degrees and minutes of the latitude over a boundary that a value like
// 59.99999999999 misses only by rounding.
constexpr double LatitudeNudge = 5e-11;

// The text form is cut to what a 15-byte buffer held: at most 14 characters.
constexpr int DmsTextMax = 14;

// Truncation toward zero into a 16-bit field; NaN and values out of range give 0.
int16_t Whole16(double value) {
  if (!(value > -32768.0 && value < 32768.0)) return 0;
  return static_cast<int16_t>(value);
}

// The DMS parts of an absolute angle in degrees; `nudge` is added before each truncation.
DmsParts SplitDegrees(double d, double nudge) {
  DmsParts parts;
  parts.Degrees = Whole16(d + nudge);
  parts.Minutes = Whole16((d - parts.Degrees) * 60 + nudge);
  // Seconds rounded to 0.001.
  parts.Seconds =
      std::trunc(((d * 3600 - parts.Degrees * 3600.0) - parts.Minutes * 60.0) * 1000 + 0.5) *
      0.001;
  if (parts.Seconds >= 60) {
    parts.Seconds -= 60;
    ++parts.Minutes;
  }
  if (parts.Minutes >= 60) {
    parts.Minutes -= 60;
    ++parts.Degrees;
  }
  return parts;
}

// Brings a longitude into [-pi, pi]: whole turns first, then one more half-turn step.
double NormaliseLongitude(double lambda) {
  if (lambda > Pi || lambda < -Pi) {
    const double turns = std::trunc(lambda * TurnsPerRadian);
    lambda -= turns * TwoPi;
    if (lambda > Pi) {
      lambda -= TwoPi;
    } else if (lambda < -Pi) {
      lambda += TwoPi;
    }
    // Past about 1e16 radians a whole number of turns is no longer representable exactly.
    if (lambda > Pi || lambda < -Pi) lambda = std::remainder(lambda, TwoPi);
  }
  return lambda;
}

}  // namespace

Position::Position() : Coordinates(MakeRef<GeoPoint>()) {}

Position::Position(const FixCoordinates& fix) : Position() {
  GeoPoint& p = *Coordinates;
  p.Latitude = fix.Latitude;
  p.Longitude = fix.Longitude;
  p.Height = fix.Height;
  p.Datum = IsKnownDatum(fix.Datum) ? fix.Datum : DatumWgs84;
  Altitude = fix.Altitude;
  LatitudeDms = fix.LatitudeDms;
  LongitudeDms = fix.LongitudeDms;
  Pristine = false;
}

Position* Position::Copy() const {
  Position* copy = new Position();
  copy->Coordinates->CopyFieldsFrom(*Coordinates);
  copy->Altitude = Altitude;
  copy->LatitudeDms = LatitudeDms;
  copy->LongitudeDms = LongitudeDms;
  copy->LatitudeDmsStale = LatitudeDmsStale;
  copy->LongitudeDmsStale = LongitudeDmsStale;
  copy->GeoStale = GeoStale;
  copy->GridStale = GridStale;
  copy->Pristine = Pristine;
  return copy;
}

void Position::RefreshGeo() {
  if (!GeoStale) return;
  Coordinates->GridToGeo();
  Err.CopyFrom(Coordinates->GetError());
  if (Err.Failed()) return;  // stays stale: the next read tries again
  UpdateLatitudeDms();
  UpdateLongitudeDms();
  GeoStale = false;
}

void Position::RefreshGrid() {
  if (!GridStale) return;
  Coordinates->GeoToGrid();
  Err.CopyFrom(Coordinates->GetError());
  if (!Err.Failed()) GridStale = false;
}

// The parts follow the angle as it stands after the update; they are split when first read,
// as most conversions never read them, and the angle does not change in between without
// another update.
void Position::UpdateLatitudeDms() { LatitudeDmsStale = true; }

void Position::UpdateLongitudeDms() {
  Coordinates->Longitude = NormaliseLongitude(Coordinates->Longitude);
  LongitudeDmsStale = true;
}

const DmsParts& Position::LatitudeParts() {
  if (LatitudeDmsStale) {
    LatitudeDms =
        SplitDegrees(std::fabs(Coordinates->Latitude) * DegreesPerRadian, LatitudeNudge);
    LatitudeDmsStale = false;
  }
  return LatitudeDms;
}

const DmsParts& Position::LongitudeParts() {
  if (LongitudeDmsStale) {
    // The longitude truncates directly, without the latitude's nudge.
    LongitudeDms = SplitDegrees(std::fabs(Coordinates->Longitude) * DegreesPerRadian, 0);
    LongitudeDmsStale = false;
  }
  return LongitudeDms;
}

void Position::LatitudeWritten(double phi) {
  Coordinates->Latitude = phi;
  UpdateLatitudeDms();
  GeoStale = false;
  GridStale = true;
}

void Position::LongitudeWritten(double lambda) {
  Coordinates->Longitude = lambda;
  UpdateLongitudeDms();
  GeoStale = false;
  GridStale = true;
}

double Position::GetLatitudeRads() {
  Enter();
  RefreshGeo();
  return Coordinates->Latitude;
}

void Position::SetLatitudeRads(double phi) {
  Enter();
  // Written so that NaN fails the test too.
  if (!(phi >= -HalfPi && phi <= HalfPi)) {
    Err.Set(errors::InvalidLatitude);
    return;
  }
  LatitudeWritten(phi);
}

double Position::GetLongitudeRads() {
  Enter();
  RefreshGeo();
  return Coordinates->Longitude;
}

void Position::SetLongitudeRads(double lambda) {
  Enter();
  LongitudeWritten(lambda);
}

double Position::GetLatitudeDecDeg() { return GetLatitudeRads() * DegreesPerRadian; }

void Position::SetLatitudeDecDeg(double degrees) { SetLatitudeRads(degrees * RadiansPerDegree); }

double Position::GetLongitudeDecDeg() { return GetLongitudeRads() * DegreesPerRadian; }

void Position::SetLongitudeDecDeg(double degrees) {
  SetLongitudeRads(degrees * RadiansPerDegree);
}

Text* Position::GetLatitudeDMS(DmsParts& parts) {
  Enter();
  RefreshGeo();
  parts = LatitudeParts();
  return new Text(Coordinates->Latitude < 0 ? "S" : "N");
}

Text* Position::GetLongitudeDMS(DmsParts& parts) {
  Enter();
  RefreshGeo();
  parts = LongitudeParts();
  return new Text(Coordinates->Longitude < 0 ? "W" : "E");
}

void Position::SetLatitudeDMS(double degrees, double minutes, double seconds, char hemisphere) {
  Enter();
  if (!(degrees >= 0 && degrees <= 90)) {
    Err.Set(errors::InvalidDegrees);
    return;
  }
  // Minutes and seconds are not checked: 90 degrees 30 minutes is taken as 90.5 degrees.
  double phi = degrees * RadiansPerDegree + minutes * RadiansPerMinute + seconds * RadiansPerSecond;
  if (hemisphere == 'S') phi = -phi;
  LatitudeWritten(phi);
}

void Position::SetLongitudeDMS(double degrees, double minutes, double seconds, char hemisphere) {
  Enter();
  double lambda =
      degrees * RadiansPerDegree + minutes * RadiansPerMinute + seconds * RadiansPerSecond;
  if (hemisphere == 'W') lambda = -lambda;
  LongitudeWritten(lambda);
}

Text* Position::FormatDms(const DmsParts& parts, char letter) const {
  int degrees = parts.Degrees;
  int minutes = parts.Minutes;
  // Half a thousandth of a second more, so the two-decimal print rounds the cached value up.
  double seconds = parts.Seconds + 0.0005;
  if (seconds >= 60) {
    seconds = 0;
    ++minutes;
  }
  if (minutes == 60) {
    minutes = 0;
    ++degrees;
  }
  char buffer[400];  // room for any double, so the cut below is the only truncation
  int length = std::snprintf(buffer, sizeof buffer, "%d %d'%.2f %c", degrees, minutes, seconds,
                             letter);
  if (length > DmsTextMax) length = DmsTextMax;
  if (length < 0) length = 0;
  return new Text(buffer, length);
}

Text* Position::GetLatitudeString(int16_t format) {
  Enter();
  RefreshGeo();
  if (format != 0) {
    Err.Set(errors::InvalidParameter);
    return nullptr;
  }
  return FormatDms(LatitudeParts(), Coordinates->Latitude < 0 ? 'S' : 'N');
}

Text* Position::GetLongitudeString(int16_t format) {
  Enter();
  RefreshGeo();
  if (format != 0) {
    Err.Set(errors::InvalidParameter);
    return nullptr;
  }
  return FormatDms(LongitudeParts(), Coordinates->Longitude < 0 ? 'W' : 'E');
}

double Position::GetAltitude(int16_t kind) {
  Enter();
  RefreshGeo();
  if (kind == 0) return Altitude;
  if (kind == 1) return Coordinates->Height;
  Err.Set(errors::InvalidParameter);
  return 0;
}

void Position::SetAltitude(double value, int16_t kind) {
  Enter();
  if (kind != 1) {
    Err.Set(errors::InvalidParameter);
    return;
  }
  Coordinates->Height = value;
  Altitude = 0;
}

double Position::GetEasting() {
  Enter();
  RefreshGrid();
  return Coordinates->Easting;
}

void Position::SetEasting(double easting) {
  Enter();
  Coordinates->Easting = easting;
  GridStale = false;
  GeoStale = true;
}

double Position::GetNorthing() {
  Enter();
  RefreshGrid();
  return Coordinates->Northing;
}

void Position::SetNorthing(double northing) {
  Enter();
  Coordinates->Northing = northing;
  GridStale = false;
  GeoStale = true;
}

Text* Position::GetZone() {
  Enter();
  // The zone as it stands: a point that moved shows its old zone until the grid is read.
  return Coordinates->ZoneText();
}

void Position::SetZone(int16_t zone) {
  Enter();
  GeoPoint& p = *Coordinates;
  // Setting the current zone again does not pin a zone that was found automatically.
  if (zone == p.Zone) return;
  // Cleared before the checks: a refused zone returns a zoned grid to automatic selection.
  p.PinnedZone = 0;

  bool pin = true;
  if (IsZonedTransverseMercator(p.Grid)) {
    if (zone < 1 || zone > UtmZoneCount) return Err.Set(errors::InvalidZone);
  } else if (p.Grid == GridGaussKruger3) {
    if (zone < 1 || zone > GaussKruger3ZoneCount) return Err.Set(errors::InvalidZone);
  } else if (IsStatePlane(p.Grid)) {
    if (FindStatePlaneZone(p.Grid, zone) == nullptr) return Err.Set(errors::InvalidZone);
    pin = false;
  } else {
    return Err.Set(errors::GridWithoutZones);
  }
  RefreshGeo();
  if (pin) p.PinnedZone = zone;
  GridStale = true;
  GeoStale = false;
  p.Zone = zone;
}

int16_t Position::GetDatum() {
  Enter();
  return Coordinates->Datum;
}

void Position::SetDatum(int16_t datum) {
  Err.Clear();
  GeoPoint& p = *Coordinates;
  if (!IsKnownDatum(datum)) return Err.Set(errors::UnknownDatum);
  if (datum == p.Datum) return;
  if (Pristine) {
    p.Datum = datum;  // only relabelled: nothing has been written yet
  } else if (GeoStale) {
    // The grid coordinates stay authoritative; latitude/longitude follow on the new datum.
    p.Datum = datum;
    RefreshGeo();
  } else {
    p.ChangeDatum(datum);
    UpdateLatitudeDms();
    UpdateLongitudeDms();
    // The point has not moved, so easting/northing keep whatever state they had.
  }
}

int16_t Position::GetGrid() {
  Enter();
  return Coordinates->Grid;
}

void Position::SetGrid(int16_t grid) {
  Err.Clear();
  GeoPoint& p = *Coordinates;
  if (!IsKnownGrid(grid)) return Err.Set(errors::UnknownGrid);
  if (grid == p.Grid) return;
  if (!Pristine) {
    RefreshGeo();
    // Latitude/longitude become authoritative for the new grid.
    GridStale = true;
    GeoStale = false;
  }
  p.Grid = grid;
}

}  // namespace velmira

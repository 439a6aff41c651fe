// A point as the library's callers see it: latitude/longitude on a datum, altitude and
// ellipsoidal height, and easting/northing/zone in a grid. Whichever set was written last is
// authoritative; the other is recomputed on the next read.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "geo/GeoPoint.h"

namespace velmira {

// Whole degrees, whole minutes and seconds of an absolute angle.
struct DmsParts {
  int16_t Degrees = 0;
  int16_t Minutes = 0;
  double Seconds = 0;
};

// What a fix carries when it makes its position: the signed angles, their degree/minute/second
// parts exactly as the sentence digits gave them, altitude above mean sea level, height above
// the ellipsoid and the datum id (taken over without any transformation).
struct FixCoordinates {
  double Latitude = 0;   // radians
  double Longitude = 0;  // radians
  DmsParts LatitudeDms;
  DmsParts LongitudeDms;
  double Altitude = 0;   // metres above mean sea level
  double Height = 0;     // metres above the ellipsoid
  int16_t Datum = 1;
};

class Position : public RefObject {
 public:
  // Latitude 0, longitude 0, datum 1, no grid; pristine until written or read.
  Position();
  // A position from a fix: not pristine, grid 0, both sets current.
  explicit Position(const FixCoordinates& fix);
  // A new, independent copy (count 1, the caller's) with its own coordinate record.
  Position* Copy() const;

  double GetLatitudeRads();
  void SetLatitudeRads(double phi);
  double GetLongitudeRads();
  void SetLongitudeRads(double lambda);
  double GetLatitudeDecDeg();
  void SetLatitudeDecDeg(double degrees);
  double GetLongitudeDecDeg();
  void SetLongitudeDecDeg(double degrees);

  // The cached parts of the absolute angle, and the hemisphere letter as a new Text (count 1,
  // the caller's).
  Text* GetLatitudeDMS(DmsParts& parts);
  Text* GetLongitudeDMS(DmsParts& parts);
  // hemisphere: first character of the hemisphere text; exactly 'S' (or 'W') negates.
  void SetLatitudeDMS(double degrees, double minutes, double seconds, char hemisphere);
  void SetLongitudeDMS(double degrees, double minutes, double seconds, char hemisphere);

  // The text form "59 20'5.28 N" (format 0 only) as a new Text, or null when refused.
  Text* GetLatitudeString(int16_t format);
  Text* GetLongitudeString(int16_t format);

  // kind 0: altitude above mean sea level; kind 1: height above the ellipsoid.
  double GetAltitude(int16_t kind);
  // Only kind 1 is accepted; it sets the ellipsoidal height and forgets the altitude.
  void SetAltitude(double value, int16_t kind);

  double GetEasting();
  void SetEasting(double easting);
  double GetNorthing();
  void SetNorthing(double northing);

  // The zone text as a new Text (count 1, the caller's); empty on grids without zones.
  Text* GetZone();
  void SetZone(int16_t zone);

  int16_t GetDatum();
  void SetDatum(int16_t datum);
  int16_t GetGrid();
  void SetGrid(int16_t grid);

  // The coordinate record, for code inside the library that converts through it directly.
  const GeoPoint& Point() const { return *Coordinates; }

 private:
  // Every operation clears the error record; all but SetDatum and SetGrid end pristinity.
  void Enter() {
    Err.Clear();
    Pristine = false;
  }
  void RefreshGeo();
  void RefreshGrid();
  // Mark the parts for a new split from the angle (the longitude is normalised at once).
  void UpdateLatitudeDms();
  void UpdateLongitudeDms();
  // The parts, split from the angle first if an update is pending.
  const DmsParts& LatitudeParts();
  const DmsParts& LongitudeParts();
  void LatitudeWritten(double phi);
  void LongitudeWritten(double lambda);
  Text* FormatDms(const DmsParts& parts, char letter) const;

  Ref<GeoPoint> Coordinates;
  double Altitude = 0;
  DmsParts LatitudeDms;
  DmsParts LongitudeDms;
  bool LatitudeDmsStale = false;   // the parts are split from the angle when next read
  bool LongitudeDmsStale = false;
  bool GeoStale = false;   // easting/northing written last: latitude/longitude are out of date
  bool GridStale = false;  // latitude/longitude, grid or zone changed: easting/northing are
  bool Pristine = true;    // nothing written or read since construction
};

}  // namespace velmira

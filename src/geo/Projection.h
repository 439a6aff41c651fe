// The contract between the grid framework and the projection kinds: a grid row, and one
// Projection object per row that derives every per-row constant once, so the per-point
// steps only read them.
#pragma once

#include <cstdint>
#include <memory>

namespace velmira {

// Projection kinds of the grid rows.
enum ProjectionKind : int16_t {
  KindNone = 0,
  KindSwissOblique = 2,
  KindTransverseMercator = 3,
  KindNewZealandMapGrid = 4,
  KindLambertConic = 5,
  KindLambertBelgian = 6,
  KindObliqueStereographic = 8,
  KindSystem34Jylland = 9,
  KindSystem34Sjaelland = 10,
};

// One row of the grid table or of a State Plane zone table. Angles in radians, lengths in
// metres.
struct GridRow {
  int16_t Datum;    // 0: the point's own datum
  int16_t Kind;     // ProjectionKind
  double FE;        // false easting
  double FN;        // false northing
  double Lambda0;   // central meridian
  double Phi0;      // latitude of origin
  double K0;        // scale on the central meridian (kinds 3, 8)
  double Phi1;      // first standard parallel (kinds 5, 6)
  double Phi2;      // second standard parallel (kinds 5, 6)
  uint16_t ZoneCode;  // State Plane zone code; 0 in the grid table
};

// The steps of one kind for one row on one ellipsoid (a: semi-major axis in metres, e2: first
// eccentricity squared). phi/lambda are on the grid's datum, after any zone step.
class Projection {
 public:
  virtual ~Projection() = default;
  // False when the point lies outside the grid: outside a System 34 region, or (kinds 2, 4,
  // 5, 6, 8) a result that is not a finite number (NaN input, a pole or singular line of
  // the projection). Those kinds write nothing then.
  virtual bool Forward(double phi, double lambda, double& easting, double& northing) const = 0;
  virtual bool Inverse(double easting, double northing, double& phi, double& lambda) const = 0;
};

// Factories, one per kind, each in the kind's own source file.
std::unique_ptr<Projection> MakeTransverseMercator(const GridRow& row, double a, double e2);
std::unique_ptr<Projection> MakeSwissOblique(const GridRow& row, double a, double e2);
std::unique_ptr<Projection> MakeNewZealandMapGrid(const GridRow& row, double a, double e2);
std::unique_ptr<Projection> MakeLambertConic(const GridRow& row, double a, double e2);
std::unique_ptr<Projection> MakeLambertBelgian(const GridRow& row, double a, double e2);
std::unique_ptr<Projection> MakeObliqueStereographic(const GridRow& row, double a, double e2);
std::unique_ptr<Projection> MakeSystem34(const GridRow& row, double a, double e2);

// The projection for a row by its kind, through one dispatch table; null for kind 0 and any
// kind not listed (those compute nothing and report nothing).
std::unique_ptr<Projection> MakeProjection(const GridRow& row, double a, double e2);

// The projection of a row of the static grid or zone tables, made on first use and kept
// for the life of the process (rows never move, so the row's address is its key).
const Projection* ProjectionFor(const GridRow& row, double a, double e2);

}  // namespace velmira

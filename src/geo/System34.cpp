// The System 34 transformation over the published polynomial tables in System34Tables.
#include "geo/System34.h"

#include <cmath>

#include "geo/Grid.h"
#include "geo/PointInPolygon.h"
#include "geo/System34Tables.h"

namespace velmira {
namespace {

// The UTM grid on datum 27, and how far zone 32 lies east of its strip at 0 degrees: the
// framework's zone step with the zone pinned to 32.
constexpr int UtmGridOnEd50 = 47;
constexpr double Zone32Offset = (32 - 31) * 0.10471975511965978;

// Highest degree a stored table may declare; the published ones are 13 and 9.
constexpr int MaxDegree = 13;

struct S34Direction {
  const double* Box;  // first min, max, second min, max
  std::span<const double> Polygon;
  std::span<const double> Polynomial;
};

struct S34Region {
  S34Direction Forward;
  S34Direction Inverse;
};

using namespace s34tables;

const S34Region Jylland{
    {JyllandForwardBox, JyllandForwardPolygon, JyllandForwardPolynomial},
    {JyllandInverseBox, JyllandInversePolygon, JyllandInversePolynomial},
};
const S34Region Sjaelland{
    {SjaellandForwardBox, SjaellandForwardPolygon, SjaellandForwardPolynomial},
    {SjaellandInverseBox, SjaellandInversePolygon, SjaellandInversePolynomial},
};

const S34Region* FindRegion(int region) {
  if (region == S34Jylland) return &Jylland;
  if (region == S34Sjaelland) return &Sjaelland;
  return nullptr;  // Bornholm and any other code: no tables
}

// Sum of c(i, j) inner^i outer^j over i + j <= d, the coefficients stored by rising power of
// outer and, within one power, by rising power of inner. Horner outside in outer, inside in
// inner.
double HornerPair(const double* c, int d, double inner, double outer) {
  double result = 0.0;
  for (int j = d; j >= 0; --j) {
    const double* block = c + j * (d + 1) - j * (j - 1) / 2;  // blocks d+1, d, d-1, ... long
    double b = 0.0;
    for (int i = d - j; i >= 0; --i) b = b * inner + block[i];
    result = result * outer + b;
  }
  return result;
}

bool InBox(const double* box, double first, double second) {
  // Written as a conjunction so that NaN is outside.
  return first >= box[0] && first <= box[1] && second >= box[2] && second <= box[3];
}

}  // namespace

void EvaluateS34Polynomial(std::span<const double> table, double first, double second,
                           double& outFirst, double& outSecond) {
  outFirst = outSecond = 0.0;
  if (table.empty() || !(table[0] >= 0.0 && table[0] <= MaxDegree)) return;
  const int d = static_cast<int>(table[0]);
  const size_t k = static_cast<size_t>((d + 1) * (d + 2) / 2);
  if (table.size() < 2 * k + 3) return;
  const double* c1 = table.data() + 1;
  const double n0 = table[1 + k];
  const double* c2 = table.data() + 2 + k;
  const double e0 = table[2 + 2 * k];
  const double x = first - n0;
  const double y = second - e0;
  outFirst = HornerPair(c1, d, x, y);
  outSecond = HornerPair(c2, d, y, x);  // the second table has x and y exchanged
}

int TransformS34(double first, double second, int region, int direction, double& outFirst,
                 double& outSecond) {
  const S34Region* r = FindRegion(region);
  if (r == nullptr || (direction != S34Forward && direction != S34Inverse)) return S34OutsideBox;
  const S34Direction& there = direction == S34Forward ? r->Forward : r->Inverse;
  const S34Direction& back = direction == S34Forward ? r->Inverse : r->Forward;
  if (!InBox(there.Box, first, second)) return S34OutsideBox;

  // Outside the polygon is remembered, but the outputs are still computed and written.
  int status = PointInPolygon(there.Polygon, first, second) < 0 ? S34OutsidePolygon : S34Ok;

  EvaluateS34Polynomial(there.Polynomial, first, second, outFirst, outSecond);
  double checkFirst = 0.0, checkSecond = 0.0;
  EvaluateS34Polynomial(back.Polynomial, outFirst, outSecond, checkFirst, checkSecond);
  if (!(std::fabs(first - checkFirst) <= S34CheckLimit &&
        std::fabs(second - checkSecond) <= S34CheckLimit)) {
    status = S34CheckFailed;
  }
  return status;
}

System34Grid::System34Grid(int region, double a, double e2)
    : Region(region), Utm32(MakeTransverseMercator(GridTableRow(UtmGridOnEd50), a, e2)) {}

bool System34Grid::Forward(double phi, double lambda, double& easting, double& northing) const {
  double utmEasting = 0, utmNorthing = 0;
  if (!Utm32->Forward(phi, lambda - Zone32Offset, utmEasting, utmNorthing)) return false;
  double first = 0, second = 0;
  if (TransformS34(utmNorthing, utmEasting, Region, S34Forward, first, second) != S34Ok) {
    return false;
  }
  northing = first;
  easting = second;
  return true;
}

bool System34Grid::Inverse(double easting, double northing, double& phi, double& lambda) const {
  double utmNorthing = 0, utmEasting = 0;
  if (TransformS34(northing, easting, Region, S34Inverse, utmNorthing, utmEasting) != S34Ok) {
    return false;
  }
  double p = 0, lam = 0;
  if (!Utm32->Inverse(utmEasting, utmNorthing, p, lam)) return false;
  phi = p;
  lambda = lam + Zone32Offset;
  return true;
}

// Grid 49 stands for the Sjaelland region; grid 48 for Jylland.
std::unique_ptr<Projection> MakeSystem34(const GridRow& row, double a, double e2) {
  return std::make_unique<System34Grid>(
      row.Kind == KindSystem34Sjaelland ? S34Sjaelland : S34Jylland, a, e2);
}

}  // namespace velmira

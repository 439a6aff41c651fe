// Helpers of the geodesy tests: degrees, distances on the ground, reference files and points.
#pragma once

#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "frame/Text.h"
#include "geo/GeoPoint.h"

namespace velmira::testing {

inline constexpr double Deg = 0.017453292519943295;

// One line of a reference file under tests/data: an optional leading name, then numbers.
struct RefRow {
  std::string Name;
  std::vector<double> V;
};

inline std::vector<RefRow> ReadRows(const std::string& path) {
  std::ifstream in(std::string(VELMIRA_TEST_DATA) + "/" + path);
  std::vector<RefRow> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    RefRow& row = rows.emplace_back();
    if (std::isalpha(static_cast<unsigned char>(line[0]))) fields >> row.Name;
    for (double v; fields >> v;) row.V.push_back(v);
  }
  return rows;
}

// Distance on the ground between two latitude/longitude pairs in radians, metres; a sphere
// is close enough at millimetre scale.
inline double GroundDistance(double phi1, double lam1, double phi2, double lam2,
                             double radius = 6371000) {
  const double dLam = std::remainder(lam1 - lam2, 2 * 3.141592653589793);
  return radius * std::hypot(phi1 - phi2, dLam * std::cos((phi1 + phi2) / 2));
}

// A coordinate record at a point given in degrees on `datum`, set to `grid` and `zone`.
inline Ref<GeoPoint> PointOn(int16_t grid, int16_t datum, double latDeg, double lonDeg,
                             int16_t zone = 0) {
  Ref<GeoPoint> p = MakeRef<GeoPoint>();
  p->Grid = grid, p->Datum = datum, p->Zone = zone, p->Latitude = latDeg * Deg, p->Longitude = lonDeg * Deg;
  return p;
}

// The message of an error record, "" for none.
inline std::string Message(const Error& e) { return e.Message != nullptr ? e.Message : ""; }

// Takes over a returned text and gives its characters, "(null)" for none.
inline std::string Take(Text* text) {
  Ref<Text> held = Ref<Text>::Adopt(text);
  return held ? held->Chars() : "(null)";
}

}  // namespace velmira::testing

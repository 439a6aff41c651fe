// Generated automatically by src/geo/gen/make_system34.py from system34.txt, the
// published System 34 <-> UTM zone 32 (ED50) figures. Do not edit; rerun the script.
#pragma once

namespace velmira::s34tables {

// Polygons: vertex count, then (first, second) pairs in input coordinates.
// Polynomials: degree d, K = (d+1)(d+2)/2 coefficients of the first output, centre N0,
// K coefficients of the second output, centre E0.
extern const double JyllandForwardPolygon[17];
extern const double JyllandInversePolygon[17];
extern const double SjaellandForwardPolygon[17];
extern const double SjaellandInversePolygon[17];
extern const double JyllandForwardPolynomial[213];
extern const double JyllandInversePolynomial[213];
extern const double SjaellandForwardPolynomial[113];
extern const double SjaellandInversePolynomial[113];

// Boxes, bounds inclusive: first coordinate min, max, then second coordinate min, max.
inline constexpr double JyllandForwardBox[4] = {6000000.0, 6500000.0, 300000.0, 700000.0};
inline constexpr double JyllandInverseBox[4] = {-32000.0, 468000.0, 95000.0, 495000.0};
inline constexpr double SjaellandForwardBox[4] = {6000000.0, 6315000.0, 550000.0, 775000.0};
inline constexpr double SjaellandInverseBox[4] = {-43894.0, 280862.0, 31610.0, 248251.0};

}  // namespace velmira::s34tables

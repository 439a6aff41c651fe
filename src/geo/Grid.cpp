// The grid table as the library has always carried it. Angles are written in degrees as
// published and converted to radians at compile time, so no call pays for the conversion.
#include "geo/Grid.h"

#include <array>
#include <numbers>

#include "geo/ZoneTables.h"

namespace velmira {
namespace {

constexpr double Deg(double degrees) { return degrees * (std::numbers::pi / 180.0); }

constexpr GridRow Row(int16_t datum, int16_t kind, double fe, double fn, double lambda0,
                      double phi0, double k0, double phi1, double phi2) {
  return GridRow{datum, kind, fe, fn, Deg(lambda0), Deg(phi0), k0, Deg(phi1), Deg(phi2), 0};
}

constexpr GridRow GridTable[] = {
    //  datum kind  FE          FN           lambda0 (deg)  phi0 (deg)      k0  phi1 phi2
    Row(0, 0, 0, 0, 0, 0, 0, 0, 0),                                          // 0 no grid
    Row(1, 3, 500000, 0, 3, 0, 0.9996, 0, 0),                                // 1 UTM north
    Row(1, 3, 500000, 10000000, 3, 0, 0.9996, 0, 0),                         // 2 UTM south
    Row(3, 3, 400000, -100000, -2, 49, 0.9996012717, 0, 0),                  // 3 British National Grid
    Row(6, 3, 200000, 250000, -8, 53.5, 1.000035, 0, 0),                     // 4 Irish Grid
    Row(2, 3, 600000, 750000, -8, 53.5, 0.99982, 0, 0),                      // 5 Irish Transverse Mercator
    Row(5, 3, 1500000, 0, 15.8082777778, 0, 1, 0, 0),                        // 6 RT 90 2.5 gon V
    Row(4, 2, 600000, 200000, 7.4395833333, 46.9524055556, 1, 0, 0),         // 7 Swiss (LV03 origin)
    Row(4, 2, 2600000, 1200000, 7.4395833333, 46.9524055556, 1, 0, 0),       // 8 Swiss (LV95 origin)
    Row(7, 3, 1500000, 0, 21, 0, 1, 0, 0),                                   // 9 KKJ zone 1
    Row(7, 3, 2500000, 0, 24, 0, 1, 0, 0),                                   // 10 KKJ zone 2
    Row(7, 3, 3500000, 0, 27, 0, 1, 0, 0),                                   // 11 KKJ zone 3
    Row(7, 3, 4500000, 0, 30, 0, 1, 0, 0),                                   // 12 KKJ zone 4
    Row(2, 3, 500000, 0, 3, 0, 0.9996, 0, 0),                                // 13 UTM north (ETRS89)
    Row(8, 3, 80000, 100000, 6.1666666667, 49.8333333333, 1, 0, 0),          // 14 Luxembourg Gauss
    Row(10, 3, 500000, 10000000, 3, 0, 0.9996, 0, 0),                        // 15 AMG
    Row(11, 3, 500000, 10000000, 3, 0, 0.9996, 0, 0),                        // 16 MGA
    Row(12, 3, 150000, -5000000, 10.3333333333, 0, 1, 0, 0),                 // 17 Austria M28
    Row(12, 3, 450000, -5000000, 13.3333333333, 0, 1, 0, 0),                 // 18 Austria M31
    Row(12, 3, 750000, -5000000, 16.3333333333, 0, 1, 0, 0),                 // 19 Austria M34
    Row(14, 3, 1600000, 10000000, 173, 0, 0.9996, 0, 0),                     // 20 NZTM 2000
    Row(13, 4, 0, 0, 0, 0, 0, 0, 0),                                         // 21 New Zealand Map Grid
    Row(16, 6, 150000.01, 5400088.44, 4.3569397222, 90, 0.9998774, 49.8333333333,
        51.1666666667),                                                      // 22 Belgian Lambert 72
    Row(15, 5, 600000, 200000, 2.3372291667, 49.5, 1, 48.5985227778, 50.3959116667),  // 23 Lambert I
    Row(15, 5, 600000, 200000, 2.3372291667, 46.8, 1, 45.8989188889, 47.6960144444),  // 24 Lambert II
    Row(15, 5, 600000, 200000, 2.3372291667, 44.1, 1, 43.1992913889, 44.9960938889),  // 25 Lambert III
    Row(15, 5, 234.358, 185861.369, 2.3372291667, 42.165, 1, 41.5603877778,
        42.7676633333),                                                      // 26 Lambert IV
    Row(2, 5, 700000, 6600000, 3, 46.5, 1, 44, 49),                          // 27 Lambert-93
    Row(17, 3, 500000, 0, 3, 0, 0.9996, 0, 0),                               // 28 UTM north (ED50)
    Row(18, 3, 500000, 0, 0, 0, 1, 0, 0),                                    // 29 Gauss-Krueger 3-degree
    Row(0, 0, 0, 0, 0, 0, 0, 0, 0),                                          // 30 State Plane 1927
    Row(19, 0, 0, 0, 0, 0, 0, 0, 0),                                         // 31 State Plane 1983
    Row(22, 3, 500000, 0, 3, 0, 0.9996, 0, 0),                               // 32 UTM north (NAD27)
    Row(19, 3, 500000, 0, 3, 0, 0.9996, 0, 0),                               // 33 UTM north (NAD83)
    Row(24, 8, 155000, 463000, 5.3876388889, 52.1561605556, 0.9999079, 0, 0),  // 34 Dutch RD
    Row(25, 3, 1500000, 0, 9, 0, 0.9996, 0, 0),                              // 35 Gauss-Boaga west
    Row(25, 3, 2520000, 0, 15, 0, 0.9996, 0, 0),                             // 36 Gauss-Boaga east
    Row(26, 3, 0, 0, 6.05625, 58, 1, 0, 0),                                  // 37 NGO 1948 axis I
    Row(26, 3, 0, 0, 8.3895833333, 58, 1, 0, 0),                             // 38 NGO 1948 axis II
    Row(26, 3, 0, 0, 10.7229166667, 58, 1, 0, 0),                            // 39 NGO 1948 axis III
    Row(26, 3, 0, 0, 13.2229166667, 58, 1, 0, 0),                            // 40 NGO 1948 axis IV
    Row(26, 3, 0, 0, 16.8895833333, 58, 1, 0, 0),                            // 41 NGO 1948 axis V
    Row(26, 3, 0, 0, 20.8895833333, 58, 1, 0, 0),                            // 42 NGO 1948 axis VI
    Row(26, 3, 0, 0, 24.8895833333, 58, 1, 0, 0),                            // 43 NGO 1948 axis VII
    Row(26, 3, 0, 0, 29.05625, 58, 1, 0, 0),                                 // 44 NGO 1948 axis VIII
    Row(15, 5, 600000, 2200000, 2.3372291667, 46.8, 1, 45.8989188889, 47.6960144444),  // 45 Lambert II extended
    Row(15, 5, 600000, 600000, 2.3372291667, 47, 1, 45, 49),                 // 46 conic 45/49 on NTF
    Row(27, 3, 500000, 0, 3, 0, 0.9996, 0, 0),                               // 47 UTM north (ED50 second set)
    Row(27, 9, 0, 0, 0, 0, 0, 0, 0),                                         // 48 System 34 Jylland
    Row(27, 10, 0, 0, 0, 0, 0, 0, 0),                                        // 49 System 34, region 3
};

static_assert(std::size(GridTable) == LastGrid + 1);

}  // namespace

const GridRow& GridTableRow(int id) { return GridTable[id]; }

std::span<const GridRow> GridTableRows() { return GridTable; }

bool IsZonedTransverseMercator(int grid) {
  switch (grid) {
    case 1: case 2: case 13: case 15: case 16: case 28: case 32: case 33: case 47:
      return true;
    default:
      return false;
  }
}

bool IsStatePlane(int grid) { return grid == GridStatePlane27 || grid == GridStatePlane83; }

std::span<const GridRow> ZoneTable27() { return StatePlaneZones27; }
std::span<const GridRow> ZoneTable83() { return StatePlaneZones83; }

const GridRow* FindStatePlaneZone(int grid, int zone) {
  std::span<const GridRow> table;
  if (grid == GridStatePlane27) {
    table = ZoneTable27();
  } else if (grid == GridStatePlane83) {
    table = ZoneTable83();
  } else {
    return nullptr;
  }
  // Linear from the first row: the first match wins.
  for (const GridRow& row : table) {
    if (row.ZoneCode == zone) return &row;
  }
  return nullptr;
}

}  // namespace velmira

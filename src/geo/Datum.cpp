// The ellipsoid and datum tables as the library has always carried them. Ellipsoids are given
// by a and e^2 exactly as tabled (not derived from a flattening), so the results match the
// published grids that were computed with these same figures.
#include "geo/Datum.h"

namespace velmira {
namespace {

// Rows used by the datum table, indexed by the library's own ellipsoid numbers; the gaps are
// ellipsoids no datum uses.
constexpr Ellipsoid Ellipsoids[] = {
    //  a              e^2
    {0, 0},                           // 0
    {6377563.396, 0.00667054},        // 1 Airy 1830
    {6377340.189, 0.00667054015},     // 2 Airy modified
    {0, 0},                           // 3
    {6378160.0, 0.006694541855},      // 4 Australian National
    {6377397.155, 0.006674372230614}, // 5 Bessel 1841
    {0, 0}, {0, 0},                   // 6, 7
    {6378206.4, 0.006768658},         // 8 Clarke 1866
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},  // 9..14
    {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},  // 15..20
    {6378137.0, 0.006694380023011},   // 21 GRS 80
    {0, 0}, {0, 0}, {0, 0},           // 22..24
    {6378388.0, 0.006722670022},      // 25 International 1924
    {0, 0}, {0, 0}, {0, 0}, {0, 0},   // 26..29
    {0, 0}, {0, 0}, {0, 0},           // 30..32
    {6378135.0, 0.00669431778},       // 33 WGS 72
    {6378137.0, 0.006694379990197},   // 34 WGS 84
    {6378249.2, 0.00680348764},       // 35 Clarke 1880 (IGN)
    {6377492.018, 0.006674373},       // 36 Bessel modified
};

constexpr int16_t Airy = 1, AiryModified = 2, AustralianNational = 4, Bessel = 5, Clarke1866 = 8,
                  Grs80 = 21, International = 25, Wgs72 = 33, Wgs84 = 34, Clarke1880Ign = 35,
                  BesselModified = 36;

constexpr Datum Datums[] = {
    // ellipsoid       dx  dy  dz  rx  ry  rz  ds (rotations in radians, scale as a fraction)
    {0, {0, 0, 0, 0, 0, 0, 0}},  // no datum 0
    {Wgs84, {0, 0, 0, 0, 0, 0, 0}},                                          // 1 WGS 84
    {Grs80, {0, 0, 0, 0, 0, 0, 0}},                                          // 2 ETRS89
    {Airy, {375.0, -111.0, 431.0, 0, 0, 0, 0}},                              // 3 OSGB 1936
    {Bessel, {674.374, 15.056, 405.346, 0, 0, 0, 0}},                        // 4 CH1903
    {Bessel, {414.1055246174, 41.3265500042, 603.0582474221, -4.14572099457242e-06,
              1.03813997378438e-05, -3.40471549964131e-05, 0}},              // 5 RT 90
    {AiryModified, {482.53, -130.596, 564.557, -5.05175855716137e-06, -1.03750127757441e-06,
                    -3.05917432780117e-06, 8.15e-06}},                       // 6 Ireland 1965
    {International, {-90.7, -106.1, -119.2, 1.982887955738e-05, 1.05689382481879e-06,
                     -5.09054365165013e-06, 1.37e-06}},                      // 7 KKJ
    {International, {-192.986, 13.673, -39.309, -1.98725127886799e-06, -1.42205548943049e-05,
                     1.30322765619054e-05, 4.3e-07}},                        // 8 Luxembourg 1930
    {Wgs72, {0, 0, 4.5, 0, 0, 2.68586779334683e-06, 2.19e-07}},              // 9 WGS 72
    {AustralianNational, {-116.0, -50.47, 141.69, 1.11507146655193e-06, 1.89077335632719e-06,
                          1.6677590630168e-06, 9.83e-08}},                   // 10 AGD 84
    {Grs80, {0, 0, 0, 0, 0, 0, 0}},                                          // 11 GDA94
    {Bessel, {577.326, 90.129, 463.919, 2.49029395438724e-05, 7.14712328691678e-06,
              2.56805806883721e-05, 2.4232e-06}},                            // 12 MGI
    {International, {59.47, -5.04, 187.44, 2.27862430121482e-06, -4.84813681109536e-07,
                     4.96449209456165e-06, -4.5993e-06}},                    // 13 NZGD49
    {Grs80, {0, 0, 0, 0, 0, 0, 0}},                                          // 14 NZGD2000
    {Clarke1880Ign, {-168.0, -60.0, 320.0, 0, 0, 0, 0}},                     // 15 NTF
    {International, {-99.1, 53.3, -112.5, 2.03136932384896e-06, -4.02395355320915e-06,
                     9.13873788891475e-06, -1e-06}},                         // 16 BD72
    {International, {-89.5, -93.8, -123.1, 0, 0, -7.56309342530876e-07, 1.2e-06}},  // 17 ED50
    {Bessel, {582.0, 105.0, 414.0, 5.04206228353917e-06, 1.69684788388338e-06,
              -1.49322613781737e-05, 8.3e-06}},                              // 18 DHDN
    {Grs80, {0, 0, 0, 0, 0, 0, 0}},                                          // 19 NAD83
    {Clarke1866, {-5.0, 135.0, 172.0, 0, 0, 0, 0}},                          // 20 NAD27 Alaska
    {Clarke1866, {-9.0, 161.0, 179.0, 0, 0, 0, 0}},                          // 21 NAD27 Eastern US
    {Clarke1866, {-8.0, 160.0, 176.0, 0, 0, 0, 0}},                          // 22 NAD27 CONUS mean
    {Clarke1866, {-8.0, 159.0, 175.0, 0, 0, 0, 0}},                          // 23 NAD27 Western US
    {Bessel, {565.0, 49.9, 465.8, -1.982887955738e-06, 1.74532925199433e-06,
              -9.06116769993723e-06, 4.08e-06}},                             // 24 Amersfoort
    {International, {-104.1, -49.1, -9.9, 4.70754084357359e-06, -1.41420150779652e-05,
                     3.46156968312209e-06, -1.168e-05}},                     // 25 Monte Mario
    {BesselModified, {278.3, 93.0, 474.5, 3.82469513027313e-05, 2.42406840554768e-07,
                      -3.20461843213403e-05, 6.21e-06}},                     // 26 NGO 1948
    {International, {-81.0703, -89.3603, -115.7526, 2.35076457696392e-06, 1.18100612718283e-07,
                     2.00329861171271e-06, -5.40645e-07}},                   // 27 ED50 (second set)
};

static_assert(sizeof(Datums) / sizeof(Datums[0]) == LastDatum + 1);

}  // namespace

const Datum& DatumRow(int id) { return Datums[id]; }

const Ellipsoid& EllipsoidOfDatum(int id) { return Ellipsoids[Datums[id].EllipsoidIndex]; }

}  // namespace velmira

// The State Plane zone rows of 1927 (grid 30) and 1983 (grid 31), generated from the EPSG
// dataset by src/geo/gen/make_zone_tables.py.
#pragma once

#include "geo/Projection.h"

namespace velmira {

extern const GridRow StatePlaneZones27[131];
extern const GridRow StatePlaneZones83[123];

}  // namespace velmira

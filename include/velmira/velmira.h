/*
 * Velmira: GPS input, geodesy and map display. The exported interface.
 *
 * Conventions shared by every family (read these once):
 *
 * - Handles are opaque pointers to library objects, one type per family. Only the family's
 *   Delete and GetErrHandle accept a null handle; every other function needs a live handle
 *   of its own family and does not check it.
 * - Ownership: every function that returns an object handle gives the caller one reference,
 *   which the caller returns with that family's Delete. Setters that take an object add a
 *   reference of their own; the caller still deletes its handle.
 * - Errors: operations clear the object's error record on entry and fill it on failure,
 *   returning a neutral value (0, null, false, 0.0). Read the record through the family's
 *   GetErrHandle with Error_ErrNum and Error_ErrDesc. Plain field accessors leave the record
 *   as it was.
 * - Numbers: angles in radians unless the name says degrees, lengths in metres. 64-bit floats
 *   go in by pointer and come out through the last (out) pointer.
 * - Text goes in as NUL-terminated UTF-16; the library keeps the low 8 bits of each unit.
 *   Text comes out as BSTR. "Copy" strings belong to the caller (free with SysFreeString);
 *   "kept" strings belong to the library and stay valid until the next call of the same
 *   function (anywhere in the process); never free a kept string.
 * - Threads: every function is for the application's thread. Objects that arrive from the
 *   library's reader thread may be deleted on the application's thread.
 *
 * Usable from C99 and C++.
 */
#ifndef VELMIRA_VELMIRA_H
#define VELMIRA_VELMIRA_H

#include <stdint.h>

#include "velmira/platform.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handle types, one per family. */
typedef struct VmError VmError;
typedef struct VmNmeaParser VmNmeaParser;
typedef struct VmNmeaSentence VmNmeaSentence;
typedef struct VmGpsFix VmGpsFix;
typedef struct VmMovement VmMovement;
typedef struct VmSatellites VmSatellites;
typedef struct VmSatellite VmSatellite;
typedef struct VmQuality VmQuality;
typedef struct VmComStatus VmComStatus;
typedef struct VmPosition VmPosition;

/* ------------------------------------------------------------------------------------------
 * Error records
 *
 * Error codes: 0 success; 10003 invalid argument; 10004 index out of range; 10005 internal
 * failure; 10006 not allowed in the current state; 10007 serial port failure; 10010 file
 * input/output; 10012 out of memory; 10013 unknown file format; 10014 unknown file version;
 * 10015 map library not open; a platform error number (2 missing, 5 denied or busy, 31
 * other) where opening a port or file failed.
 * ---------------------------------------------------------------------------------------- */

/* The code of the last operation on the object whose record this is (0 after success).
 * `record` comes from a GetErrHandle function for a live object. */
VELMIRA_API int16_t Error_ErrNum(VmError* record);

/* The message of the record as a kept string (empty after success), also stored through
 * `out` (may be null). Valid until the next Error_ErrDesc call anywhere in the process. */
VELMIRA_API BSTR Error_ErrDesc(VmError* record, BSTR* out);

/* ------------------------------------------------------------------------------------------
 * NmeaSentence: one checksummed NMEA sentence, as delivered with message kind 1.
 *
 * A sentence made by NmeaSentence_New has no text: its command and text are empty strings
 * and it has no fields.
 * ---------------------------------------------------------------------------------------- */

/* A sentence without text. Delete it with NmeaSentence_Delete. */
VELMIRA_API VmNmeaSentence* NmeaSentence_New(void);
/* Drops the caller's reference; null does nothing. */
VELMIRA_API void NmeaSentence_Delete(VmNmeaSentence* h);
/* The sentence's error record, or null for a null handle. */
VELMIRA_API VmError* NmeaSentence_GetErrHandle(VmNmeaSentence* h);

/* The three-letter formatter after the talker ("RMC" of "$GPRMC,..."), as a kept string
 * also stored through `out`. Valid until the next NmeaSentence_GetCommand call or until the
 * sentence is destroyed, whichever comes later. */
VELMIRA_API BSTR NmeaSentence_GetCommand(VmNmeaSentence* h, BSTR* out);

/* The whole sentence from "$" through the two checksum digits (without CR LF), as a kept
 * string also stored through `out`; validity as for NmeaSentence_GetCommand. */
VELMIRA_API BSTR NmeaSentence_GetSentence(VmNmeaSentence* h, BSTR* out);

/* The number of fields (commas in the text); 0 for a sentence without text. */
VELMIRA_API int16_t NmeaSentence_GetFieldCount(VmNmeaSentence* h);

/* Field `index`, 1 to the field count (field 1 follows the command); an empty field is an
 * empty string. Outside 1..count the result (and *out) is null. Fields longer than 127
 * characters are cut to their first 127. The string is held by the sentence: do not free
 * it; it stays valid until the sentence is destroyed, and asking again returns the same
 * string. */
VELMIRA_API BSTR NmeaSentence_Fields(VmNmeaSentence* h, int16_t index, BSTR* out);

/* ------------------------------------------------------------------------------------------
 * GPS input: NmeaParser, GpsFix, Movement, Satellites, Satellite, Quality, ComStatus.
 * ---------------------------------------------------------------------------------------- */

/* (declarations of the GPS input families go here) */


/* ------------------------------------------------------------------------------------------
 * Position: a point on one of 27 datums, in latitude/longitude or in one of 49 grids.
 *
 * Datum ids 1..27 (1 WGS 84, the default); grid ids 0 (none) to 49; zones 1..60 on the UTM
 * grids (1, 2, 13, 15, 16, 28, 32, 33, 47), 1..10 on grid 29 (3-degree Gauss-Krueger), State
 * Plane zone codes (state x 100 + zone, e.g. 101) on grids 30 (1927) and 31 (1983).
 *
 * A position keeps latitude/longitude and easting/northing consistent lazily: whichever was
 * written last is authoritative and the other is recomputed on the next read. To convert to
 * a grid: set the grid (and on grids 30/31 the zone), write latitude/longitude, read
 * easting/northing. From a grid: set grid, zone, easting and northing, read latitude and
 * longitude. On the UTM grids the zone is found from the longitude unless Position_SetZone
 * pinned one. A datum set before anything else only labels the point; later it converts the
 * point onto the new datum through a seven-parameter shift.
 *
 * All failures are code 10003; the message says which (see each function). A rejected write
 * changes nothing. Readers return the last computed value when a refresh fails.
 * Getters of doubles write through `out` (may be null) and return `out`.
 * ---------------------------------------------------------------------------------------- */

/* Latitude 0, longitude 0, heights 0, datum 1, grid 0, zone 0. Null when out of memory.
 * Delete it with Position_Delete. */
VELMIRA_API VmPosition* Position_New(void);
/* Drops the caller's reference; null does nothing. */
VELMIRA_API void Position_Delete(VmPosition* h);
/* The position's error record, or null for a null handle. */
VELMIRA_API VmError* Position_GetErrHandle(VmPosition* h);

/* Latitude in radians, north positive, -pi/2..pi/2. Reading recomputes it from the grid when
 * easting/northing were written last (errors as for Position_GetEasting, plus "Grid not
 * set!" without a grid). */
VELMIRA_API double* Position_GetLatitudeRads(VmPosition* h, double* out);
/* Accepts -pi/2..pi/2 (bounds included), else "Invalid latitude. Must be between -PI/2 and
 * PI/2" (NaN too). A null `value` is "Invalid parameter!". */
VELMIRA_API void Position_SetLatitudeRads(VmPosition* h, const double* value);
/* Longitude in radians, east positive, always within -pi..pi. */
VELMIRA_API double* Position_GetLongitudeRads(VmPosition* h, double* out);
/* Any value; it is reduced into -pi..pi (4.0 reads back as 4.0 - 2 pi). */
VELMIRA_API void Position_SetLongitudeRads(VmPosition* h, const double* value);
/* The same in decimal degrees (radians x 180/pi). */
VELMIRA_API double* Position_GetLatitudeDecDeg(VmPosition* h, double* out);
VELMIRA_API void Position_SetLatitudeDecDeg(VmPosition* h, const double* value);
VELMIRA_API double* Position_GetLongitudeDecDeg(VmPosition* h, double* out);
VELMIRA_API void Position_SetLongitudeDecDeg(VmPosition* h, const double* value);

/* Whole degrees, whole minutes and seconds (rounded to 0.001) of the absolute latitude, and
 * the hemisphere "N" or "S" as a kept string (also stored through `hemisphere`; each out
 * pointer may be null). Valid until the next Position_GetLatitudeDMS call; do not free. */
VELMIRA_API BSTR Position_GetLatitudeDMS(VmPosition* h, int16_t* degrees, int16_t* minutes,
                                         double* seconds, BSTR* hemisphere);
/* The same for the longitude with "E" or "W" (kept until the next Position_GetLongitudeDMS). */
VELMIRA_API BSTR Position_GetLongitudeDMS(VmPosition* h, int16_t* degrees, int16_t* minutes,
                                          double* seconds, BSTR* hemisphere);
/* degrees 0..90, else "Invalid value of Degrees. Must be between 0 and 90!"; minutes and
 * seconds are not checked (90 30 0 gives 90.5 degrees). A hemisphere text starting with
 * exactly "S" makes the latitude southern; anything else (also "s" or null) northern. */
VELMIRA_API void Position_SetLatitudeDMS(VmPosition* h, const double* degrees,
                                         const double* minutes, const double* seconds,
                                         const WCHAR* hemisphere);
/* Any degrees; a hemisphere starting with exactly "W" makes the longitude western. */
VELMIRA_API void Position_SetLongitudeDMS(VmPosition* h, const double* degrees,
                                          const double* minutes, const double* seconds,
                                          const WCHAR* hemisphere);

/* The latitude as text, format 0 only: degrees, minutes, seconds to two decimals and the
 * hemisphere, e.g. "59 20'5.28 N" (at most 14 characters). Kept string, also stored through
 * `out`: valid until the next Position_GetLatitudeString call; do not free. Another format
 * gives "Invalid parameter!" and null. */
VELMIRA_API BSTR Position_GetLatitudeString(VmPosition* h, BSTR* out, int16_t format);
/* The same for the longitude, e.g. "11 31'0.00 W" (kept until the next call of this one). */
VELMIRA_API BSTR Position_GetLongitudeString(VmPosition* h, BSTR* out, int16_t format);

/* kind 0: altitude above mean sea level (from a GPS fix; 0 when unknown); kind 1: height
 * above the datum's ellipsoid, metres. Other kinds: "Invalid parameter!" and 0. */
VELMIRA_API double* Position_GetAltitude(VmPosition* h, int16_t kind, double* out);
/* Only kind 1 is accepted (else "Invalid parameter!"): sets the ellipsoidal height in metres
 * and resets the altitude above sea level to 0. */
VELMIRA_API void Position_SetAltitude(VmPosition* h, const double* value, int16_t kind);

/* Easting in metres in the current grid (and zone), recomputed when latitude/longitude,
 * grid or zone changed since the last read. Errors: "Zone must be specified for this grid"
 * (grids 30/31 without a valid zone code), "Position outside grid". With grid 0 nothing is
 * computed and the stored value (0 for a new position) is returned. */
VELMIRA_API double* Position_GetEasting(VmPosition* h, double* out);
/* Makes the grid coordinates authoritative: latitude/longitude follow on the next read. */
VELMIRA_API void Position_SetEasting(VmPosition* h, const double* value);
/* Northing in metres; as Position_GetEasting. */
VELMIRA_API double* Position_GetNorthing(VmPosition* h, double* out);
VELMIRA_API void Position_SetNorthing(VmPosition* h, const double* value);

/* The zone as it stands (recomputed only when easting/northing are read): on the UTM grids
 * the number and the latitude band letter ("32U"), on grid 29 the number ("4"), elsewhere
 * (State Plane included) an empty string. A copy string, also stored through `out`: the
 * caller frees it with SysFreeString. */
VELMIRA_API BSTR Position_GetZone(VmPosition* h, BSTR* out);
/* Pins a zone: 1..60 on the UTM grids, 1..10 on grid 29, a zone code of the grid's table on
 * grids 30/31; else "Invalid Zone for this grid!" (and a UTM grid returns to automatic
 * zones). Grids without zones: "Grid does not support Zones!". Setting the current zone
 * again does nothing. */
VELMIRA_API void Position_SetZone(VmPosition* h, int16_t zone);

/* The datum id, 1..27. */
VELMIRA_API int16_t Position_GetDatum(VmPosition* h);
/* 1..27, else "Unknown datum!". On a new position it only labels the coordinates to come;
 * afterwards it converts the point onto the new datum (the grid coordinates stay valid). */
VELMIRA_API void Position_SetDatum(VmPosition* h, int16_t datum);
/* The grid id, 0 (none) to 49. */
VELMIRA_API int16_t Position_GetGrid(VmPosition* h);
/* 1..49, else "Unknown grid!". The zone is kept; latitude/longitude become authoritative. */
VELMIRA_API void Position_SetGrid(VmPosition* h, int16_t grid);


#ifdef __cplusplus
}
#endif

#endif /* VELMIRA_VELMIRA_H */

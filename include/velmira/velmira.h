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
typedef struct VmPen VmPen;
typedef struct VmBrush VmBrush;
typedef struct VmTextFont VmTextFont;
typedef struct VmPoint VmPoint;
typedef struct VmIcon VmIcon;
typedef struct VmLabel VmLabel;
typedef struct VmLine VmLine;
typedef struct VmRectangle VmRectangle;
typedef struct VmEllipse VmEllipse;
/* Any overlay object (VmIcon, VmLine, VmEllipse, VmRectangle or VmLabel); the viewer's
 * functions pass its type code beside it. */
typedef struct VmMapObject VmMapObject;
typedef struct VmLayers VmLayers;
typedef struct VmLayer VmLayer;
typedef struct VmViewer VmViewer;
typedef struct VmMap VmMap;
typedef struct VmMapLib VmMapLib;

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

/*
 * NmeaParser takes NMEA 0183 text from the caller (NmeaParser_Parse) or reads it from a
 * serial port on a thread of its own (NmeaParser_SetPortEnabled), and delivers what the
 * sentences say in one of two modes:
 *
 * - Event mode (the default): every result is posted as window message 1125 to the window
 *   named with NmeaParser_SetCallbackHWND. wParam is the kind, lParam the object handle:
 *     1 VmNmeaSentence* (every checksummed sentence, after the records it yielded)
 *     5 VmGpsFix*       (RMC, GLL or GGA with a fix)
 *     6 VmSatellites*   (after the last GSV message of a complete group)
 *     7 VmMovement*     (RMC or VTG whose data are valid)
 *     8 VmQuality*      (every GSA)
 *     9 VmComStatus*    (the port found valid NMEA, or lost it)
 *   For one RMC the order is 5, 7, 1. Each message carries one reference that the receiver
 *   gives back with the family's Delete, on any thread. A message that cannot be delivered
 *   (no window set, or the window deleted before or after posting) has its reference
 *   released by the library: nothing leaks, and nothing is delivered later.
 * - Polled mode (NmeaParser_SetNoEvents(h, 1), port enabled): nothing is posted; the parser
 *   keeps the latest record of each kind and the Get functions return copies.
 *
 * Port numbers are COM port numbers (see VmComPort_SetDevice); port 0 or rate 0 asks the
 * reader thread to detect the receiver over COM1-COM8 at 4800, then 57600, 9600, 19200 and
 * 38400 baud.
 */

/* A new parser in event mode, port disabled, port 0, 4800 baud, GPS datum 1 (WGS 84).
 * Delete it with NmeaParser_Delete, which stops its reader thread first. */
VELMIRA_API VmNmeaParser* NmeaParser_New(void);
/* Drops the caller's reference; the last one stops the reader thread (waiting up to 4000 ms,
 * longer only if the thread has not ended by then) and frees the parser. Null does nothing. */
VELMIRA_API void NmeaParser_Delete(VmNmeaParser* h);
/* The parser's error record, or null for a null handle. */
VELMIRA_API VmError* NmeaParser_GetErrHandle(VmNmeaParser* h);

/* Names the window that receives message 1125 from every parser in the process (the handle
 * `h` is not looked at). Set it before data flows; null stops delivery (messages are then
 * released, not queued). */
VELMIRA_API void NmeaParser_SetCallbackHWND(VmNmeaParser* h, HWND window);

/* Hands NMEA text to the parser (low byte of each unit, NUL-terminated). Sentences are
 * decoded and delivered during the call, on the calling thread. A sentence may be split over
 * several calls. The text of one call plus any unfinished sentence before it must fit in
 * 512 bytes: of n pending bytes beyond 512 only the last n mod 512 are searched.
 * Fails with 10006 "Port must not be enabled!" while the port is enabled. */
VELMIRA_API void NmeaParser_Parse(VmNmeaParser* h, const WCHAR* text);

/* Queues the low byte of `count` units of `buffer` for sending to the open port. If more
 * than 2048 bytes are still queued, those are discarded first. Fails with 10006 "Port must
 * be enabled!" while disabled, and 10006 "Autodetect mode not allowed" with port or rate 0. */
VELMIRA_API void NmeaParser_WriteData(VmNmeaParser* h, const WCHAR* buffer, int16_t count);

/* COM port number, 0 to detect. Fails with 10006 "Port must not be enabled!" while enabled. */
VELMIRA_API void NmeaParser_SetComPort(VmNmeaParser* h, int16_t port);

/* Baud rate: 0 (detect), 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000,
 * 57600, 115200, 128000 or 256000; others fail with 10003 "Unknown baudrate!". While
 * enabled it waits for queued output to drain and reconfigures the port; that is refused
 * with 10006 "Autodetect mode not allowed" when port or rate is 0. */
VELMIRA_API void NmeaParser_SetBaudRate(VmNmeaParser* h, int32_t rate);

/* Nonzero starts reading the port: with port and rate set the port is opened now (failures:
 * 10007 "Comm port does not exist", 10007 "Comm port in use!", 10007 "Unknown baudrate!",
 * or the system error number with "Could not open comm port!"; the parser stays disabled);
 * otherwise the reader thread detects them. Zero stops the thread within 4000 ms (else 10005
 * "Failed to end serial thread!") and clears the latest records. */
VELMIRA_API void NmeaParser_SetPortEnabled(VmNmeaParser* h, uint8_t enabled);

/* The datum, 1 to 27, of the coordinates the receiver sends; others fail with 10003
 * "Unknown datum!" and leave it unchanged. Allowed at any time. */
VELMIRA_API void NmeaParser_SetGpsDatum(VmNmeaParser* h, int16_t datum);

/* Nonzero selects polled mode. Fails with 10006 "Port must not be enabled!" while enabled. */
VELMIRA_API void NmeaParser_SetNoEvents(VmNmeaParser* h, uint8_t noEvents);

/* Polled mode, port enabled (else 10006 "NoEvents must be set!" or "Port must be enabled!").
 * With `timeoutMs` < 1: a copy of the latest fix, or null when there is none. Otherwise
 * waits up to `timeoutMs` ms for the next fix of at least `minimumFixType` (2 or 3) and
 * returns a copy of it, or null on time-out; while such a request waits, fixes of a lower
 * type are dropped. The result is new (delete it with GpsFix_Delete). The Get functions may
 * be called from several threads at once, but each record kind has one waiter: a later
 * waiting call of the same kind takes it over, and the earlier one returns null at its
 * time-out; the minimum fix type is the latest caller's. */
VELMIRA_API VmGpsFix* NmeaParser_GetGpsFix(VmNmeaParser* h, int32_t timeoutMs, int16_t minimumFixType);
/* As NmeaParser_GetGpsFix for movement records (no minimum). Delete with Movement_Delete. */
VELMIRA_API VmMovement* NmeaParser_GetMovement(VmNmeaParser* h, int32_t timeoutMs);
/* As NmeaParser_GetGpsFix for satellite groups. Delete with Satellites_Delete. */
VELMIRA_API VmSatellites* NmeaParser_GetSatellites(VmNmeaParser* h, int32_t timeoutMs);
/* As NmeaParser_GetGpsFix for quality records. Delete with Quality_Delete. */
VELMIRA_API VmQuality* NmeaParser_GetQuality(VmNmeaParser* h, int32_t timeoutMs);

/* The port, rate and validity the reader sees now, in any state and mode. New object:
 * delete it with ComStatus_Delete. */
VELMIRA_API VmComStatus* NmeaParser_GetComStatus(VmNmeaParser* h);

/* GpsFix: fix type, UTC time stamp and position of one fix. Fixes come only from the
 * parser. The time stamp's date parts are 0 for GLL and GGA fixes (they carry no date); two-
 * digit years below 80 are 20yy, others 19yy. */
VELMIRA_API void GpsFix_Delete(VmGpsFix* h);
VELMIRA_API VmError* GpsFix_GetErrHandle(VmGpsFix* h);
/* 2 (RMC or GLL: no altitude) or 3 (GGA: with altitude). */
VELMIRA_API int32_t GpsFix_GetFixType(VmGpsFix* h);
/* The fix's position as a new Position (delete it with Position_Delete): latitude and
 * longitude as the sentence gave them on the parser's GPS datum, no grid; for type 3 the
 * altitude above mean sea level and the height above the ellipsoid (altitude plus geoid
 * separation, 0 when the sentence has no separation field). */
VELMIRA_API VmPosition* GpsFix_GetPosition(VmGpsFix* h);
VELMIRA_API int16_t GpsFix_GetYear(VmGpsFix* h);
VELMIRA_API int16_t GpsFix_GetMonth(VmGpsFix* h);
VELMIRA_API int16_t GpsFix_GetDay(VmGpsFix* h);
VELMIRA_API int16_t GpsFix_GetHour(VmGpsFix* h);
VELMIRA_API int16_t GpsFix_GetMinute(VmGpsFix* h);
VELMIRA_API int16_t GpsFix_GetSecond(VmGpsFix* h);
/* Milliseconds, 0 to 999. */
VELMIRA_API int16_t GpsFix_GetMilliSecond(VmGpsFix* h);

/* Movement: speed, heading and magnetic variation from an RMC or VTG sentence. */
VELMIRA_API void Movement_Delete(VmMovement* h);
VELMIRA_API VmError* Movement_GetErrHandle(VmMovement* h);
/* Speed over ground written to *out in `unit`: 0 knots, 1 metres per second, 2 kilometres
 * per hour, 3 miles per hour; another unit gives 0.0 and 10003 "Invalid parameter!". */
VELMIRA_API void Movement_GetSpeed(VmMovement* h, int16_t unit, double* out);
/* Course over ground, degrees from true north. */
VELMIRA_API void Movement_GetHeading(VmMovement* h, double* out);
/* Magnetic variation in degrees, west negative; 0 when the receiver gives none. */
VELMIRA_API void Movement_GetMagneticVariation(VmMovement* h, double* out);

/* Satellites: the satellites in view from one complete group of GSV messages. */
VELMIRA_API void Satellites_Delete(VmSatellites* h);
VELMIRA_API VmError* Satellites_GetErrHandle(VmSatellites* h);
/* Satellites in view, as the receiver counts them (may exceed the 12 listed). */
VELMIRA_API int16_t Satellites_GetCount(VmSatellites* h);
/* Satellite `index`, 1 to min(12, count), in message order; slots the group did not list
 * hold zeros. Else null with 10004 "Index out of bounds". New object: delete it with
 * Satellite_Delete. */
VELMIRA_API VmSatellite* Satellites_Item(VmSatellites* h, int16_t index);

/* Satellite: one satellite in view. */
VELMIRA_API void Satellite_Delete(VmSatellite* h);
VELMIRA_API VmError* Satellite_GetErrHandle(VmSatellite* h);
/* Satellite number (PRN). */
VELMIRA_API int16_t Satellite_GetID(VmSatellite* h);
/* Elevation, degrees 0 to 90. */
VELMIRA_API int16_t Satellite_GetElevation(VmSatellite* h);
/* Azimuth, degrees from true north 0 to 359. */
VELMIRA_API int16_t Satellite_GetAzimuth(VmSatellite* h);
/* Signal-to-noise ratio, dB; 0 when not tracked. */
VELMIRA_API int16_t Satellite_GetSNR(VmSatellite* h);

/* Quality: dilution of precision from a GSA sentence (0.0 where the receiver left a field
 * empty). */
VELMIRA_API void Quality_Delete(VmQuality* h);
VELMIRA_API VmError* Quality_GetErrHandle(VmQuality* h);
VELMIRA_API void Quality_GetHDOP(VmQuality* h, double* out);
VELMIRA_API void Quality_GetVDOP(VmQuality* h, double* out);
VELMIRA_API void Quality_GetPDOP(VmQuality* h, double* out);

/* ComStatus: the serial port as the reader thread saw it. */
VELMIRA_API void ComStatus_Delete(VmComStatus* h);
VELMIRA_API VmError* ComStatus_GetErrHandle(VmComStatus* h);
/* 1 while valid NMEA is being received (a sentence within the last 20 read cycles). */
VELMIRA_API uint8_t ComStatus_GetValidNmea(VmComStatus* h);
/* COM port number; 0 while none is open. */
VELMIRA_API int16_t ComStatus_GetComPort(VmComStatus* h);
/* Baud rate of the open port; 0 while none is open. */
VELMIRA_API int32_t ComStatus_GetBaudRate(VmComStatus* h);


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

/* ------------------------------------------------------------------------------------------
 * Drawing attributes: Pen, Brush, TextFont, Point.
 *
 * Small value objects that overlay objects draw with. Holders share them by reference, not by
 * copy: a pen set on two labels, or used as a font's colour, is the same pen, and a change
 * made through any handle shows at the next drawing. Every field accessor below only reads or
 * stores its field and leaves the error record as it was; none of them fails.
 *
 * Colour parts are 16-bit and stored unchanged (no range check); drawing uses the low 8 bits
 * of each, so 256 draws as 0, 300 as 44 and 511 as 255.
 * ---------------------------------------------------------------------------------------- */

/* Pen: outline colour and width. New pens are black (0, 0, 0) and 1 pixel wide. Null when out
 * of memory. Delete it with Pen_Delete. */
VELMIRA_API VmPen* Pen_New(void);
/* Drops the caller's reference; holders that share the pen keep it. Null does nothing. */
VELMIRA_API void Pen_Delete(VmPen* h);
/* The pen's error record, or null for a null handle. */
VELMIRA_API VmError* Pen_GetErrHandle(VmPen* h);
VELMIRA_API int16_t Pen_GetRed(VmPen* h);
VELMIRA_API void Pen_SetRed(VmPen* h, int16_t red);
VELMIRA_API int16_t Pen_GetGreen(VmPen* h);
VELMIRA_API void Pen_SetGreen(VmPen* h, int16_t green);
VELMIRA_API int16_t Pen_GetBlue(VmPen* h);
VELMIRA_API void Pen_SetBlue(VmPen* h, int16_t blue);
/* Line width in pixels, never negative. */
VELMIRA_API int16_t Pen_GetWidth(VmPen* h);
/* Stores the absolute value (-3 is stored as 3; -32768, which has no positive 16-bit twin,
 * as 32767). */
VELMIRA_API void Pen_SetWidth(VmPen* h, int16_t width);

/* Brush: fill colour, or no fill while transparent. New brushes are transparent (an object
 * drawn with a new brush is not filled) with colour 0, 0, 0. Null when out of memory. Delete
 * it with Brush_Delete. */
VELMIRA_API VmBrush* Brush_New(void);
/* Drops the caller's reference; holders that share the brush keep it. Null does nothing. */
VELMIRA_API void Brush_Delete(VmBrush* h);
/* The brush's error record, or null for a null handle. */
VELMIRA_API VmError* Brush_GetErrHandle(VmBrush* h);
VELMIRA_API int16_t Brush_GetRed(VmBrush* h);
VELMIRA_API void Brush_SetRed(VmBrush* h, int16_t red);
VELMIRA_API int16_t Brush_GetGreen(VmBrush* h);
VELMIRA_API void Brush_SetGreen(VmBrush* h, int16_t green);
VELMIRA_API int16_t Brush_GetBlue(VmBrush* h);
VELMIRA_API void Brush_SetBlue(VmBrush* h, int16_t blue);
/* The flag as last set (nonzero: no fill; the colour is then ignored). */
VELMIRA_API uint8_t Brush_GetTransparent(VmBrush* h);
VELMIRA_API void Brush_SetTransparent(VmBrush* h, uint8_t transparent);

/* TextFont: typeface, size, weight, slant and text colour of labels. A new font is "Times",
 * 10 points, neither bold nor italic, with a new black colour pen of its own. Delete it with
 * TextFont_Delete. */
VELMIRA_API VmTextFont* TextFont_New(void);
/* Drops the caller's reference; the last one also releases the font's colour pen. Null does
 * nothing. */
VELMIRA_API void TextFont_Delete(VmTextFont* h);
/* The font's error record, or null for a null handle. */
VELMIRA_API VmError* TextFont_GetErrHandle(VmTextFont* h);
/* The typeface name as a copy string, also stored through `out` (may be null): each call makes
 * a new string, which the caller frees with SysFreeString. */
VELMIRA_API BSTR TextFont_GetFace(VmTextFont* h, BSTR* out);
/* Replaces the typeface name (low 8 bits of each unit, so names are plain ASCII). Null stores
 * an empty name: the platform's default typeface is drawn. Names are kept whole, but only
 * their first 31 characters reach the platform font. */
VELMIRA_API void TextFont_SetFace(VmTextFont* h, const WCHAR* face);
/* Character size in points, written through `out` (null writes nothing). */
VELMIRA_API void TextFont_GetSize(VmTextFont* h, double* out);
/* Reads the size in points through `value` (null changes nothing); no range check. Drawing
 * uses the whole points only: 10.9 draws as 10. */
VELMIRA_API void TextFont_SetSize(VmTextFont* h, const double* value);
/* Bold weight: the flag as last set, nonzero meaning bold. */
VELMIRA_API uint8_t TextFont_GetBold(VmTextFont* h);
VELMIRA_API void TextFont_SetBold(VmTextFont* h, uint8_t bold);
/* Slanted face: the flag as last set, nonzero meaning italic. */
VELMIRA_API uint8_t TextFont_GetItalic(VmTextFont* h);
VELMIRA_API void TextFont_SetItalic(VmTextFont* h, uint8_t italic);
/* The font's colour pen itself with one more reference: changes made through it change the
 * text colour. Release it with Pen_Delete. Only its colour is used, not its width. */
VELMIRA_API VmPen* TextFont_GetColor(VmTextFont* h);
/* Shares `pen` as the text colour (the font adds its own reference and releases its previous
 * pen; the caller still deletes its handle). Null gives the font a new black pen of its own. */
VELMIRA_API void TextFont_SetColor(VmTextFont* h, VmPen* pen);

/* Point: a pixel position, x to the right and y downwards. Points the viewer and overlay
 * objects take or return are in view pixels (the current map's picture as zoomed and
 * rotated). A new point is 0, 0; null when out of memory. Delete it with Point_Delete. */
VELMIRA_API VmPoint* Point_New(void);
/* Drops the caller's reference; null does nothing. */
VELMIRA_API void Point_Delete(VmPoint* h);
/* The point's error record, or null for a null handle. */
VELMIRA_API VmError* Point_GetErrHandle(VmPoint* h);
VELMIRA_API int32_t Point_GetX(VmPoint* h);
VELMIRA_API void Point_SetX(VmPoint* h, int32_t x);
VELMIRA_API int32_t Point_GetY(VmPoint* h);
VELMIRA_API void Point_SetY(VmPoint* h, int32_t y);

/* ------------------------------------------------------------------------------------------
 * Overlay objects: Icon, Label, Line, Rectangle, Ellipse.
 *
 * Things the viewer draws on the map. Each is anchored to a geographic Position that the
 * viewer's current map turns into a point in view pixels (the map's picture as zoomed and
 * rotated, x to the right, y downwards); alignment, offsets and size turn the point into a
 * box covering the columns left .. left + width and the rows top .. top + height, both ends
 * included. The viewer creates these objects (Viewer_NewIcon, Viewer_NewLabel, ...), gives
 * them its map and keeps them in layers. Objects made with the families' own New functions
 * have no map: their SetPosition, SetPosition1 and SetPosition2 do nothing at all until a
 * viewer gives them one.
 *
 * Shared rules:
 * - Pens, brushes, fonts and positions are shared, not copied: the object keeps the handle's
 *   object (adding its own reference), and a later change through any handle shows at the
 *   next drawing. Get functions of these return the object itself with one more reference,
 *   which the caller gives back with Pen_Delete, Brush_Delete, TextFont_Delete or
 *   Position_Delete; null when none is stored.
 * - SetPosition and its corner variants convert the Position in place to the map's grid and
 *   zone, or datum.
 * - Field accessors (IDs, offsets, sizes, alignments) never fail and leave the error record
 *   as it was. SetPen and SetBrush report a null handle without clearing the record first.
 * - Sizes and offsets are pixels (signed 32-bit); IDs are the objects' identity numbers, by
 *   which the viewer finds them, stored without a uniqueness check.
 * ---------------------------------------------------------------------------------------- */

/* Icon: a picture from the map library, drawn at its own pixel size with its top-left corner
 * at the box's top-left corner; its size comes from the library and serves placement and hit
 * tests. Icon_New makes an empty icon (no picture, size 0 x 0, empty name) that draws
 * nothing; pictures come with Viewer_NewIcon. Null when out of memory. */
VELMIRA_API VmIcon* Icon_New(void);
/* Drops the caller's reference; a layer holding the icon keeps it. Null does nothing. */
VELMIRA_API void Icon_Delete(VmIcon* h);
/* The icon's error record, or null for a null handle. */
VELMIRA_API VmError* Icon_GetErrHandle(VmIcon* h);
VELMIRA_API int32_t Icon_GetID(VmIcon* h);
VELMIRA_API void Icon_SetID(VmIcon* h, int32_t id);
/* The name the icon has in its map library (at most 16 characters) as a copy string, also
 * stored through `out` when it is not null; the caller frees it with SysFreeString. */
VELMIRA_API BSTR Icon_GetName(VmIcon* h, BSTR* out);
/* The anchor position (shared; null when none was set). */
VELMIRA_API VmPosition* Icon_GetPosition(VmIcon* h);
/* Anchors the icon at `position` (shared; null removes it), centred on it unless offset. */
VELMIRA_API void Icon_SetPosition(VmIcon* h, VmPosition* position);
/* Pixels added to the box's left and top. */
VELMIRA_API int32_t Icon_GetOffsetX(VmIcon* h);
VELMIRA_API void Icon_SetOffsetX(VmIcon* h, int32_t offset);
VELMIRA_API int32_t Icon_GetOffsetY(VmIcon* h);
VELMIRA_API void Icon_SetOffsetY(VmIcon* h, int32_t offset);
/* The picture's size in pixels as the map library gives it. */
VELMIRA_API int32_t Icon_GetWidth(VmIcon* h);
VELMIRA_API int32_t Icon_GetHeight(VmIcon* h);

/* Label: text in an optional box. The box (outline with the pen, filled with the brush) is
 * drawn only while the brush is opaque; a new label's brush is white and transparent, so set
 * Brush_SetTransparent(brush, 0) for a box. The text sits pen width + 2 pixels inside the box.
 * Its size is measured on the viewer's drawing surface from its first drawing on: until then
 * Label_GetWidth and Label_GetHeight give 0, even with a requested size. A change that alters
 * the size through a shared handle (the brush's transparency, the pen's width, the font's
 * face, size, weight or slant) is measured at the label's next drawing, like the label's own
 * setters. Null when out of memory. */
VELMIRA_API VmLabel* Label_New(void);
/* Drops the caller's reference; a layer holding the label keeps it. Null does nothing. */
VELMIRA_API void Label_Delete(VmLabel* h);
/* The label's error record, or null for a null handle. */
VELMIRA_API VmError* Label_GetErrHandle(VmLabel* h);
VELMIRA_API int32_t Label_GetID(VmLabel* h);
VELMIRA_API void Label_SetID(VmLabel* h, int32_t id);
/* The text as a copy string (empty when none was set), also stored through `out` when it is
 * not null; the caller frees it with SysFreeString. */
VELMIRA_API BSTR Label_GetText(VmLabel* h, BSTR* out);
/* Replaces the text (low 8 bits of each unit; null stores an empty text) and measures the
 * label again. Lines break at CR LF, LF or CR. */
VELMIRA_API void Label_SetText(VmLabel* h, const WCHAR* text);
/* The font (shared), or null after Label_SetTextFont(h, NULL). A new label has a font of its
 * own ("Times", 10 points, black). */
VELMIRA_API VmTextFont* Label_GetTextFont(VmLabel* h);
/* Shares `font` and measures again; null leaves the label without a font, so its text is
 * measured and drawn in the drawing surface's own font, in black. */
VELMIRA_API void Label_SetTextFont(VmLabel* h, VmTextFont* font);
/* The outline pen and the box's brush (shared, never null). */
VELMIRA_API VmPen* Label_GetPen(VmLabel* h);
VELMIRA_API VmBrush* Label_GetBrush(VmLabel* h);
/* Share the pen or brush and measure again (an opaque box adds 2 x pen width + 4 pixels to
 * the text's extent). Null: 10003 "Parameter not a valid object!", nothing changes. */
VELMIRA_API void Label_SetPen(VmLabel* h, VmPen* pen);
VELMIRA_API void Label_SetBrush(VmLabel* h, VmBrush* brush);
/* The box's current size in pixels: the requested size where one is set, else the measured
 * text (plus the border of an opaque box). */
VELMIRA_API int32_t Label_GetWidth(VmLabel* h);
VELMIRA_API int32_t Label_GetHeight(VmLabel* h);
/* Request a box size in pixels; 0 (the default) takes the measured size. A requested width
 * wraps the text at words within it (less the border of an opaque box). */
VELMIRA_API void Label_SetWidth(VmLabel* h, int32_t width);
VELMIRA_API void Label_SetHeight(VmLabel* h, int32_t height);
/* The anchor position (shared; null when none was set). */
VELMIRA_API VmPosition* Label_GetPosition(VmLabel* h);
VELMIRA_API void Label_SetPosition(VmLabel* h, VmPosition* position);
/* Pixels added to the box's left and top. */
VELMIRA_API int32_t Label_GetOffsetX(VmLabel* h);
VELMIRA_API void Label_SetOffsetX(VmLabel* h, int32_t offset);
VELMIRA_API int32_t Label_GetOffsetY(VmLabel* h);
VELMIRA_API void Label_SetOffsetY(VmLabel* h, int32_t offset);
/* The box on the anchor point, horizontally: 0 centred (default), 1 the box's left edge at the
 * point, 2 its right edge. Vertically: 0 centred (default), 3 top edge, 4 bottom edge. Other
 * values: 10003 "Invalid parameter!" and the alignment stays. */
VELMIRA_API int32_t Label_GetAlignX(VmLabel* h);
VELMIRA_API void Label_SetAlignX(VmLabel* h, int32_t align);
VELMIRA_API int32_t Label_GetAlignY(VmLabel* h);
VELMIRA_API void Label_SetAlignY(VmLabel* h, int32_t align);
/* The text in the box, horizontally: 0 centred (default), 1 left, 2 right; vertically:
 * 0 centred (default), 3 top, 4 bottom. Other values: 10003 "Invalid parameter!". */
VELMIRA_API int32_t Label_GetTextHAlign(VmLabel* h);
VELMIRA_API void Label_SetTextHAlign(VmLabel* h, int32_t align);
VELMIRA_API int32_t Label_GetTextVAlign(VmLabel* h);
VELMIRA_API void Label_SetTextVAlign(VmLabel* h, int32_t align);

/* Line: a straight line from Position1 to Position2 drawn with the pen; it follows the map's
 * rotation. Until both ends are set the other end is view pixel (0, 0). A click hits it
 * within half the pen's width along the shorter axis of the line (vertically for flat lines,
 * horizontally for steep ones). Null when out of memory. */
VELMIRA_API VmLine* Line_New(void);
/* Drops the caller's reference; a layer holding the line keeps it. Null does nothing. */
VELMIRA_API void Line_Delete(VmLine* h);
/* The line's error record, or null for a null handle. */
VELMIRA_API VmError* Line_GetErrHandle(VmLine* h);
VELMIRA_API int32_t Line_GetID(VmLine* h);
VELMIRA_API void Line_SetID(VmLine* h, int32_t id);
/* The ends (shared; null when not set). Setting one moves that end to the position's point
 * (null stores no position and leaves the end where it was). */
VELMIRA_API VmPosition* Line_GetPosition1(VmLine* h);
VELMIRA_API void Line_SetPosition1(VmLine* h, VmPosition* position);
VELMIRA_API VmPosition* Line_GetPosition2(VmLine* h);
VELMIRA_API void Line_SetPosition2(VmLine* h, VmPosition* position);
/* The pen (shared, never null); SetPen with null: 10003 "Parameter not a valid object!". */
VELMIRA_API VmPen* Line_GetPen(VmLine* h);
VELMIRA_API void Line_SetPen(VmLine* h, VmPen* pen);

/* Rectangle: an upright rectangle, outlined with the pen (whose width is limited to half the
 * box so that the outline stays inside it) and filled with the brush unless transparent. Set
 * either its two corners (Position1, Position2), which it returns to whenever the viewer
 * places objects again, or an anchor Position with a size. Null when out of memory. */
VELMIRA_API VmRectangle* Rectangle_New(void);
/* Drops the caller's reference; a layer holding the rectangle keeps it. Null does nothing. */
VELMIRA_API void Rectangle_Delete(VmRectangle* h);
/* The rectangle's error record, or null for a null handle. */
VELMIRA_API VmError* Rectangle_GetErrHandle(VmRectangle* h);
VELMIRA_API int32_t Rectangle_GetID(VmRectangle* h);
VELMIRA_API void Rectangle_SetID(VmRectangle* h, int32_t id);
/* The anchor position (shared; null when none was set); the box is centred on it. */
VELMIRA_API VmPosition* Rectangle_GetPosition(VmRectangle* h);
VELMIRA_API void Rectangle_SetPosition(VmRectangle* h, VmPosition* position);
/* Pixels added to the box's left and top. */
VELMIRA_API int32_t Rectangle_GetOffsetX(VmRectangle* h);
VELMIRA_API void Rectangle_SetOffsetX(VmRectangle* h, int32_t offset);
VELMIRA_API int32_t Rectangle_GetOffsetY(VmRectangle* h);
VELMIRA_API void Rectangle_SetOffsetY(VmRectangle* h, int32_t offset);
/* The box's size in pixels: the distance between the corners, or as set. */
VELMIRA_API int32_t Rectangle_GetWidth(VmRectangle* h);
VELMIRA_API void Rectangle_SetWidth(VmRectangle* h, int32_t width);
VELMIRA_API int32_t Rectangle_GetHeight(VmRectangle* h);
VELMIRA_API void Rectangle_SetHeight(VmRectangle* h, int32_t height);
/* The corners (shared; null when not set). */
VELMIRA_API VmPosition* Rectangle_GetPosition1(VmRectangle* h);
VELMIRA_API void Rectangle_SetPosition1(VmRectangle* h, VmPosition* position);
VELMIRA_API VmPosition* Rectangle_GetPosition2(VmRectangle* h);
VELMIRA_API void Rectangle_SetPosition2(VmRectangle* h, VmPosition* position);
/* Pen and brush (shared, never null); null in a setter: 10003 "Parameter not a valid
 * object!". */
VELMIRA_API VmPen* Rectangle_GetPen(VmRectangle* h);
VELMIRA_API void Rectangle_SetPen(VmRectangle* h, VmPen* pen);
VELMIRA_API VmBrush* Rectangle_GetBrush(VmRectangle* h);
VELMIRA_API void Rectangle_SetBrush(VmRectangle* h, VmBrush* brush);

/* Ellipse: the ellipse inscribed in its box, outlined with the pen (limited as a rectangle's)
 * and filled with the brush unless transparent; hit only inside the ellipse. Null when out of
 * memory. */
VELMIRA_API VmEllipse* Ellipse_New(void);
/* Drops the caller's reference; a layer holding the ellipse keeps it. Null does nothing. */
VELMIRA_API void Ellipse_Delete(VmEllipse* h);
/* The ellipse's error record, or null for a null handle. */
VELMIRA_API VmError* Ellipse_GetErrHandle(VmEllipse* h);
VELMIRA_API int32_t Ellipse_GetID(VmEllipse* h);
VELMIRA_API void Ellipse_SetID(VmEllipse* h, int32_t id);
/* The anchor position (shared; null when none was set); the box is centred on it. */
VELMIRA_API VmPosition* Ellipse_GetPosition(VmEllipse* h);
VELMIRA_API void Ellipse_SetPosition(VmEllipse* h, VmPosition* position);
/* Pixels added to the box's left and top. */
VELMIRA_API int32_t Ellipse_GetOffsetX(VmEllipse* h);
VELMIRA_API void Ellipse_SetOffsetX(VmEllipse* h, int32_t offset);
VELMIRA_API int32_t Ellipse_GetOffsetY(VmEllipse* h);
VELMIRA_API void Ellipse_SetOffsetY(VmEllipse* h, int32_t offset);
/* The box's size in pixels (default 0 x 0). */
VELMIRA_API int32_t Ellipse_GetWidth(VmEllipse* h);
VELMIRA_API void Ellipse_SetWidth(VmEllipse* h, int32_t width);
VELMIRA_API int32_t Ellipse_GetHeight(VmEllipse* h);
VELMIRA_API void Ellipse_SetHeight(VmEllipse* h, int32_t height);
/* Pen and brush (shared, never null); null in a setter: 10003 "Parameter not a valid
 * object!". */
VELMIRA_API VmPen* Ellipse_GetPen(VmEllipse* h);
VELMIRA_API void Ellipse_SetPen(VmEllipse* h, VmPen* pen);
VELMIRA_API VmBrush* Ellipse_GetBrush(VmEllipse* h);
VELMIRA_API void Ellipse_SetBrush(VmEllipse* h, VmBrush* brush);

/* ------------------------------------------------------------------------------------------
 * Layers and Layer.
 * ---------------------------------------------------------------------------------------- */

/*
 * A viewer keeps its overlay objects in named layers (Viewer_GetLayers). The order of the
 * layers and of the objects within a layer is the drawing order: the first layer is drawn
 * first and the last on top; the viewer's hit tests search the other way round, so the object
 * drawn on top is found first. The layer "_main" always exists: it is the active layer at the
 * start (new objects go into the active layer) and deleting it only empties it. The name
 * "_active" is reserved and means the active layer (Viewer_ActiveLayer). Names compare byte
 * by byte (low 8 bits of each unit); an empty name never matches. Indexes are 1-based.
 */

/* Drops the caller's reference; the viewer keeps its own. Null does nothing. */
VELMIRA_API void Layers_Delete(VmLayers* h);
/* The error record, or null for a null handle. */
VELMIRA_API VmError* Layers_GetErrHandle(VmLayers* h);
/* The number of layers, at least 1 ("_main"). */
VELMIRA_API int32_t Layers_GetCount(VmLayers* h);
/* The layer at 1-based `index` itself (one more reference, Layer_Delete), or null without an
 * error when `index` is outside 1..count. */
VELMIRA_API VmLayer* Layers_GetByIndex(VmLayers* h, int32_t index);
/* The layer with that name (one more reference), or null. Null `name` finds nothing. */
VELMIRA_API VmLayer* Layers_GetByName(VmLayers* h, const WCHAR* name);
/* The layer's 1-based position, or 0 when it is not one of these layers (or null). */
VELMIRA_API int32_t Layers_GetIndex(VmLayers* h, VmLayer* layer);
/* Moves the layer to `index`: 0 or 1 makes it first (drawn first), a negative index or one
 * past the end makes it last (drawn on top). Its own index, null or a foreign layer change
 * nothing. */
VELMIRA_API void Layers_SetIndex(VmLayers* h, VmLayer* layer, int32_t index);
/* A new, enabled, empty layer appended at the end (drawn on top of all others), with one
 * reference for the caller; the active layer stays. Null with 10003 "Name cannot be zero
 * length" for a null or empty name, or 10003 "Layer with that name already exists". */
VELMIRA_API VmLayer* Layers_NewLayer(VmLayers* h, const WCHAR* name);
/* Removes the layer from the viewer and releases the viewer's reference to it and, once no
 * other holder remains, its objects. "_main" is emptied instead. Deleting a layer that has the
 * active layer's name makes "_main" active (even a layer deleted before, whose name a newer
 * layer has taken). The caller still deletes its own handle. Null does nothing. */
VELMIRA_API void Layers_DeleteLayer(VmLayers* h, VmLayer* layer);

/* Drops the caller's reference; null does nothing. */
VELMIRA_API void Layer_Delete(VmLayer* h);
/* The error record, or null for a null handle. */
VELMIRA_API VmError* Layer_GetErrHandle(VmLayer* h);
/* The layer's name as a copy string, also stored through `out` when it is not null; the
 * caller frees it with SysFreeString. */
VELMIRA_API BSTR Layer_GetName(VmLayer* h, BSTR* out);
/* The enabled flag as last set (new layers: 1). A disabled layer is neither drawn nor found by
 * Viewer_GetByPoint and Viewer_GetByPosition; Viewer_GetByID still finds its objects. */
VELMIRA_API uint8_t Layer_GetEnabled(VmLayer* h);
/* Stores the flag (nonzero: enabled); a different value redraws the view at the next
 * Viewer_OnDraw with update. */
VELMIRA_API void Layer_SetEnabled(VmLayer* h, uint8_t enabled);
/* Removes every object from the layer (holders other than the layer keep theirs). */
VELMIRA_API void Layer_Clear(VmLayer* h);

/* ------------------------------------------------------------------------------------------
 * Viewer.
 * ---------------------------------------------------------------------------------------- */

/*
 * Viewer: the map viewer an application places in a window. It owns a map library (maps and
 * icon templates), the layers of overlay objects, and one current map whose calibration, zoom
 * and rotation define the view pixels: the pixels of the current map's picture as zoomed and
 * rotated, x to the right, y downwards. The window shows the view pixels from
 * (Viewer_GetLeft, Viewer_GetTop) on: window pixel (sx, sy) is view pixel (left + sx,
 * top + sy). Every Point the viewer takes or returns is in view pixels.
 *
 * Overlay objects are passed as VmMapObject* beside their type code: 1 Icon, 2 Line,
 * 3 Ellipse, 4 Rectangle, 5 Label (cast the handle to and from VmIcon*, VmLine*, ...). A code
 * outside 1..5 makes the argument count as no object; any code inside passes the object as it
 * is, whatever its kind. Lookups write the found object's code through `type` (when not null) and leave it
 * untouched when nothing is found; the object comes with one reference, which the caller
 * releases with its family's Delete.
 *
 * Changes (position, offsets, zoom, rotation, objects, layers) show at the next
 * Viewer_OnDraw with update set; only then does the viewer render, and only what is needed:
 * a changed object renders again only when it lies on the window and on the tiles the render
 * draws. Viewer, its library, layers, maps and objects belong to one thread.
 */

/* A new viewer: no map library, no layers, no map. Null when out of memory. Delete it with
 * Viewer_Delete, which releases its library, layers, maps and objects (objects and maps the
 * caller still holds live on). */
VELMIRA_API VmViewer* Viewer_New(void);
/* Drops the caller's reference; null does nothing. */
VELMIRA_API void Viewer_Delete(VmViewer* h);
/* The error record, or null for a null handle. */
VELMIRA_API VmError* Viewer_GetErrHandle(VmViewer* h);

/* Closes the viewer and reads the map library file `fileName` into a new library with new
 * layers (only "_main"); the library's first map becomes current. Failures keep the new
 * empty library and layers with no current map, and report the file's error: the platform
 * number (2 missing, 5 denied) with "Error opening, reading, writing or seeking file" when it
 * cannot be opened, 10010 for a read that comes short, 10013 "Unknown file format", 10014
 * "Unknown version of file format". Maps read before such an error stay in the library and
 * usable. A null or empty name fails as a missing file does. */
VELMIRA_API void Viewer_Open(VmViewer* h, const WCHAR* fileName);
/* Releases the current map, the library and the layers (holders other than the viewer keep
 * theirs; objects so held are no longer in any layer). Viewer_Open or Viewer_GetMapLib start
 * again. */
VELMIRA_API void Viewer_Close(VmViewer* h);
/* The map library itself (one more reference, MapLib_Delete). A viewer without one first
 * gets an empty library and new layers (as Viewer_Open without a file). */
VELMIRA_API VmMapLib* Viewer_GetMapLib(VmViewer* h);
/* The layers itself (one more reference, Layers_Delete), or null before the viewer has a
 * library. */
VELMIRA_API VmLayers* Viewer_GetLayers(VmViewer* h);
/* Makes the named layer active (new objects go into it), creating it at the end (drawn on
 * top) when no layer has the name; "_active" keeps the active layer. Returns the active layer
 * (one more reference); null before the viewer has a library, and null with 10003 "Name
 * cannot be zero length" for a null or empty name. */
VELMIRA_API VmLayer* Viewer_ActiveLayer(VmViewer* h, const WCHAR* name);
/* Selects the current map and returns it (one more reference, Map_Delete), or null:
 * "_active" keeps the current map; "_main" makes the library's first map current; any other
 * name makes the library's map of that name current, adding a new empty one (a white picture)
 * when there is none (and giving the viewer an empty library first if it has none). "_active"
 * and "_main" with no maps fail with 10015 "No maps loaded or created". A new current map
 * places every object and the viewer again from their positions; the map it replaces drops
 * its decoded tiles and rendered picture. */
VELMIRA_API VmMap* Viewer_ActiveMapData(VmViewer* h, const WCHAR* name);

/* The position shown at the window's centre (the Position itself, one more reference), or
 * null when none was set. */
VELMIRA_API VmPosition* Viewer_GetPosition(VmViewer* h);
/* Centres the view on `position`, which the viewer keeps (not a copy) and which is converted
 * in place to the current map's grid and zone, or datum. Without a current map nothing
 * happens. A position the map cannot place leaves the view where it was. */
VELMIRA_API void Viewer_SetPosition(VmViewer* h, VmPosition* position);
/* Pixel offsets added to the window's left and top edges in view pixels (positive moves the
 * view's content left and up). New viewers: 0. */
VELMIRA_API int32_t Viewer_GetOffsetX(VmViewer* h);
VELMIRA_API void Viewer_SetOffsetX(VmViewer* h, int32_t offset);
VELMIRA_API int32_t Viewer_GetOffsetY(VmViewer* h);
VELMIRA_API void Viewer_SetOffsetY(VmViewer* h, int32_t offset);
/* The view pixel at the window's top-left corner: the centre point minus half the window size
 * (last given to Viewer_OnDraw with update; division truncates toward zero) plus the offset. */
VELMIRA_API int32_t Viewer_GetLeft(VmViewer* h);
VELMIRA_API int32_t Viewer_GetTop(VmViewer* h);

/* The zoom of the current map (window pixels per map picture pixel) through `out`; 1.0
 * without a current map. */
VELMIRA_API void Viewer_GetZoom(VmViewer* h, double* out);
/* 0.1 .. 10.0, both included; anything else (NaN too, and a null pointer) is refused with
 * 10003 "Invalid Zoom value" and the zoom stays. Without a current map nothing happens. */
VELMIRA_API void Viewer_SetZoom(VmViewer* h, const double* zoom);
/* The rotation of the current map in degrees, exactly as last set; 0.0 without a map. */
VELMIRA_API void Viewer_GetRotation(VmViewer* h, double* out);
/* Turns the view by `degrees` (any finite value; the map works with it reduced to -180 ..
 * 180, so 450 turns as 90 and -190 as 170); the view turns about view pixel (0, 0). Infinite,
 * NaN or null is refused with 10003 "Invalid parameter!". Without a current map nothing
 * happens. */
VELMIRA_API void Viewer_SetRotation(VmViewer* h, const double* degrees);

/* The view pixel of `position` as a new Point (Point_Delete), or null without a current map
 * or position. The position is converted in place to the map's grid and zone, or datum; its
 * failures (e.g. "Position outside grid") are the viewer's error. */
VELMIRA_API VmPoint* Viewer_Position2Point(VmViewer* h, VmPosition* position);
/* The position of view pixel `point` as a new Position (Position_Delete) in the map's grid and
 * zone, or datum; null without a current map or point, or with the Position's error. */
VELMIRA_API VmPosition* Viewer_Point2Position(VmViewer* h, VmPoint* point);

/* A new icon copied from the library's icon of that name, added at the end of the active
 * layer with the current map (one reference for the caller, who may delete it: the layer keeps
 * its own). Icons of one library icon share its picture. Null before the viewer has a
 * library, and null with 10003 "Icon not found", or with 10012 "Out of memory" for a picture
 * wider or higher than 4096 pixels. The icon has no position until Icon_SetPosition. */
VELMIRA_API VmIcon* Viewer_NewIcon(VmViewer* h, const WCHAR* name);
/* New objects with their defaults, added at the end of the active layer with the current map,
 * one reference for the caller; null before the viewer has a library. */
VELMIRA_API VmLine* Viewer_NewLine(VmViewer* h);
VELMIRA_API VmRectangle* Viewer_NewRectangle(VmViewer* h);
VELMIRA_API VmEllipse* Viewer_NewEllipse(VmViewer* h);
VELMIRA_API VmLabel* Viewer_NewLabel(VmViewer* h);

/* The object with that ID in any layer, disabled ones included (searched from the last layer),
 * or null. */
VELMIRA_API VmMapObject* Viewer_GetByID(VmViewer* h, int32_t id, int32_t* type);
/* The object at 1-based `index` of the active layer, or null. */
VELMIRA_API VmMapObject* Viewer_GetByIndex(VmViewer* h, int32_t index, int32_t* type);
/* The topmost object of the enabled layers whose shape holds view pixel `point` (boxes ends
 * included, ellipses inside, lines within half the pen width), or null. */
VELMIRA_API VmMapObject* Viewer_GetByPoint(VmViewer* h, VmPoint* point, int32_t* type);
/* The topmost object of the enabled layers at `position`, below `after` when that is given
 * with its type code (null when no enabled object is `after`); null without a current map or
 * position. Calling it again with each result as `after` lists every object at a place from
 * the top down. */
VELMIRA_API VmMapObject* Viewer_GetByPosition(VmViewer* h, VmPosition* position,
                                              VmMapObject* after, int32_t afterType,
                                              int32_t* type);
/* The object's 1-based position within its layer, or 0 when no layer holds it. */
VELMIRA_API int32_t Viewer_GetIndex(VmViewer* h, VmMapObject* object, int32_t type);
/* Moves the object within its own layer to `index`: 0 or 1 first (drawn first), negative or
 * past the end last (drawn on top). */
VELMIRA_API void Viewer_SetIndex(VmViewer* h, VmMapObject* object, int32_t type, int32_t index);
/* Takes the object out of its layer and releases the layer's reference (a caller's handle stays
 * valid). Nothing happens without a current map. */
VELMIRA_API void Viewer_DeleteObject(VmViewer* h, VmMapObject* object, int32_t type);

/* Draws the view into the application's window: the child window of the foreground window
 * (VmWindow_SetForeground) that holds the point (left + 1, top + 1) in its client coordinates
 * (the foreground window itself when no child does), from that window's top-left corner,
 * `width` x `height` pixels. With `update` nonzero the viewer first takes width and height as
 * the window size and renders what changed (the map tiles under the window and the enabled
 * layers' objects, in layer order); without it, it shows the last rendered picture again (for
 * a window that was uncovered). Before any map is current it shows a white area inside a
 * one-pixel black frame. A width or height of 0 only takes the size. A negative size, or no
 * window at that point, is refused with 10003 "Invalid parameter!"; a failed render reports the map's error and is tried again at the
 * next update. */
VELMIRA_API void Viewer_OnDraw(VmViewer* h, int32_t left, int32_t top, int32_t width,
                               int32_t height, uint8_t update);

/* ------------------------------------------------------------------------------------------
 * Map.
 * ---------------------------------------------------------------------------------------- */

/*
 * Map: one calibrated raster map of a map library (from MapLib_NewMap, MapLib_GetMapByIndex or
 * MapLib_GetMapByName). Its calibration turns a map pixel (x, y) into world coordinates
 * U = uPerX x + uPerY y + uOrigin, V = vPerX x + vPerY y + vOrigin. With a grid, U and V are
 * easting and northing in metres in that grid and zone; without (grid 0), longitude and
 * latitude in radians on the map's datum. Map pixels count from the picture's top-left pixel
 * (0, 0), x to the right, y downwards.
 */

/* Drops the caller's reference; null does nothing. The map library keeps its own. */
VELMIRA_API void Map_Delete(VmMap* h);
/* The map's error record, or null for a null handle. */
VELMIRA_API VmError* Map_GetErrHandle(VmMap* h);

/* The map's name (at most 15 characters as stored in a file) as a copy string, also stored
 * through `out` when it is not null. The caller frees it with SysFreeString. */
VELMIRA_API BSTR Map_GetName(VmMap* h, BSTR* out);

/* The picture size in pixels as a new Point: X the width, Y the height (both 0 for a map made
 * with MapLib_NewMap). The caller deletes it with Point_Delete. */
VELMIRA_API VmPoint* Map_GetSize(VmMap* h);

/*
 * Calibrates the map from one, two or three pairs of a Position and the map pixel (a Point)
 * where it lies. A pair whose Position or Point is null is absent: without pair 2 the map is
 * calibrated from pair 1 alone (pair 3 is then ignored), without pair 3 from pairs 1 and 2.
 * The map takes over position1's grid and zone, or with grid 0 its datum; positions 2 and 3
 * are converted in place to that grid and zone (or datum) before they are read.
 * - One pair: both axes scale from pixel (0, 0) = world (0, 0), so pixel (x1, y1) is position1.
 * - Two pairs: a scale and offset per axis through both pairs, no rotation.
 * - Three pairs: the full affine fit (rotation and shear), exact through pairs 1 and 2 and,
 *   because one step divides pixel differences in whole numbers, only close through pair 3
 *   when those differences do not divide evenly.
 * Failures, all 10003, leave the calibration as it was (but grid, datum and zone are already
 * taken from position1): pair 1 absent "First Position or Point may not be NULL"; one pair
 * with x1 or y1 zero "Point may not have zero X or Y value!"; two pairs with equal X, equal
 * Y, equal U or equal V "Points may not have equal X or Y values!"; three pairs whose X are
 * all equal or whose Y are all equal "All Points may not have equal X or Y values!"; three
 * pairs on one line "Points may not be linear dependent!". The map keeps no reference to the
 * arguments; the caller still deletes them.
 */
VELMIRA_API void Map_SetScale(VmMap* h, VmPosition* position1, VmPoint* point1,
                              VmPosition* position2, VmPoint* point2, VmPosition* position3,
                              VmPoint* point3);

/* ------------------------------------------------------------------------------------------
 * MapLib.
 * ---------------------------------------------------------------------------------------- */

/*
 * The viewer's maps and icon templates (Viewer_GetMapLib), read from a map library file by
 * Viewer_Open or made empty by name. Maps read from a file keep it open for as long as they
 * live, also after the library is closed. Indexes are 1-based; names compare byte by byte
 * (low 8 bits of each unit) and an empty name never matches.
 *
 * Limits (none that real data meets):
 * - Lookups by name (MapLib_GetMapByName, MapLib_NewMap, Viewer_ActiveMapData,
 *   Viewer_NewIcon) take constant time through an index built as the file is read, whatever
 *   the number of entries; the index costs about 130 bytes per map and per icon.
 * - An icon picture wider or higher than 4096 pixels is refused by Viewer_NewIcon with 10012
 *   "Out of memory", found from its header before anything is allocated.
 * - Only the viewer's current map keeps decoded tiles and a rendered picture: about the
 *   window's tiles at zoom 1, at most 1 GiB per picture at the smallest zoom (0.1), and the
 *   map that stops being current drops its own. A map without a picture in view renders white
 *   at the view's tile size, whatever tile size its record gives (larger than 256 counts as
 *   256). An icon picture is decoded once, at the first Viewer_NewIcon of its name (48 MiB at
 *   most), and kept while the library or an icon made from it lives.
 */

/* Drops the caller's reference; the viewer keeps its own. Null does nothing. */
VELMIRA_API void MapLib_Delete(VmMapLib* h);
/* The error record, or null for a null handle. */
VELMIRA_API VmError* MapLib_GetErrHandle(VmMapLib* h);
/* The number of maps. */
VELMIRA_API int32_t MapLib_GetMapCount(VmMapLib* h);
/* The map at 1-based `index` itself (one more reference, Map_Delete), or null without an
 * error outside 1..count. */
VELMIRA_API VmMap* MapLib_GetMapByIndex(VmMapLib* h, int32_t index);
/* The first map with that name (one more reference), or null. */
VELMIRA_API VmMap* MapLib_GetMapByName(VmMapLib* h, const WCHAR* name);
/* A new empty map with that name (at most 15 characters are stored), appended at the end,
 * with one reference for the caller; the library keeps its own. It has no picture (it draws
 * white) and no calibration until Map_SetScale. Null with 10003 "Map with that name already
 * exists". */
VELMIRA_API VmMap* MapLib_NewMap(VmMapLib* h, const WCHAR* name);
/* Removes the map from the library (releasing the library's reference); a caller's handle to
 * it stays usable. A map the library does not hold, or null, changes nothing. */
VELMIRA_API void MapLib_RemoveMap(VmMapLib* h, VmMap* map);


#ifdef __cplusplus
}
#endif

#endif /* VELMIRA_VELMIRA_H */

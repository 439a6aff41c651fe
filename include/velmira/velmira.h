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
 * ---------------------------------------------------------------------------------------- */

/* (declarations of the Position family go here) */


#ifdef __cplusplus
}
#endif

#endif /* VELMIRA_VELMIRA_H */

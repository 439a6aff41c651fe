/*
 * Velmira platform extension exports.
 *
 * The library was designed for a handheld platform that supplied counted wide strings,
 * windows with message queues and serial ports by number. On Linux the library supplies
 * these services itself, under these names, so that applications and tests can use them.
 * Usable from C99 and C++.
 */
#ifndef VELMIRA_PLATFORM_H
#define VELMIRA_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef VELMIRA_API
#define VELMIRA_API __attribute__((visibility("default")))
#endif

/* One UTF-16 code unit. */
#ifdef __cplusplus
typedef char16_t WCHAR;
#else
typedef uint_least16_t WCHAR;
#endif

/*
 * Counted wide string: points at the first unit, just after a 32-bit byte-length prefix,
 * and is NUL-terminated. A null BSTR is a valid empty string.
 */
typedef WCHAR* BSTR;

/* Windows and device contexts of this library (opaque). */
typedef struct VmWindowObject* HWND;
typedef struct VmDeviceContext* HDC;

/*
 * Makes a BSTR of `length` UTF-16 units copied from `text` (or zero-filled when `text` is
 * null), NUL-terminated. Returns null when memory runs out or the length cannot be
 * represented. The caller frees it with SysFreeString.
 */
VELMIRA_API BSTR SysAllocStringLen(const WCHAR* text, uint32_t length);

/* Frees a BSTR made by this library. Null is allowed and does nothing. */
VELMIRA_API void SysFreeString(BSTR s);

/* Length of a BSTR in UTF-16 units (not counting the NUL); 0 for null. */
VELMIRA_API uint32_t SysStringLen(BSTR s);

/* ------------------------------------------------------------------------------------------
 * Windows and messages.
 * ---------------------------------------------------------------------------------------- */

/*
 * Windows stand in for the application's windows: each has a position inside its parent
 * (client coordinates, pixels), a size, children, its own pixel surface and a FIFO message
 * queue that any thread may post to. The GPS parser posts message 1125 to the window named
 * with NmeaParser_SetCallbackHWND; such a message carries one object reference that the
 * receiver gives back with the family's Delete. If a window is deleted while messages that
 * carry objects are still queued, their references are released with it.
 */
typedef struct VmMsg {
  HWND hwnd;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
} VmMsg;

/* A new window at (x, y) inside `parent` (null for a top-level window), `width` x `height`
 * pixels (each side clamped to 0..8192), with a white surface. Returns null when `parent`
 * is not a live window. Delete it with VmWindow_Delete. */
VELMIRA_API HWND VmWindow_New(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);

/* Deletes the window and all its children. Messages still queued are dropped, and the
 * objects that parser messages carry are released. Null or an already deleted window does
 * nothing. */
VELMIRA_API void VmWindow_Delete(HWND window);

/* Makes `window` the one the library sees as the foreground window (null for none). A
 * deleted window stops being the foreground window. */
VELMIRA_API void VmWindow_SetForeground(HWND window);

/* Takes the oldest message of the window's queue into *out, waiting up to `timeoutMs`
 * milliseconds (a negative time-out waits until a message comes). Returns 1 when a message
 * was taken, 0 when none came in time or the window is not live. */
VELMIRA_API uint8_t VmWindow_GetMessage(HWND window, VmMsg* out, int32_t timeoutMs);

/* The window's pixels: 4 bytes per pixel (blue, green, red, unused), rows top-down,
 * `*stride` bytes apart. The pointer stays valid until the window is deleted; null (and
 * zero sizes) for a window that is not live. Any out pointer may be null. */
VELMIRA_API const uint8_t* VmWindow_GetPixels(HWND window, int32_t* width, int32_t* height,
                                              int32_t* stride);

/* Writes the window's pixels to `path` as an 8-bit RGB PNG file. Returns 1 on success, 0
 * when the window is not live or empty, or the file cannot be written. */
VELMIRA_API uint8_t VmWindow_SavePng(HWND window, const char* path);


/* ------------------------------------------------------------------------------------------
 * Serial ports by number.
 * ---------------------------------------------------------------------------------------- */

/*
 * Maps COM<port> (1 to 255) to a device node, for the library's serial port calls and for port
 * detection (which tries COM1 to COM8). By default COM1-COM4 are /dev/ttyS0-ttyS3, COM5-COM6
 * /dev/ttyUSB0-1, COM7-COM8 /dev/ttyACM0-1 and COMn above 8 /dev/ttyS(n-1). `devicePath` is a
 * NUL-terminated file-system path, copied; null restores the default. Ports that are already
 * open keep their device. Returns 1 on success, 0 when the port number is out of range.
 * May be called from any thread.
 */
VELMIRA_API uint8_t VmComPort_SetDevice(int16_t port, const char* devicePath);

/*
 * The device node that COM<port> (1 to 255) stands for now, default or override, copied
 * NUL-terminated into `buffer` (`size` bytes, owned by the caller) and cut short when it does
 * not fit. Returns the length of the whole path in bytes without the NUL, so a result of
 * `size` or more means it was cut; 0 when the port number is out of range (nothing is written).
 * `buffer` may be null when `size` is 0. May be called from any thread.
 */
VELMIRA_API size_t VmComPort_GetDevice(int16_t port, char* buffer, size_t size);


/* ------------------------------------------------------------------------------------------
 * Network sources.
 * ---------------------------------------------------------------------------------------- */

/*
 * Attaches the parser (a VmNmeaParser handle of velmira.h) to a network source instead of a COM
 * port and starts its reader thread, as NmeaParser_SetPortEnabled(parser, 1) does for a port.
 * `url` is NUL-terminated ASCII, one of:
 *   "gpsd://HOST[:PORT][/DEVICE]"  a gpsd daemon (port 2947 by default), asked to relay the NMEA
 *                                  of its receivers, or of DEVICE only (for example
 *                                  "gpsd://localhost/dev/ttyUSB0");
 *   "tcp://HOST:PORT"              a server that streams NMEA lines (port 10110 by custom);
 *   "udp://[BIND]:PORT"            NMEA datagrams sent to PORT, on the local address BIND or on
 *                                  every local address ("udp://:10110"); the end of a datagram
 *                                  ends its last line.
 * HOST is a name or a numeric address, an IPv6 address in brackets ("tcp://[::1]:10110").
 * Sentences are framed, checked and delivered exactly as from a COM port (events or polled
 * records; NmeaParser_Parse and the port settings are refused while the source is open), and
 * NmeaParser_WriteData sends to a TCP or gpsd connection while it is up.
 * A server that is not there yet, goes away or cannot be reached is tried again after 0.5 s,
 * then after twice the last delay, up to 5 s, for as long as the source is open; nothing is
 * reported for that beyond the port status: a ComStatus (event 9 and NmeaParser_GetComStatus)
 * with port 0 and rate 0 that is valid from the first good sentence of a link, and becomes not
 * valid (with the latest records cleared) as soon as the link drops, or after 4 s without a
 * sentence. Junk never becomes a sentence; a line without an end is bounded by the parser's
 * 512-byte framing.
 * Errors, in the parser's record: 10006 "Port must not be enabled!" while a port or a source is
 * already being read; 10003 "Unknown source URL!" for any other text or null; for a UDP port
 * that cannot be bound, the platform's error number with "Could not open network source!";
 * 10005 "Failed to end serial thread!" while the reader thread of an earlier stop that overran
 * its 4 s still runs (the source is not opened).
 * Stream sources connect on the reader thread, so an absent server is no error here.
 * Call from the application's thread, as the parser's other exports.
 */
struct VmNmeaParser;
VELMIRA_API void VmNmeaParser_OpenSource(struct VmNmeaParser* parser, const char* url);

/*
 * Stops reading the network source: the reader thread ends (within 4 s; otherwise 10005
 * "Failed to end serial thread!"), the connection is closed and the latest records cleared,
 * as NmeaParser_SetPortEnabled(parser, 0) does; the parser may then open a port or a source
 * again. Stops promptly in every state, a wait before the next connection attempt and the
 * lookup of a host name included.
 * Does nothing when no source is open (a COM port being read is left alone).
 */
VELMIRA_API void VmNmeaParser_CloseSource(struct VmNmeaParser* parser);


/* ------------------------------------------------------------------------------------------
 * Map records.
 * ---------------------------------------------------------------------------------------- */

/*
 * Copies the map's 134-byte record into `record` exactly as a map library file stores it, so
 * that a program writing such files stores the calibration that Map_SetScale computed.
 * Little-endian; offsets: 0 major and 2 minor version (uint16, 1 and 0), 8 uint16 (1),
 * 10 name (16 characters, NUL-terminated), 58 width and 62 height in pixels (int32),
 * 66 datum and 68 grid (int16), 70 zone text (12 characters, NUL-terminated), then doubles
 * 82 uOrigin, 90 vOrigin, 98 uPerX, 106 uPerY, 114 vPerX, 122 vPerY, and 130 tile width,
 * 132 tile height (int16, 256). Other bytes are 0. `map` is a VmMap handle of velmira.h.
 * Returns 1, or 0 without copying when `map` or `record` is null.
 */
struct VmMap;
VELMIRA_API uint8_t VmMap_GetRecord(struct VmMap* map, uint8_t record[134]);


#ifdef __cplusplus
}
#endif

#endif /* VELMIRA_PLATFORM_H */

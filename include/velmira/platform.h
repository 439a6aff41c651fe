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

/* (VmMsg and the VmWindow_* declarations go here) */


/* ------------------------------------------------------------------------------------------
 * Serial ports by number.
 * ---------------------------------------------------------------------------------------- */

/* (VmComPort_SetDevice goes here) */


#ifdef __cplusplus
}
#endif

#endif /* VELMIRA_PLATFORM_H */

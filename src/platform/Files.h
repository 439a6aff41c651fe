// Opening, reading and writing files and devices by handle, as the handheld platform's file
// calls do. Serial ports are opened through the same call under their COM device names.
#pragma once

#include <cstdint>

#include "platform/Sync.h"
#include "velmira/platform.h"

namespace platform {

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Move methods of SetFilePointer.
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// Platform error numbers the library reports.
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;

// The platform error number for a POSIX errno value.
DWORD ErrorFromErrno(int err);

// Opens a file, or a serial port named "COM<digit>:" or "\\.\COM<n>" (resolved through the COM
// port mapping of Serial.h). Share mode 0 opens exclusively: a second exclusive open of the
// same file or device fails with 5. Returns INVALID_HANDLE_VALUE on failure (GetLastError).
HANDLE CreateFileW(const WCHAR* name, DWORD access, DWORD shareMode, void* security,
                   DWORD creation, DWORD flags, HANDLE templateFile);
// Serial ports read as their time-outs say (by default they return at once with what has
// arrived); files read up to toRead bytes. *done gets the count.
bool ReadFile(HANDLE handle, void* buffer, DWORD toRead, DWORD* done, void* overlapped);
bool WriteFile(HANDLE handle, const void* buffer, DWORD toWrite, DWORD* done, void* overlapped);
// Moves a file's position by distance (signed; with distanceHigh, the high 32 bits of a 64-bit
// distance, updated to the high half of the result) from the start, the current position or
// the end. Returns the low 32 bits of the new position, or 0xFFFFFFFF with the last error set
// when the move fails (a position before the start: 131; without distanceHigh, a position at
// or beyond 4 GiB - 1: 87); a failed move leaves the position where it was.
DWORD SetFilePointer(HANDLE handle, int32_t distance, int32_t* distanceHigh, DWORD method);

}  // namespace platform

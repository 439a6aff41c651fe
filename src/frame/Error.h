// The per-object error record and the library's table of error codes and messages.
#pragma once

#include <cstdint>

namespace velmira {

// One row of the error table: a code that names the kind of failure and a static message
// that names the case. Messages are the library's own texts, kept byte for byte.
struct ErrorKind {
  int16_t Code;
  const char* Message;
};

// Embedded in every object right after its table of virtual operations; the families'
// GetErrHandle exports hand out its address.
struct Error {
  int16_t Code = 0;
  const char* Message = nullptr;  // static text, never owned

  void Clear() {
    Code = 0;
    Message = nullptr;
  }
  void Set(const ErrorKind& kind) {
    Code = kind.Code;
    Message = kind.Message;
  }
  // A failed open reports the platform's last-error number with the library's message.
  void Set(int16_t code, const char* message) {
    Code = code;
    Message = message;
  }
  void CopyFrom(const Error& other) {
    Code = other.Code;
    Message = other.Message;
  }
  bool Failed() const { return Code != 0; }
};

namespace errors {

// Kinds of failure.
inline constexpr int16_t InvalidArgument = 10003;
inline constexpr int16_t IndexOutOfRange = 10004;
inline constexpr int16_t Internal = 10005;
inline constexpr int16_t WrongState = 10006;
inline constexpr int16_t SerialPort = 10007;
inline constexpr int16_t FileIo = 10010;
inline constexpr int16_t Memory = 10012;
inline constexpr int16_t FileFormat = 10013;
inline constexpr int16_t FileVersion = 10014;
inline constexpr int16_t MapLibNotOpen = 10015;

// code             message (exactly as the library has always shown it, typos included)
inline constexpr ErrorKind InvalidParameter{InvalidArgument, "Invalid parameter!"};
inline constexpr ErrorKind UnknownDatum{InvalidArgument, "Unknown datum!"};
inline constexpr ErrorKind UnknownBaudrate{InvalidArgument, "Unknown baudrate!"};
inline constexpr ErrorKind InvalidDegrees{InvalidArgument,
                                          "Invalid value of Degrees. Must be between 0 and 90!"};
inline constexpr ErrorKind InvalidLatitude{InvalidArgument,
                                           "Invalid latitude. Must be between -PI/2 and PI/2"};
inline constexpr ErrorKind UnknownGrid{InvalidArgument, "Unknown grid!"};
inline constexpr ErrorKind GridWithoutZones{InvalidArgument, "Grid does not support Zones!"};
inline constexpr ErrorKind InvalidZone{InvalidArgument, "Invalid Zone for this grid!"};
inline constexpr ErrorKind ZoneRequired{InvalidArgument, "Zone must be specified for this grid"};
inline constexpr ErrorKind OutsideGrid{InvalidArgument, "Position outside grid"};
inline constexpr ErrorKind GridNotSet{InvalidArgument, "Grid not set!"};
inline constexpr ErrorKind NotAnObject{InvalidArgument, "Parameter not a valid object!"};
inline constexpr ErrorKind IconNotFound{InvalidArgument, "Icon not found"};
inline constexpr ErrorKind InvalidZoom{InvalidArgument, "Invalid Zoom value"};
inline constexpr ErrorKind EmptyName{InvalidArgument, "Name cannot be zero length"};
inline constexpr ErrorKind LayerExists{InvalidArgument, "Layer with that name already exists"};
inline constexpr ErrorKind MapExists{InvalidArgument, "Map with that name already exists"};
inline constexpr ErrorKind FirstPairNull{InvalidArgument, "First Position or Point may not be NULL"};
inline constexpr ErrorKind ZeroPointValue{InvalidArgument, "Point may not have zero X or Y value!"};
inline constexpr ErrorKind EqualPointValues{InvalidArgument,
                                            "Points may not have equal X or Y values!"};
inline constexpr ErrorKind AllPointValuesEqual{InvalidArgument,
                                               "All Points may not have equal X or Y values!"};
inline constexpr ErrorKind LinearDependent{InvalidArgument, "Points may not be linear dependent!"};

inline constexpr ErrorKind IndexOutOfBounds{IndexOutOfRange, "Index out of bounds"};

inline constexpr ErrorKind ThreadNotEnded{Internal, "Failed to end serial thread!"};
inline constexpr ErrorKind Unexpected{Internal, "Unexcpected error"};
inline constexpr ErrorKind NoFileHandler{Internal, "nvIcon: No file handler"};

inline constexpr ErrorKind PortEnabled{WrongState, "Port must not be enabled!"};
inline constexpr ErrorKind PortNotEnabled{WrongState, "Port must be enabled!"};
inline constexpr ErrorKind NoEventsRequired{WrongState, "NoEvents must be set!"};
inline constexpr ErrorKind AutodetectNotAllowed{WrongState, "Autodetect mode not allowed"};

inline constexpr ErrorKind PortMissing{SerialPort, "Comm port does not exist"};
inline constexpr ErrorKind PortInUse{SerialPort, "Comm port in use!"};
inline constexpr ErrorKind PortRefusedBaudrate{SerialPort, "Unknown baudrate!"};
inline constexpr ErrorKind PortUnexpected{SerialPort, "Unexpected com port error."};
inline constexpr ErrorKind UnknownSource{InvalidArgument, "Unknown source URL!"};

inline constexpr ErrorKind FileAccess{FileIo, "Error opening, reading, writing or seeking file"};
inline constexpr ErrorKind OutOfMemory{Memory, "Out of memory"};
inline constexpr ErrorKind UnknownFileFormat{FileFormat, "Unknown file format"};
inline constexpr ErrorKind UnknownFileVersion{FileVersion, "Unknown version of file format"};
inline constexpr ErrorKind MapLibMustBeOpen{MapLibNotOpen, "Maplib must be opened to do this operation"};
inline constexpr ErrorKind NoMaps{MapLibNotOpen, "No maps loaded or created"};

// Messages that travel with a platform last-error number instead of a table code.
inline constexpr const char* CouldNotOpenPort = "Could not open comm port!";
inline constexpr const char* CouldNotOpenSource = "Could not open network source!";
inline constexpr const char* FileOpenFailed = "Error opening, reading, writing or seeking file";

}  // namespace errors
}  // namespace velmira

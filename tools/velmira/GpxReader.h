// Reads the tracks, routes and waypoints of a GPX 1.0 or 1.1 file with expat.
//
// Input is untrusted: a document that declares entities (the "billion laughs" expansion), nests
// deeper than MaxDepth, holds an element whose text or a single tag longer than MaxText bytes,
// or is not well-formed (broken UTF-8 included) is refused with a message naming the file and
// line, and nothing of it is kept.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "TrackPoint.h"

namespace cli {

class GpxReader {
 public:
  static constexpr size_t MaxText = 1 << 20;
  static constexpr size_t MaxDepth = 256;

  // Reads `path` into `out`; the problem, else empty.
  std::string Read(const std::string& path, TrackFile& out);
  // Reads an open stream; problems name it `name`. One read per reader.
  std::string Read(std::FILE* in, const std::string& name, TrackFile& out);
  // Whether the file starts like an XML document (after a byte-order mark and white space).
  static bool LooksLikeXml(const std::string& path);

  // expat's callbacks, through the user data pointer.
  void Start(const char* name, const char** attributes);
  void End(const char* name);
  void Text(const char* text, int length);
  void Refuse(const std::string& why);
  void Progress();

 private:
  // The GPX name of an element in the GPX 1.0 or 1.1 namespace (or in none), else empty.
  static std::string Local(const char* name);
  const std::string& Parent() const;
  bool InPoint() const { return PointDepth > 0 && Stack.size() == PointDepth + 1; }
  void StartPoint(const char** attributes, TrackSegment* into);
  void EndField(const std::string& tag);

  void* Parser = nullptr;
  TrackFile File;
  std::vector<std::string> Stack;  // local names of the open elements
  std::string Problem;
  std::string Captured;     // the text of the element being read, when it is wanted
  bool Capturing = false;
  size_t TextBytes = 0;     // of the innermost element, wanted or not
  TrackPoint Point;
  TrackSegment* PointInto = nullptr;
  size_t PointDepth = 0;    // stack size at the open point, 0 outside points
  long LastEvent = 0;       // byte offset of the last callback
};

}  // namespace cli

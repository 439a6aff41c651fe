// GPX after topografix.com/GPX/1/0 and /1/1: trk > trkseg > trkpt, rte > rtept and wpt, each
// point with lat and lon attributes and ele, time, name, fix, sat and dilution children.
#include "GpxReader.h"

#include <expat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cli {
namespace {

constexpr char Separator = '|';  // between namespace and local name in expat's names
constexpr const char* Namespaces[] = {"http://www.topografix.com/GPX/1/1",
                                      "http://www.topografix.com/GPX/1/0"};
constexpr size_t ReadBlock = 1 << 16;

GpxReader& Self(void* data) { return *static_cast<GpxReader*>(data); }

void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  Self(data).Start(name, attributes);
}
void OnEnd(void* data, const XML_Char* name) { Self(data).End(name); }
void OnText(void* data, const XML_Char* text, int length) { Self(data).Text(text, length); }
void OnOther(void* data, const XML_Char*, const XML_Char*) { Self(data).Progress(); }
void OnComment(void* data, const XML_Char*) { Self(data).Progress(); }
void OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
              const XML_Char*, const XML_Char*, const XML_Char*) {
  Self(data).Refuse("declares entities, which a GPX file never needs");
}

// The whole text as a finite number.
bool Number(const std::string& text, double& out) {
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t' || *begin == '\n' || *begin == '\r') ++begin;
  char* end = nullptr;
  out = std::strtod(begin, &end);
  while (end != begin && (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r')) ++end;
  return end != begin && *end == 0 && std::isfinite(out);
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool GpxReader::LooksLikeXml(const std::string& path) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  unsigned char head[256];
  const size_t n = std::fread(head, 1, sizeof head, in);
  std::fclose(in);
  size_t i = n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF ? 3 : 0;
  while (i < n && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) ++i;
  return i < n && head[i] == '<';
}

std::string GpxReader::Local(const char* name) {
  const char* bar = std::strchr(name, Separator);
  if (bar == nullptr) return name;
  for (const char* ns : Namespaces) {
    if (std::strlen(ns) == static_cast<size_t>(bar - name) && std::strncmp(ns, name, bar - name) == 0) {
      return bar + 1;
    }
  }
  return {};
}

const std::string& GpxReader::Parent() const {
  static const std::string none;
  return Stack.empty() ? none : Stack.back();
}

void GpxReader::Refuse(const std::string& why) {
  if (!Problem.empty()) return;
  Problem = "line " + std::to_string(XML_GetCurrentLineNumber(static_cast<XML_Parser>(Parser))) + ": " + why;
  XML_StopParser(static_cast<XML_Parser>(Parser), XML_FALSE);
}

void GpxReader::Progress() { LastEvent = XML_GetCurrentByteIndex(static_cast<XML_Parser>(Parser)); }

void GpxReader::Start(const char* name, const char** attributes) {
  Progress();
  const std::string local = Local(name);
  if (Stack.empty() && local != "gpx") return Refuse("the document is not GPX: its root is not <gpx>");
  if (Stack.size() >= MaxDepth) return Refuse("elements nest deeper than " + std::to_string(MaxDepth));
  const std::string parent = Parent();  // a copy: the stack grows below
  // By depth as well as by parent: the same names inside extensions are not ours.
  const size_t depth = Stack.size();
  if (PointDepth == 0 && !local.empty()) {
    if (depth == 1 && (local == "trk" || local == "rte")) {
      File.Lines.emplace_back();
      File.Lines.back().Route = local == "rte";
      if (local == "rte") File.Lines.back().Segments.emplace_back();
    } else if (depth == 2 && parent == "trk" && local == "trkseg") {
      File.Lines.back().Segments.emplace_back();
    } else if ((depth == 3 && Stack[1] == "trk" && parent == "trkseg" && local == "trkpt") ||
               (depth == 2 && parent == "rte" && local == "rtept")) {
      StartPoint(attributes, &File.Lines.back().Segments.back());
    } else if (depth == 1 && local == "wpt") {
      StartPoint(attributes, &File.Waypoints);
    }
  }
  Stack.push_back(local);
  TextBytes = 0;
  Captured.clear();
  Capturing = (InPoint() && !local.empty()) ||
              (depth == 2 && (parent == "trk" || parent == "rte") && local == "name");
}

void GpxReader::StartPoint(const char** attributes, TrackSegment* into) {
  Point = TrackPoint();
  bool lat = false, lon = false;
  for (const char** a = attributes; a[0] != nullptr; a += 2) {
    if (std::strcmp(a[0], "lat") == 0) lat = Number(a[1], Point.Lat) && std::fabs(Point.Lat) <= 90;
    if (std::strcmp(a[0], "lon") == 0) lon = Number(a[1], Point.Lon) && std::fabs(Point.Lon) <= 180;
  }
  if (!lat || !lon) return Refuse("a point without a valid lat (-90 to 90) and lon (-180 to 180)");
  PointInto = into;
  PointDepth = Stack.size() + 1;
}

void GpxReader::Text(const char* text, int length) {
  Progress();
  TextBytes += static_cast<size_t>(length);
  if (TextBytes > MaxText) return Refuse("an element's text is longer than " + std::to_string(MaxText) + " bytes");
  if (Capturing) Captured.append(text, static_cast<size_t>(length));
}

void GpxReader::EndField(const std::string& tag) {
  const std::string text = Trimmed(Captured);
  double v = 0;
  if (tag == "ele" && Number(text, v)) Point.Ele = v;
  if (tag == "time") Point.Time = text;
  if (tag == "name") Point.Name = text;
  if (tag == "fix") Point.Fix = text;
  if (tag == "sat" && Number(text, v) && v >= 0 && v < 1000) Point.Sat = static_cast<int>(v);
  if (tag == "hdop" && Number(text, v)) Point.Hdop = v;
  if (tag == "vdop" && Number(text, v)) Point.Vdop = v;
  if (tag == "pdop" && Number(text, v)) Point.Pdop = v;
}

void GpxReader::End(const char*) {
  Progress();
  if (Stack.empty()) return;  // after a refused root
  const bool field = InPoint();  // the element ending is a child of a point
  const bool point = PointDepth > 0 && Stack.size() == PointDepth;
  const std::string local = Stack.back();
  Stack.pop_back();
  if (field) {
    EndField(local);
  } else if (point) {
    PointInto->push_back(Point);
    PointDepth = 0;
  } else if (local == "name" && Capturing && !File.Lines.empty()) {
    File.Lines.back().Name = Trimmed(Captured);
  }
  Capturing = false;
  Captured.clear();
}

std::string GpxReader::Read(const std::string& path, TrackFile& out) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return "cannot open " + path;
  std::string problem = Read(in, path, out);
  std::fclose(in);
  return problem;
}

std::string GpxReader::Read(std::FILE* in, const std::string& name, TrackFile& out) {
  XML_Parser parser = XML_ParserCreateNS(nullptr, Separator);
  Parser = parser;
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  XML_SetProcessingInstructionHandler(parser, OnOther);
  XML_SetCommentHandler(parser, OnComment);
  // No entity is ever declared, so none expands, and none is fetched from outside.
  XML_SetEntityDeclHandler(parser, OnEntity);
  static char block[ReadBlock];
  long fed = 0;
  bool done = false;
  while (!done && Problem.empty()) {
    const size_t n = std::fread(block, 1, sizeof block, in);
    done = n < sizeof block;
    if (XML_Parse(parser, block, static_cast<int>(n), done) != XML_STATUS_OK && Problem.empty()) {
      Problem = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
                XML_ErrorString(XML_GetErrorCode(parser));
    }
    fed += static_cast<long>(n);
    // A tag, comment or declaration still open this far back is held whole by the parser.
    if (Problem.empty() && fed - LastEvent > static_cast<long>(MaxText) + static_cast<long>(ReadBlock)) {
      Problem = "a single tag is longer than " + std::to_string(MaxText) + " bytes";
    }
  }
  if (Problem.empty() && std::ferror(in)) Problem = "cannot read it";
  XML_ParserFree(parser);
  Parser = nullptr;
  if (!Problem.empty()) return name + ": " + Problem;
  out = std::move(File);
  return {};
}

}  // namespace cli

// GPX 1.1 after topografix.com/GPX/1/1/gpx.xsd (children of wptType in schema order),
// GeoJSON after RFC 7946 (positions longitude, latitude and height; no "crs" member; times
// per position in the "coordTimes" property, as GPX converters write them).
#include "TrackWriter.h"

#include <charconv>
#include <cmath>

namespace cli {
namespace {

constexpr int DegreeDecimals = 7;  // about a centimetre
// Text held before it goes to the file when nobody asks for flushes: memory stays flat.
constexpr size_t FlushBytes = 1 << 16;

// GPX takes longitudes from -180 up to but not including 180: the meridian is written as -180
// (also when 179.99999996 would round to it).
double Longitude(double lon) { return std::round(lon * 1e7) >= 180e7 ? lon - 360 : lon; }

struct FormatName {
  const char* Name;
  TrackFormat Format;
};
constexpr FormatName FormatNames[] = {
    {"gpx", TrackFormat::Gpx}, {"geojson", TrackFormat::GeoJson}, {"csv", TrackFormat::Csv}};

// The text with every byte that is not part of a well-formed UTF-8 sequence, and every
// control character XML 1.0 forbids, as '?': names come from file paths and devices.
std::string Utf8(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = length > 0 && i + length <= s.size() && (c >= 0x20 || c == '\t' || c == '\n') && c != 0x7F;
    for (size_t k = 1; ok && k < length; ++k) ok = (static_cast<unsigned char>(s[i + k]) >> 6) == 2;
    // Overlong forms and surrogates are not UTF-8 either.
    if (ok && length == 2) ok = c >= 0xC2;
    if (ok && length == 3) {
      const unsigned char d = static_cast<unsigned char>(s[i + 1]);
      ok = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
    }
    if (ok && length == 4) {
      const unsigned char d = static_cast<unsigned char>(s[i + 1]);
      ok = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
    }
    out.append(ok ? s.substr(i, length) : std::string("?"));
    i += ok ? length : 1;
  }
  return out;
}

// Text for XML character data and attribute values.
std::string XmlText(const std::string& s) {
  std::string out;
  for (char c : Utf8(s)) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A JSON string; control characters escaped.
std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : Utf8(s)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + '"';
}

// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return Utf8(s);
  std::string out = "\"";
  for (char c : Utf8(s)) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + '"';
}

}  // namespace

bool TrackFormatNamed(const std::string& name, TrackFormat& format) {
  for (const FormatName& f : FormatNames) {
    if (name == f.Name) {
      format = f.Format;
      return true;
    }
  }
  return false;
}

// In the order of TrackFormat.
const TrackWriter::Syntax TrackWriter::Syntaxes[] = {
    {&TrackWriter::GpxHead, &TrackWriter::GpxPoint, &TrackWriter::GpxTail},
    {&TrackWriter::JsonHead, &TrackWriter::JsonPoint, &TrackWriter::JsonTail},
    {&TrackWriter::CsvHead, &TrackWriter::CsvPoint, &TrackWriter::CsvTail},
};

TrackWriter::TrackWriter(TrackFormat format, std::FILE* out, bool keepClosed,
                         const std::string& name)
    : Is(Syntaxes[static_cast<int>(format)]), Out(out), KeepClosed(keepClosed), Name(name) {
  (this->*Is.Head)();
}

void TrackWriter::Number(double v, int decimals) {
  char buffer[64];
  const std::to_chars_result r =
      decimals >= 0 ? std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals)
                    : std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 10);
  Pending.append(buffer, r.ptr);
}

void TrackWriter::Add(const TrackPoint& point) {
  const bool newSegment = Count == 0 || point.NewSegment;
  (this->*Is.Point)(point, newSegment);
  if (newSegment) {
    ++Segments;
    InSegment = 0;
  }
  ++InSegment;
  ++Count;
  if (!KeepClosed && Pending.size() >= FlushBytes) Flush();
}

std::string TrackWriter::Preview(const TrackPoint& open) const {
  TrackWriter copy(*this);
  copy.Pending.clear();
  copy.KeepClosed = true;  // no flush from Add
  copy.Add(open);
  return copy.Pending;
}

bool TrackWriter::Flush(const TrackPoint* open) {
  if (Failed) return false;
  if (KeepClosed) {
    std::string tail = (open != nullptr ? Preview(*open) : std::string()) + (this->*Is.Tail)();
    if (Pending.empty() && tail == WrittenTailText) return true;
    WrittenTailText = tail;
    // White space after the document is allowed in XML and JSON: it covers whatever of the
    // text written before would otherwise stick out after a shorter one.
    if (static_cast<long>(Pending.size() + tail.size()) < WrittenTail) {
      tail.append(static_cast<size_t>(WrittenTail) - Pending.size() - tail.size(), '\n');
    }
    // One write of the new text and the closing text, over the closing text written before.
    Pending += tail;
    Failed = std::fseek(Out, -WrittenTail, SEEK_END) != 0;
    WrittenTail = static_cast<long>(tail.size());
  }
  Failed = Failed || std::fwrite(Pending.data(), 1, Pending.size(), Out) != Pending.size() ||
           std::fflush(Out) != 0;
  Pending.clear();
  return !Failed;
}

bool TrackWriter::Finish() {
  if (!KeepClosed) Pending += (this->*Is.Tail)();
  return Flush();
}

// GPX -----------------------------------------------------------------------------------------

void TrackWriter::GpxHead() {
  Pending +=
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"velmira\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
      "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n"
      " <trk>\n";
  if (!Name.empty()) Pending += "  <name>" + XmlText(Name) + "</name>\n";
}

void TrackWriter::GpxPoint(const TrackPoint& p, bool newSegment) {
  if (newSegment) Pending += Count == 0 ? "  <trkseg>\n" : "  </trkseg>\n  <trkseg>\n";
  Pending += "   <trkpt lat=\"";
  Number(p.Lat, DegreeDecimals);
  Pending += "\" lon=\"";
  Number(Longitude(p.Lon), DegreeDecimals);
  Pending += "\">";
  if (!std::isnan(p.Ele)) {
    Pending += "<ele>";
    Number(p.Ele);
    Pending += "</ele>";
  }
  if (!p.Time.empty()) Pending += "<time>" + p.Time + "</time>";
  if (!p.Name.empty()) Pending += "<name>" + XmlText(p.Name) + "</name>";
  if (!p.Fix.empty()) Pending += "<fix>" + p.Fix + "</fix>";
  if (p.Sat >= 0) Pending += "<sat>" + std::to_string(p.Sat) + "</sat>";
  const std::pair<const char*, double> dops[] = {{"hdop", p.Hdop}, {"vdop", p.Vdop}, {"pdop", p.Pdop}};
  for (const auto& [tag, value] : dops) {
    if (std::isnan(value)) continue;
    Pending += std::string("<") + tag + ">";
    Number(value);
    Pending += std::string("</") + tag + ">";
  }
  Pending += "</trkpt>\n";
}

std::string TrackWriter::GpxTail() const {
  return std::string(Count > 0 ? "  </trkseg>\n" : "") + " </trk>\n</gpx>\n";
}

// GeoJSON -------------------------------------------------------------------------------------

void TrackWriter::JsonHead() { Pending += "{\"type\":\"FeatureCollection\",\"features\":["; }

void TrackWriter::JsonPoint(const TrackPoint& p, bool newSegment) {
  if (Count == 0) {
    Pending += "\n{\"type\":\"Feature\",\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":[\n[";
    Times = "[[";
  } else if (newSegment) {
    if (InSegment == 1) {
      Pending += "," + LastPosition;
      Times += "," + LastTime;
    }
    Pending += "],\n[";
    Times += "],[";
  } else {
    Pending += ',';
    Times += ',';
  }
  const size_t start = Pending.size();
  Pending += '[';
  Number(Longitude(p.Lon), DegreeDecimals);
  Pending += ',';
  Number(p.Lat, DegreeDecimals);
  if (!std::isnan(p.Ele)) {
    Pending += ',';
    Number(p.Ele);
  }
  Pending += ']';
  LastPosition = Pending.substr(start);
  LastTime = p.Time.empty() ? "null" : '"' + p.Time + '"';
  Times += LastTime;
}

std::string TrackWriter::JsonTail() const {
  if (Count == 0) return "]}\n";
  return std::string(InSegment == 1 ? "," + LastPosition : "") +
         "]\n]},\"properties\":{\"name\":" + JsonString(Name) + ",\"coordTimes\":" + Times +
         (InSegment == 1 ? "," + LastTime : "") + "]]}}\n]}\n";
}

// CSV -----------------------------------------------------------------------------------------

void TrackWriter::CsvHead() { Pending += "segment,time,lat,lon,ele,fix,sat,hdop,vdop,pdop,name\n"; }

void TrackWriter::CsvPoint(const TrackPoint& p, bool newSegment) {
  Pending += std::to_string(Segments + (newSegment ? 1 : 0)) + ',' + p.Time + ',';
  Number(p.Lat, DegreeDecimals);
  Pending += ',';
  Number(Longitude(p.Lon), DegreeDecimals);
  Pending += ',';
  if (!std::isnan(p.Ele)) Number(p.Ele);
  Pending += ',' + p.Fix + ',' + (p.Sat >= 0 ? std::to_string(p.Sat) : std::string());
  for (double v : {p.Hdop, p.Vdop, p.Pdop}) {
    Pending += ',';
    if (!std::isnan(v)) Number(v);
  }
  Pending += ',' + CsvField(p.Name) + '\n';
}

std::string TrackWriter::CsvTail() const { return {}; }

}  // namespace cli

// Writes one track as GPX 1.1, GeoJSON (RFC 7946) or CSV while its points come in.
//
// A writer that keeps its document closed ends the file with the document's closing text at
// every flush and seeks back over it, so the next points overwrite only that text: a reader
// finds a complete document whenever the program stops, however it stops.
#pragma once

#include <cstdio>
#include <string>

#include "TrackPoint.h"

namespace cli {

enum class TrackFormat { Gpx, GeoJson, Csv };

// The format named `name` ("gpx", "geojson", "csv"); false for any other name.
bool TrackFormatNamed(const std::string& name, TrackFormat& format);

class TrackWriter {
 public:
  // Writes to `out`, which the caller opens and closes. `keepClosed` needs a seekable file.
  TrackWriter(TrackFormat format, std::FILE* out, bool keepClosed, const std::string& name);

  // Adds a point; one with NewSegment set (or the first) opens a segment.
  void Add(const TrackPoint& point);
  // Writes what is pending; false when the file refuses it. A writer that keeps its document
  // closed also writes `open`, a point still changing, which the next flush overwrites.
  bool Flush(const TrackPoint* open = nullptr);
  // Writes the rest and the closing text; false when the file refuses it.
  bool Finish();
  long Points() const { return Count; }

 private:
  struct Syntax {
    void (TrackWriter::*Head)();
    void (TrackWriter::*Point)(const TrackPoint& p, bool newSegment);
    std::string (TrackWriter::*Tail)() const;
  };
  static const Syntax Syntaxes[];

  void GpxHead();
  void GpxPoint(const TrackPoint& p, bool newSegment);
  std::string GpxTail() const;
  void JsonHead();
  void JsonPoint(const TrackPoint& p, bool newSegment);
  std::string JsonTail() const;
  void CsvHead();
  void CsvPoint(const TrackPoint& p, bool newSegment);
  std::string CsvTail() const;
  void Number(double v, int decimals = -1);  // -1: up to 10 significant digits
  // The text Add(open) would write, leaving the writer as it is.
  std::string Preview(const TrackPoint& open) const;

  const Syntax& Is;
  std::FILE* Out;
  bool KeepClosed;
  std::string Name;
  std::string Pending;  // written at the next flush
  long Count = 0, Segments = 0, InSegment = 0;
  long WrittenTail = 0;  // bytes of closing text at the file's end, to seek back over
  std::string WrittenTailText;
  bool Failed = false;
  // GeoJSON: the times go into the properties after the coordinates, and a segment of one
  // position is a line from that position to itself.
  std::string Times, LastPosition, LastTime;
};

}  // namespace cli

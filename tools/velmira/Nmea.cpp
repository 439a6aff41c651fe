// velmira nmea: decodes NMEA from a file, standard input or a serial port through an
// NmeaParser and prints one JSON object per delivered event, in posting order.
#include <charconv>
#include <chrono>
#include <cerrno>
#include <memory>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Commands.h"
#include "PortReport.h"
#include "SourceUrl.h"
#include "TrackSink.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

// Text is handed to the parser a line at a time; longer lines go in pieces of this size,
// so memory stays the same whatever the input.
constexpr size_t MaxPiece = 4096;
constexpr size_t ReadBlock = 1 << 16;
// How long one wait for a port message lasts before the deadline is looked at again.
constexpr int32_t PortWaitSliceMs = 200;
// Seconds of silence from a network source before the user is told.
constexpr int SilenceNoteSeconds = 5;
// COM numbers the library can map to a device.
constexpr int MaxPort = 255;

struct Options {
  int Datum = 1;
  int Grid = 0;
  int Zone = 0;
  bool Sentences = false;
  std::string File;  // "-" for standard input
  int Port = 0;
  std::string Device;
  bool UsePort = false;
  bool SourceGiven = false;
  SourceUrl Source;
  bool UseNetwork = false;  // a network source read by the library
  int Baud = -1;  // not given
  int PolledMs = -1;  // event mode
  long Count = -1;
  double Seconds = -1;
  bool Track = false;  // a track file instead of JSON Lines
  TrackFormat Format = TrackFormat::Gpx;
  double Gap = 5;  // seconds without a fix that end a track segment
};

bool ReadNumber(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == 0 && std::isfinite(out);
}

bool ReadInt(const std::string& text, long low, long high, long& out) {
  double v;
  if (!ReadNumber(text, v) || v != std::trunc(v) || v < low || v > high) return false;
  out = static_cast<long>(v);
  return true;
}

// The problem with the arguments, empty when they make sense.
std::string ParseOptions(const Args& args, Options& o) {
  bool portGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    long v = 0;
    std::string problem;
    // Takes the option's value, a whole number from low to high.
    auto take = [&](long low, long high) {
      if (i + 1 < args.size() && ReadInt(args[i + 1], low, high, v)) {
        ++i;
        return true;
      }
      problem =
          a + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high);
      return false;
    };
    if (a == "--datum") {
      if (take(INT16_MIN, INT16_MAX)) o.Datum = static_cast<int>(v);
    } else if (a == "--grid") {
      if (take(INT16_MIN, INT16_MAX)) o.Grid = static_cast<int>(v);
    } else if (a == "--zone") {
      if (take(INT16_MIN, INT16_MAX)) o.Zone = static_cast<int>(v);
    } else if (a == "--sentences") {
      o.Sentences = true;
    } else if (a == "--port") {
      if (take(0, MaxPort)) o.Port = static_cast<int>(v);
      o.UsePort = portGiven = true;
    } else if (a == "--device") {
      if (i + 1 < args.size()) {
        o.Device = args[++i];
      } else {
        problem = "--device takes a path";
      }
      o.UsePort = true;
    } else if (a == "--source") {
      if (i + 1 < args.size()) {
        problem = o.Source.Parse(args[++i]);
      } else {
        problem = "--source takes a URL or a file path";
      }
      o.SourceGiven = true;
    } else if (a == "--baud") {
      if (take(0, INT32_MAX)) o.Baud = static_cast<int>(v);
    } else if (a == "--polled") {
      if (take(0, INT32_MAX)) o.PolledMs = static_cast<int>(v);
    } else if (a == "--count") {
      if (take(0, LONG_MAX)) o.Count = v;
    } else if (a == "--seconds") {
      double s;
      if (i + 1 < args.size() && ReadNumber(args[i + 1], s) && s >= 0) {
        o.Seconds = s;
        ++i;
      } else {
        problem = "--seconds takes a number of seconds, 0 or more";
      }
    } else if (a == "--format") {
      const bool named = i + 1 < args.size() && (args[i + 1] == "jsonl" || TrackFormatNamed(args[i + 1], o.Format));
      if (named) o.Track = args[++i] != "jsonl";
      if (!named) problem = "--format takes jsonl, gpx, geojson or csv";
    } else if (a == "--gap") {
      if (i + 1 < args.size() && ReadNumber(args[i + 1], o.Gap) && o.Gap >= 0) {
        ++i;
      } else {
        problem = "--gap takes a number of seconds, 0 or more";
      }
    } else if (IsOption(a)) {
      problem = "unknown option '" + a + "'";
    } else if (o.File.empty()) {
      o.File = a;
    } else {
      problem = "one file at most";
    }
    if (!problem.empty()) return problem;
  }
  constexpr const char* OneInput = "give one input: FILE, -, --port N, --device PATH or --source URL";
  if (o.SourceGiven) {
    if (o.UsePort || !o.File.empty()) return OneInput;
    if (o.Source.Type == SourceUrl::Kind::File) o.File = o.Source.Path;
    if (o.Source.Type == SourceUrl::Kind::Network) o.UseNetwork = true;
    if (o.Source.Type == SourceUrl::Kind::Serial) {
      o.Device = o.Source.Path;
      o.UsePort = true;
      if (o.Baud < 0) o.Baud = o.Source.Baud;
    }
  }
  if (o.UsePort + o.UseNetwork + !o.File.empty() != 1) return OneInput;
  if (o.Zone != 0 && o.Grid == 0) return "--zone needs --grid";
  if (!o.UsePort && o.Baud >= 0) return "--baud is for ports";
  if (!o.UsePort && !o.UseNetwork && o.PolledMs >= 0) return "--polled is for ports and network sources";
  if (!o.Device.empty() && portGiven && o.Port == 0) return "--device needs a port from 1 to 255";
  if (!portGiven) o.Port = 1;  // --device alone is mapped to COM1
  return {};
}

// JSON output -----------------------------------------------------------------------------

class Printer {
 public:
  explicit Printer(const Options& o) : Opts(o) {}

  // Appends the event's JSON line to Line; false for events that are not printed.
  bool Format(uintptr_t kind, void* object);
  const std::string& Text() const { return Line; }

 private:
  // Degrees: 9 decimals; Metres: 3 decimals (grid coordinates); Value: 10 significant digits.
  enum class Style { Value, Degrees, Metres };
  void Number(const char* name, double v, Style style = Style::Value);
  void Integer(const char* name, long v);
  void AppendInt(long v) {
    char buffer[24];
    Line.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
  }
  void String(const char* name, const std::string& s);
  void Fix(VmGpsFix* fix);
  void Grid(VmPosition* where);
  void Movement(VmMovement* m);
  void Quality(VmQuality* q);
  void Satellites(VmSatellites* s);
  void Status(VmComStatus* s);
  void Sentence(VmNmeaSentence* s);

  const Options& Opts;
  std::string Line;
};

// Numbers are formatted with to_chars: the same digits as printf's %.*f and %.*g, without
// the format parsing that would otherwise dominate the run time.
void Printer::Number(const char* name, double v, Style style) {
  Line += ",\"";
  Line += name;
  Line += "\":";
  if (!std::isfinite(v)) {
    Line += "null";  // JSON has no infinities
    return;
  }
  char buffer[64];
  std::to_chars_result r =
      style == Style::Degrees ? std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 9)
      : style == Style::Metres ? std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 3)
                               : std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 10);
  Line.append(buffer, r.ptr);
}

void Printer::Integer(const char* name, long v) {
  Line += ",\"";
  Line += name;
  Line += "\":";
  AppendInt(v);
}

void Printer::String(const char* name, const std::string& s) {
  Line += ",\"";
  Line += name;
  Line += "\":\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      Line += '\\';
      Line += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);  // keeps the output plain ASCII
      Line += escape;
    } else {
      Line += static_cast<char>(c);
    }
  }
  Line += '"';
}

void Printer::Fix(VmGpsFix* fix) {
  Line = "{\"class\":\"FIX\"";
  Integer("type", GpsFix_GetFixType(fix));
  Integer("year", GpsFix_GetYear(fix));
  Integer("month", GpsFix_GetMonth(fix));
  Integer("day", GpsFix_GetDay(fix));
  Integer("hour", GpsFix_GetHour(fix));
  Integer("minute", GpsFix_GetMinute(fix));
  Integer("second", GpsFix_GetSecond(fix));
  Integer("ms", GpsFix_GetMilliSecond(fix));
  VmPosition* where = GpsFix_GetPosition(fix);
  double lat = 0, lon = 0, alt = 0, height = 0;
  Position_GetLatitudeDecDeg(where, &lat);
  Position_GetLongitudeDecDeg(where, &lon);
  Position_GetAltitude(where, 0, &alt);
  Position_GetAltitude(where, 1, &height);
  Number("lat", lat, Style::Degrees);
  Number("lon", lon, Style::Degrees);
  Number("alt", alt);
  Number("height", height);
  if (Opts.Grid != 0) Grid(where);
  Position_Delete(where);
  Line += '}';
}

void Printer::Grid(VmPosition* where) {
  Position_SetGrid(where, static_cast<int16_t>(Opts.Grid));
  if (Opts.Zone != 0) Position_SetZone(where, static_cast<int16_t>(Opts.Zone));
  double easting = 0, northing = 0;
  Position_GetEasting(where, &easting);
  bool ok = Error_ErrNum(Position_GetErrHandle(where)) == 0;
  Position_GetNorthing(where, &northing);
  ok = ok && Error_ErrNum(Position_GetErrHandle(where)) == 0;
  BSTR zone = Position_GetZone(where, nullptr);
  if (ok) {
    Number("easting", easting, Style::Metres);
    Number("northing", northing, Style::Metres);
  } else {
    Line += ",\"easting\":null,\"northing\":null";  // outside the grid or its zone
  }
  String("zone", Narrow(zone));
  SysFreeString(zone);
}

void Printer::Movement(VmMovement* m) {
  double speed = 0, heading = 0, variation = 0;
  Movement_GetSpeed(m, 0, &speed);
  Movement_GetHeading(m, &heading);
  Movement_GetMagneticVariation(m, &variation);
  Line = "{\"class\":\"MOVEMENT\"";
  Number("speed_kn", speed);
  Number("heading", heading);
  Number("variation", variation);
  Line += '}';
}

void Printer::Quality(VmQuality* q) {
  double h = 0, v = 0, p = 0;
  Quality_GetHDOP(q, &h);
  Quality_GetVDOP(q, &v);
  Quality_GetPDOP(q, &p);
  Line = "{\"class\":\"QUALITY\"";
  Number("hdop", h);
  Number("vdop", v);
  Number("pdop", p);
  Line += '}';
}

void Printer::Satellites(VmSatellites* s) {
  int16_t count = Satellites_GetCount(s);
  Line = "{\"class\":\"SATELLITES\"";
  Integer("count", count);
  Line += ",\"satellites\":[";
  constexpr int16_t MaxListed = 12;
  for (int16_t i = 1; i <= count && i <= MaxListed; ++i) {
    VmSatellite* one = Satellites_Item(s, i);
    if (one == nullptr) break;
    Line += i > 1 ? ",{\"id\":" : "{\"id\":";
    AppendInt(Satellite_GetID(one));
    Line += ",\"elevation\":";
    AppendInt(Satellite_GetElevation(one));
    Line += ",\"azimuth\":";
    AppendInt(Satellite_GetAzimuth(one));
    Line += ",\"snr\":";
    AppendInt(Satellite_GetSNR(one));
    Line += '}';
    Satellite_Delete(one);
  }
  Line += "]}";
}

void Printer::Status(VmComStatus* s) {
  Line = "{\"class\":\"COMSTATUS\",\"valid\":";
  Line += ComStatus_GetValidNmea(s) ? "true" : "false";
  Integer("port", ComStatus_GetComPort(s));
  Integer("baud", ComStatus_GetBaudRate(s));
  Line += '}';
}

void Printer::Sentence(VmNmeaSentence* s) {
  Line = "{\"class\":\"SENTENCE\"";
  String("command", Narrow(NmeaSentence_GetCommand(s, nullptr)));
  String("text", Narrow(NmeaSentence_GetSentence(s, nullptr)));
  Line += '}';
}

bool Printer::Format(uintptr_t kind, void* object) {
  switch (kind) {
    case KindSentence:
      if (!Opts.Sentences) return false;
      Sentence(static_cast<VmNmeaSentence*>(object));
      return true;
    case KindFix: Fix(static_cast<VmGpsFix*>(object)); return true;
    case KindSatellites: Satellites(static_cast<VmSatellites*>(object)); return true;
    case KindMovement: Movement(static_cast<VmMovement*>(object)); return true;
    case KindQuality: Quality(static_cast<VmQuality*>(object)); return true;
    case KindStatus: Status(static_cast<VmComStatus*>(object)); return true;
    default: return false;
  }
}

// The run -----------------------------------------------------------------------------------

class Run {
 public:
  explicit Run(const Options& o) : Opts(o), Out(o) {
    if (o.Seconds >= 0) {
      Deadline = std::chrono::steady_clock::now() +
                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::duration<double>(o.Seconds));
    }
  }

  bool Done() const {
    return Opts.Count >= 0 && (Track ? Track->Points() : Printed) >= Opts.Count;
  }
  bool TimeUp() const { return Opts.Seconds >= 0 && std::chrono::steady_clock::now() >= Deadline; }
  // Milliseconds until the deadline (LONG_MAX without one).
  long MsToDeadline() const {
    if (Opts.Seconds < 0) return LONG_MAX;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        Deadline - std::chrono::steady_clock::now()).count();
    return left < 0 ? 0 : left;
  }
  // One wait for a port message: short enough to notice the deadline.
  int32_t WaitSlice() const {
    long left = MsToDeadline();
    return static_cast<int32_t>(left < PortWaitSliceMs ? left : PortWaitSliceMs);
  }

  // Prints the event (unless it is not wanted or the count is reached) and deletes it.
  void Take(uintptr_t kind, void* object) {
    Observe(kind, object);
    if (Track) {
      if (!Done()) Track->Take(kind, object);
    } else if (!Done() && Out.Format(kind, object)) {
      Emit(Out.Text());
    }
    DeleteCarried(kind, object);
  }

  // Follows the port's validity: any record means valid NMEA came in; a port status says
  // whether it still does. Changes are noted on standard error.
  void Observe(uintptr_t kind, void* object) {
    if (kind != KindStatus) {
      SawValid = true;
      return;
    }
    auto* status = static_cast<VmComStatus*>(object);
    const bool valid = ComStatus_GetValidNmea(status) != 0;
    if (Opts.UseNetwork) {
      if (valid != Valid) {
        std::fprintf(stderr, valid ? "velmira nmea: valid NMEA from %s\n"
                                   : "velmira nmea: link to %s lost; connecting again\n",
                     Opts.Source.Label().c_str());
      }
    } else if (valid && !Valid) {
      std::fprintf(stderr, "velmira nmea: valid NMEA on COM%d at %d baud\n",
                   ComStatus_GetComPort(status), static_cast<int>(ComStatus_GetBaudRate(status)));
    } else if (!valid && Valid) {
      std::fprintf(stderr, "velmira nmea: valid NMEA lost on COM%d\n", LastPort);
    }
    SawValid = SawValid || valid;
    Valid = valid;
    LastPort = ComStatus_GetComPort(status);
  }

  void Emit(const std::string& line) {
    fwrite_unlocked(line.data(), 1, line.size(), stdout);  // one thread writes stdout
    putc_unlocked('\n', stdout);
    ++Printed;
  }

  // Takes every message queued now.
  void DrainNow(HWND window) {
    VmMsg m;
    while (VmWindow_GetMessage(window, &m, 0) == 1) {
      if (m.message == GpsMessage) Take(m.wParam, reinterpret_cast<void*>(m.lParam));
    }
  }

  const Options& Opts;
  Printer Out;
  std::unique_ptr<TrackSink> Track;  // with --format gpx, geojson or csv
  long Printed = 0;
  bool SawValid = false;  // valid NMEA came from the port at some time
  bool Valid = false;     // the port's validity as last seen
  int LastPort = 0;
  std::chrono::steady_clock::time_point Deadline;
  const std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
  bool SilenceNoted = false;

  // A network source that has said nothing for a while: the user hears why nothing comes
  // (the library keeps trying without a word).
  void NoteSilence() {
    if (!Opts.UseNetwork || SawValid || SilenceNoted ||
        std::chrono::steady_clock::now() - Started < std::chrono::seconds(SilenceNoteSeconds)) {
      return;
    }
    SilenceNoted = true;
    std::fprintf(stderr, "velmira nmea: no NMEA from %s yet; is the server there? (it is tried again every few seconds)\n",
                 Opts.Source.Label().c_str());
  }
};

// Feeds one line (or piece of an overlong one) to the parser; lines get CR LF whatever
// ending they had, so files with bare LF endings decode as well.
void ParseLine(VmNmeaParser* parser, const char* text, size_t length, bool lineEnds) {
  static char16_t wide[MaxPiece + 3];
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) --length;
  size_t n = 0;
  for (; n < length; ++n) wide[n] = static_cast<unsigned char>(text[n]);
  if (lineEnds) {
    wide[n++] = '\r';
    wide[n++] = '\n';
  }
  wide[n] = 0;
  NmeaParser_Parse(parser, wide);
}

int RunText(Run& run, VmNmeaParser* parser, HWND window) {
  std::FILE* in = run.Opts.File == "-" ? stdin : std::fopen(run.Opts.File.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "velmira nmea: cannot open '%s'\n", run.Opts.File.c_str());
    return 1;
  }
  static char block[ReadBlock];
  static char line[MaxPiece];
  size_t used = 0;
  size_t got;
  while (!run.Done() && !run.TimeUp() && (got = std::fread(block, 1, sizeof block, in)) > 0) {
    const char* p = block;
    const char* end = block + got;
    while (p < end && !run.Done()) {
      // Up to the next LF, or as much as the piece buffer still takes.
      size_t room = MaxPiece - used;
      size_t span = static_cast<size_t>(end - p) < room ? static_cast<size_t>(end - p) : room;
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', span));
      size_t take = lf != nullptr ? static_cast<size_t>(lf - p) + 1 : span;
      std::memcpy(line + used, p, take);
      used += take;
      p += take;
      if (lf != nullptr || used == MaxPiece) {
        ParseLine(parser, line, used, lf != nullptr);
        used = 0;
        run.DrainNow(window);
      }
    }
  }
  if (used > 0 && !run.Done()) {  // a last line without its line end
    ParseLine(parser, line, used, true);
    run.DrainNow(window);
  }
  if (in != stdin) std::fclose(in);
  return 0;
}

int RunPortEvents(Run& run, HWND window) {
  VmMsg m;
  while (!run.Done() && !run.TimeUp()) {
    if (VmWindow_GetMessage(window, &m, run.WaitSlice()) == 1 &&
        m.message == GpsMessage) {
      run.Take(m.wParam, reinterpret_cast<void*>(m.lParam));
      std::fflush(stdout);
    }
    run.NoteSilence();
  }
  return 0;
}

// Polled mode prints each fix as it comes, and the other records and the port status when
// they differ from what was printed last.
int RunPortPolled(Run& run, VmNmeaParser* parser) {
  std::string last[4];
  auto printChanged = [&run](int slot, std::string* lastText, uintptr_t kind, void* object) {
    if (object == nullptr) return;
    run.Observe(kind, object);
    if (run.Track) {
      if (!run.Done()) run.Track->Take(kind, object);
    } else if (!run.Done() && run.Out.Format(kind, object) && run.Out.Text() != lastText[slot]) {
      lastText[slot] = run.Out.Text();
      run.Emit(lastText[slot]);
    }
    DeleteCarried(kind, object);
  };
  while (!run.Done() && !run.TimeUp()) {
    long left = run.MsToDeadline();
    int32_t wait = left < run.Opts.PolledMs ? static_cast<int32_t>(left) : run.Opts.PolledMs;
    VmGpsFix* fix = NmeaParser_GetGpsFix(parser, wait < 1 ? 1 : wait, 0);
    if (fix != nullptr) run.Take(KindFix, fix);
    // The status after the wait, so that a fix and the port's validity are seen together.
    printChanged(0, last, KindStatus, NmeaParser_GetComStatus(parser));
    printChanged(1, last, KindMovement, NmeaParser_GetMovement(parser, 0));
    printChanged(2, last, KindQuality, NmeaParser_GetQuality(parser, 0));
    printChanged(3, last, KindSatellites, NmeaParser_GetSatellites(parser, 0));
    std::fflush(stdout);
    run.NoteSilence();
  }
  return 0;
}

int RunPort(Run& run, VmNmeaParser* parser, HWND window) {
  const Options& o = run.Opts;
  if (!o.Device.empty()) VmComPort_SetDevice(static_cast<int16_t>(o.Port), o.Device.c_str());
  // With port 0 the library searches every port at every rate, whatever rate was given.
  const int baud = o.Port == 0 || o.Baud < 0 ? 0 : o.Baud;
  NmeaParser_SetComPort(parser, static_cast<int16_t>(o.Port));
  NmeaParser_SetBaudRate(parser, baud);
  VmError* err = NmeaParser_GetErrHandle(parser);
  if (Error_ErrNum(err) != 0) return BadUsage("nmea", ErrorText(err));

  // Detection would skip a port that does not open without a word: try each first. A port
  // with a rate is opened by the parser itself, which reports the failure.
  const std::vector<int> ports = baud == 0 ? UsablePorts("nmea", o.Port) : std::vector<int>{o.Port};
  if (ports.empty()) return 1;
  if (o.PolledMs >= 0) NmeaParser_SetNoEvents(parser, 1);
  NmeaParser_SetPortEnabled(parser, 1);
  if (Error_ErrNum(err) != 0) {
    std::fprintf(stderr, "velmira nmea: %s\n", CannotOpen(o.Port, ErrorText(err)).c_str());
    return 1;
  }
  std::fprintf(stderr, "velmira nmea: %s %s\n", baud == 0 ? "detecting the receiver on" : "reading",
               Tried(ports, baud).c_str());

  int status = o.PolledMs >= 0 ? RunPortPolled(run, parser) : RunPortEvents(run, window);
  NmeaParser_SetPortEnabled(parser, 0);
  run.DrainNow(window);
  if (status == 0 && !run.SawValid && !run.Done()) {
    std::fprintf(stderr, "velmira nmea: no valid NMEA within %g s; tried %s%s\n", o.Seconds,
                 Tried(ports, baud).c_str(), baud == 0 ? DetectionPace : "");
    status = 1;
  }
  return status;
}

// The library's error number for a URL it does not take (its "invalid argument").
constexpr int32_t UnknownSourceUrl = 10003;

// A network source: the library connects, and connects again whenever the link drops.
int RunNetwork(Run& run, VmNmeaParser* parser, HWND window) {
  const Options& o = run.Opts;
  if (o.PolledMs >= 0) NmeaParser_SetNoEvents(parser, 1);
  VmNmeaParser_OpenSource(parser, o.Source.Url.c_str());
  VmError* err = NmeaParser_GetErrHandle(parser);
  if (Error_ErrNum(err) == UnknownSourceUrl) {
    return BadUsage("nmea", "'" + o.Source.Url +
                                "' is no source URL: gpsd://HOST[:PORT][/DEVICE], tcp://HOST:PORT or "
                                "udp://[BIND]:PORT");
  }
  if (Error_ErrNum(err) != 0) {
    std::fprintf(stderr, "velmira nmea: cannot open %s: %s\n", o.Source.Url.c_str(),
                 ErrorText(err).c_str());
    return 1;
  }
  std::fprintf(stderr, "velmira nmea: reading %s\n", o.Source.Label().c_str());
  int status = o.PolledMs >= 0 ? RunPortPolled(run, parser) : RunPortEvents(run, window);
  VmNmeaParser_CloseSource(parser);
  run.DrainNow(window);
  if (status == 0 && !run.SawValid && !run.Done()) {
    std::fprintf(stderr, "velmira nmea: no valid NMEA from %s within %g s\n",
                 o.Source.Label().c_str(), o.Seconds);
    status = 1;
  }
  return status;
}

// The library's refusal of the grid or zone, empty when it knows them; checked before any
// input is read.
std::string GridRefusal(const Options& o) {
  if (o.Grid == 0) return {};
  VmPosition* probe = Position_New();
  Position_SetGrid(probe, static_cast<int16_t>(o.Grid));
  if (o.Zone != 0 && Error_ErrNum(Position_GetErrHandle(probe)) == 0) {
    Position_SetZone(probe, static_cast<int16_t>(o.Zone));
  }
  const std::string problem = Error_ErrNum(Position_GetErrHandle(probe)) != 0
                                  ? ErrorText(Position_GetErrHandle(probe))
                                  : std::string();
  Position_Delete(probe);
  return problem;
}

}  // namespace

int RunNmea(const Args& args) {
  Options o;
  std::string problem = ParseOptions(args, o);
  if (problem.empty()) problem = GridRefusal(o);
  if (!problem.empty()) return BadUsage("nmea", problem);
  VmNmeaParser* parser = NmeaParser_New();
  NmeaParser_SetGpsDatum(parser, static_cast<int16_t>(o.Datum));
  if (Error_ErrNum(NmeaParser_GetErrHandle(parser)) != 0) {
    problem = ErrorText(NmeaParser_GetErrHandle(parser));
    NmeaParser_Delete(parser);
    return BadUsage("nmea", problem);
  }
  HWND window = VmWindow_New(nullptr, 0, 0, 0, 0);
  NmeaParser_SetCallbackHWND(parser, window);
  if (!o.UsePort && !o.UseNetwork) {
    static char outBuffer[ReadBlock];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
  }

  Run run(o);
  if (o.Track) {
    const std::string name = o.UseNetwork ? o.Source.Label()
                             : !o.UsePort ? (o.File == "-" ? "standard input" : o.File)
                             : o.Device.empty() ? "COM" + std::to_string(o.Port) : o.Device;
    run.Track = std::make_unique<TrackSink>(o.Format, stdout, false, name, o.Gap, o.UsePort || o.UseNetwork);
  }
  int status = o.UseNetwork ? RunNetwork(run, parser, window)
               : o.UsePort    ? RunPort(run, parser, window)
                              : RunText(run, parser, window);

  NmeaParser_Delete(parser);
  run.DrainNow(window);
  NmeaParser_SetCallbackHWND(nullptr, nullptr);
  VmWindow_Delete(window);
  if (run.Track && !run.Track->Finish(!run.Done()) && status == 0) status = 1;
  if (std::fflush(stdout) != 0 && status == 0) status = 1;
  return status;
}

}  // namespace cli

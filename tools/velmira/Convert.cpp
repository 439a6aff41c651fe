// velmira convert: converts points between datums and grids, one per line from standard input,
// through the Position exports exactly as an application would use them.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "Commands.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

// One side of the conversion. Ids are checked by the library itself (see Refusal).
struct Spec {
  int16_t Datum = 0;
  int16_t Grid = 0;  // 0: geographic
  int16_t Zone = 0;  // 0: none given
  bool HasZone = false;
};

bool ParseId(const std::string& text, int16_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < -32768 || v > 32767) return false;
  value = static_cast<int16_t>(v);
  return true;
}

bool ParseSpec(const std::string& text, Spec& spec) {
  bool hasDatum = false, hasGrid = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = text.substr(start, comma - start);
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    if (key == "datum" && !hasDatum) {
      hasDatum = ParseId(value, spec.Datum);
      if (!hasDatum) return false;
    } else if (key == "grid" && !hasGrid) {
      hasGrid = ParseId(value, spec.Grid);
      if (!hasGrid) return false;
    } else if (key == "zone" && !spec.HasZone) {
      spec.HasZone = ParseId(value, spec.Zone);
      if (!spec.HasZone) return false;
    } else {
      return false;
    }
    start = comma + 1;
  }
  return hasDatum && (hasGrid || !spec.HasZone);
}

std::string ErrorText(VmPosition* p) {
  BSTR text = Error_ErrDesc(Position_GetErrHandle(p), nullptr);
  return Narrow(text);  // a kept string: not freed here
}

bool Failed(VmPosition* p) { return Error_ErrNum(Position_GetErrHandle(p)) != 0; }

// Applies a side's datum, grid and zone, stopping at the first refusal.
bool Apply(VmPosition* p, const Spec& spec) {
  Position_SetDatum(p, spec.Datum);
  if (Failed(p)) return false;
  if (spec.Grid != 0) {
    Position_SetGrid(p, spec.Grid);
    if (Failed(p)) return false;
  }
  if (spec.HasZone) {
    Position_SetZone(p, spec.Zone);
    if (Failed(p)) return false;
  }
  return true;
}

// The library judges the ids: a side it refuses on a fresh position is bad usage. Returns
// the library's message, empty when the side is accepted.
std::string Refusal(const Spec& spec) {
  VmPosition* p = Position_New();
  const std::string message = Apply(p, spec) ? std::string() : ErrorText(p);
  Position_Delete(p);
  return message;
}

// The value with `decimals` digits after the point, as printf's %.Nf prints it (to_chars
// gives the same correctly rounded digits without printf's cost, which dominated).
void AppendFixed(std::string& out, double value, int decimals) {
  char buffer[400];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (r.ec == std::errc()) {
    out.append(buffer, r.ptr);
  } else {
    char fallback[400];
    std::snprintf(fallback, sizeof fallback, "%.*f", decimals, value);
    out += fallback;
  }
}

// Two or three numbers separated by blanks, nothing else.
bool ParseCoordinates(const char* line, double values[3], int& count) {
  count = 0;
  const char* cursor = line;
  for (;;) {
    while (*cursor == ' ' || *cursor == '\t' || *cursor == '\r' || *cursor == '\n') ++cursor;
    if (*cursor == '\0') break;
    if (count == 3) return false;
    // from_chars reads what strtod reads, correctly rounded, several times faster; it only
    // leaves the plus sign to us.
    if (*cursor == '+') ++cursor;
    const char* end = cursor;
    while (*end != '\0' && *end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') ++end;
    const std::from_chars_result r = std::from_chars(cursor, end, values[count]);
    if (r.ec != std::errc() || r.ptr != end) {
      // Out of double's range: strtod's answer (infinity or zero) rather than a refusal.
      if (r.ec != std::errc::result_out_of_range) return false;
      values[count] = std::strtod(cursor, nullptr);
    }
    ++count;
    cursor = end;
  }
  return count >= 2;
}

class Converter {
 public:
  Converter(const Spec& from, const Spec& to) : From(from), To(to) {}

  // Converts one point line into `out`; false when the library refused it.
  bool Convert(const double values[3], int count, std::string& out) {
    VmPosition* p = Position_New();
    const bool ok = Run(p, values, count, out);
    if (!ok) out = "error: " + ErrorText(p);
    Position_Delete(p);
    return ok;
  }

 private:
  bool Run(VmPosition* p, const double values[3], int count, std::string& out) {
    // The source datum goes first, while the position is pristine: it only labels the point.
    if (!Apply(p, From)) return false;
    if (From.Grid != 0) {
      Position_SetEasting(p, &values[0]);
      if (Failed(p)) return false;
      Position_SetNorthing(p, &values[1]);
      if (Failed(p)) return false;
    } else {
      Position_SetLatitudeDecDeg(p, &values[0]);
      if (Failed(p)) return false;
      Position_SetLongitudeDecDeg(p, &values[1]);
      if (Failed(p)) return false;
    }
    const double height = count == 3 ? values[2] : 0.0;
    Position_SetAltitude(p, &height, 1);
    if (Failed(p)) return false;
    if (!Apply(p, To)) return false;
    return To.Grid != 0 ? ReadGrid(p, out) : ReadGeographic(p, out);
  }

  static bool ReadGeographic(VmPosition* p, std::string& out) {
    double lat = 0, lon = 0, h = 0;
    Position_GetLatitudeDecDeg(p, &lat);
    if (Failed(p)) return false;
    Position_GetLongitudeDecDeg(p, &lon);
    if (Failed(p)) return false;
    Position_GetAltitude(p, 1, &h);
    if (Failed(p)) return false;
    out.clear();
    AppendFixed(out, lat, 9);
    out += ' ';
    AppendFixed(out, lon, 9);
    out += ' ';
    AppendFixed(out, h, 4);
    return true;
  }

  static bool ReadGrid(VmPosition* p, std::string& out) {
    double e = 0, n = 0, h = 0;
    Position_GetEasting(p, &e);
    if (Failed(p)) return false;
    Position_GetNorthing(p, &n);
    if (Failed(p)) return false;
    Position_GetAltitude(p, 1, &h);
    if (Failed(p)) return false;
    out.clear();
    AppendFixed(out, e, 4);
    out += ' ';
    AppendFixed(out, n, 4);
    out += ' ';
    AppendFixed(out, h, 4);
    BSTR zone = Position_GetZone(p, nullptr);  // a copy string: ours to free
    const std::string zoneText = Narrow(zone);
    SysFreeString(zone);
    if (!zoneText.empty()) out += " " + zoneText;
    return true;
  }

  Spec From, To;
};

// Reads one line of any length into `line`; false at the end of input.
bool ReadLine(std::FILE* in, std::string& line) {
  line.clear();
  char chunk[4096];
  while (std::fgets(chunk, sizeof chunk, in) != nullptr) {
    line += chunk;
    if (!line.empty() && line.back() == '\n') return true;
  }
  return !line.empty();
}

bool CopiedThrough(const std::string& line) {
  for (char c : line) {
    if (c == '#') return true;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;  // blank
}

}  // namespace

int RunConvert(const Args& args) {
  Spec from, to;
  bool hasFrom = false, hasTo = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--from" || args[i] == "--to") && i + 1 < args.size()) {
      Spec& side = args[i] == "--from" ? from : to;
      bool& seen = args[i] == "--from" ? hasFrom : hasTo;
      if (seen || !ParseSpec(args[i + 1], side)) {
        return BadUsage("convert", "bad " + args[i] + " '" + args[i + 1] + "'");
      }
      seen = true;
      ++i;
    } else {
      return BadUsage("convert", "unexpected '" + args[i] + "'");
    }
  }
  if (!hasFrom || !hasTo) return BadUsage("convert", "both --from and --to are needed");
  for (const auto& [option, side] : {std::pair{"--from", from}, std::pair{"--to", to}}) {
    if (const std::string why = Refusal(side); !why.empty()) {
      return BadUsage("convert", std::string(option) + ": " + why);
    }
  }

  static char outputBuffer[1 << 16];
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  Converter converter(from, to);
  std::string line, out;
  int status = 0;
  while (ReadLine(stdin, line)) {
    if (CopiedThrough(line)) {
      std::fputs(line.c_str(), stdout);
      if (line.back() != '\n') std::fputc('\n', stdout);
      continue;
    }
    double values[3];
    int count = 0;
    if (!ParseCoordinates(line.c_str(), values, count)) {
      out = "error: expected two or three numbers";
      status = 1;
    } else if (!converter.Convert(values, count, out)) {
      status = 1;
    }
    std::fputs(out.c_str(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
  return status;
}

}  // namespace cli

// Replay timing: an epoch's sentences are due together, at the time stamp of the sentence that
// opens it (the UTC time field of GGA, RMC, GLL and ZDA, read only from sentences whose
// checksum holds, so a damaged line cannot throw the clock). Lines without a time stamp go
// with the epoch before them.
#include "NmeaReplay.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cli {
namespace {

constexpr double SecondsPerDay = 86400;
// The parser searches at most 512 bytes of pending text: longer lines go in pieces.
constexpr size_t MaxPiece = 480;

struct TimedSentence {
  const char* Formatter;
  int TimeField;  // counted after the address field, from 1
};
constexpr TimedSentence TimedSentences[] = {{"GGA", 1}, {"RMC", 1}, {"GLL", 5}, {"ZDA", 1}};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The sentence between '$' and '*' when its checksum holds, else empty.
std::string CheckedBody(const std::string& line) {
  const size_t start = line.find('$');
  const size_t star = line.find('*', start == std::string::npos ? 0 : start);
  if (start == std::string::npos || star == std::string::npos || star + 3 > line.size()) return {};
  unsigned sum = 0;
  for (size_t i = start + 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  const int high = HexDigit(line[star + 1]), low = HexDigit(line[star + 2]);
  if (high < 0 || low < 0 || sum != static_cast<unsigned>(high * 16 + low)) return {};
  return line.substr(start + 1, star - start - 1);
}

// Seconds of the day of an hhmmss[.sss] field; negative when the field is not a time.
double TimeOfDay(const std::string& field) {
  if (field.size() < 6) return -1;
  for (size_t i = 0; i < 6; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(field[i]))) return -1;
  }
  const int hours = (field[0] - '0') * 10 + field[1] - '0';
  const int minutes = (field[2] - '0') * 10 + field[3] - '0';
  char* end = nullptr;
  const double seconds = std::strtod(field.c_str() + 4, &end);
  if (*end != '\0' || hours > 23 || minutes > 59 || !(seconds < 61)) return -1;
  return hours * 3600.0 + minutes * 60.0 + seconds;
}

// The time stamp of a checksummed sentence that carries one, else negative.
double TimeStamp(const std::string& line) {
  const std::string body = CheckedBody(line);
  // Address field: talker (2 letters) and formatter (3), e.g. GPGGA.
  const size_t comma = body.find(',');
  if (comma != 5) return -1;
  for (const TimedSentence& t : TimedSentences) {
    if (body.compare(2, 3, t.Formatter) != 0) continue;
    size_t at = comma;
    for (int field = 1; field < t.TimeField && at != std::string::npos; ++field) {
      at = body.find(',', at + 1);
    }
    if (at == std::string::npos) return -1;
    const size_t end = body.find(',', at + 1);
    return TimeOfDay(body.substr(at + 1, end == std::string::npos ? end : end - at - 1));
  }
  return -1;
}

}  // namespace

bool NmeaReplay::Load(const std::string& path) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  Lines.clear();
  LogSeconds.clear();
  double lastStamp = -1, clock = 0;
  std::string line;
  auto finish = [&] {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) return;
    const double stamp = TimeStamp(line);
    if (stamp >= 0) {
      if (lastStamp >= 0) {
        double step = stamp - lastStamp;
        if (step < -SecondsPerDay / 2) step += SecondsPerDay;  // past midnight
        if (step > 0) clock += step;  // a stamp that goes back does not turn the clock back
      }
      lastStamp = stamp;
    }
    for (size_t at = 0; at < line.size(); at += MaxPiece) {
      Lines.push_back(line.substr(at, MaxPiece));
      LogSeconds.push_back(clock);
    }
    line.clear();
  };
  for (int c; (c = std::getc(in)) != EOF;) {
    if (c == '\n') {
      finish();
    } else if (c != '\0') {  // a NUL would end the text handed to the parser
      line.push_back(static_cast<char>(c));
    }
  }
  finish();
  const bool ok = !std::ferror(in);
  std::fclose(in);
  return ok;
}

void NmeaReplay::Start(double wallNow, double speed) {
  Origin = wallNow;
  Speed = speed;
  Next = 0;
  Clock = 0;
}

double NmeaReplay::NextDueAt() const {
  return Finished() ? Origin : Origin + LogSeconds[Next] / Speed;
}

const std::string* NmeaReplay::Due(double wallNow) {
  if (Finished() || NextDueAt() > wallNow) return nullptr;
  Clock = LogSeconds[Next];
  return &Lines[Next++];
}

}  // namespace cli

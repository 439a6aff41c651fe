// The satellites in view, collected over one group of GSV messages, and one satellite of
// such a collection.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class NmeaSentence;

class Satellite : public RefObject {
 public:
  Satellite(int16_t id, int16_t elevation, int16_t azimuth, int16_t snr)
      : Id(id), Elevation(elevation), Azimuth(azimuth), Snr(snr) {}

  int16_t Id;
  int16_t Elevation;  // degrees
  int16_t Azimuth;    // degrees
  int16_t Snr;        // dB
};

class Satellites : public RefObject {
 public:
  static constexpr int MaxSatellites = 12;

  Satellites() = default;
  Satellites* Copy() const;

  // Feeds one GSV message of a group; true when it completed the group. A message out of
  // order, or a group listing more than 12 satellites, drops what was collected.
  bool Accumulate(NmeaSentence& gsv);

  // Satellites in view, as the last message said.
  int16_t GetCount() const { return InView; }
  // A new Satellite (count 1, caller's) for 1 <= index <= min(12, count); otherwise null
  // with "Index out of bounds".
  Satellite* Item(int16_t index);

 private:
  void Reset();

  int16_t Id[MaxSatellites] = {};
  int16_t Azimuth[MaxSatellites] = {};
  int16_t Snr[MaxSatellites] = {};
  int16_t Elevation[MaxSatellites] = {};
  uint8_t ExpectedMessage = 1;
  uint8_t Filled = 0;
  int8_t InView = 0;
};

}  // namespace velmira

// NMEA test sentences with their checksums computed here, so test tables hold only the
// body between "$" and "*".
#pragma once

#include <string>

#include "frame/RefObject.h"

namespace velmira {
class NmeaSentence;
}

namespace testsupport {

// "$" + body + "*" + two upper-case hex digits (no CR LF).
std::string Checksummed(const std::string& body);
// The same followed by CR LF.
std::string Line(const std::string& body);
// A sentence object holding Checksummed(body).
velmira::Ref<velmira::NmeaSentence> Sentence(const std::string& body);

}  // namespace testsupport

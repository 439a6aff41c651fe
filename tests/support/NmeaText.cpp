#include "NmeaText.h"

#include "ReceiverSimulator.h"
#include "frame/Text.h"
#include "gps/NmeaSentence.h"

namespace testsupport {

std::string Checksummed(const std::string& body) { return velmira::test::WithChecksum(body); }

std::string Line(const std::string& body) { return Checksummed(body) + "\r\n"; }

velmira::Ref<velmira::NmeaSentence> Sentence(const std::string& body) {
  const std::string text = Checksummed(body);
  return velmira::MakeRef<velmira::NmeaSentence>(velmira::Ref<velmira::Text>::Adopt(
      new velmira::Text(text.c_str(), static_cast<int>(text.size()))));
}

}  // namespace testsupport

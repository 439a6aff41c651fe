#include "NmeaText.h"

#include <cstdio>

#include "frame/Text.h"
#include "gps/NmeaSentence.h"

namespace testsupport {

std::string Checksummed(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char digits[4];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  return "$" + body + "*" + digits;
}

std::string Line(const std::string& body) { return Checksummed(body) + "\r\n"; }

velmira::Ref<velmira::NmeaSentence> Sentence(const std::string& body) {
  std::string text = Checksummed(body);
  auto t = velmira::Ref<velmira::Text>::Adopt(
      new velmira::Text(text.c_str(), static_cast<int>(text.size())));
  return velmira::MakeRef<velmira::NmeaSentence>(std::move(t));
}

}  // namespace testsupport

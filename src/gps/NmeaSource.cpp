// A parser reading a network source: the same reader thread, dispatch and port-status events as
// for a COM port, with a NetSource in the port's place.
#include "gps/NetSource.h"
#include "gps/NmeaParser.h"
#include "gps/SerialReader.h"
#include "gps/SourceAddress.h"

namespace velmira {

void NmeaParser::OpenSource(const char* url) {
  Err.Clear();
  if (PortEnabled) {
    Err.Set(errors::PortEnabled);
    return;
  }
  SourceAddress address;
  if (!SourceAddress::Parse(url, address)) {
    Err.Set(errors::UnknownSource);
    return;
  }
  if (!LeftoverThreadEnded()) return;
  auto source = MakeRef<NetSource>(address);
  if (!source->Open()) {
    Err.CopyFrom(source->GetError());
    return;
  }
  Reader->OpenSource(Ref<ByteSource>::Adopt(source.Detach()));
  if (!StartThread()) {
    Reader->Close();
    return;
  }
  PortEnabled = true;
  SourceOpen = true;
}

void NmeaParser::CloseSource() {
  Err.Clear();
  if (SourceOpen) SetPortEnabled(false);  // a COM port is left to SetPortEnabled
}

}  // namespace velmira

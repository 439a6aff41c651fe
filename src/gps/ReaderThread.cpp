// The parser's reader thread: it polls the serial reader, dispatches each sentence from the
// port and reports when valid NMEA is found or lost. Started when the port is enabled,
// stopped through the stop event when it is disabled or the parser is destroyed.
#include "gps/NmeaParser.h"
#include "gps/NmeaSentence.h"
#include "gps/SerialReader.h"

namespace velmira {

bool NmeaParser::LeftoverThreadEnded() {
  if (Thread.Valid() && !StopThread()) {
    Err.Set(errors::ThreadNotEnded);
    return false;
  }
  return true;
}

bool NmeaParser::StartThread() {
  // A thread left over from a stop that overran its limit must end before another starts.
  if (!LeftoverThreadEnded()) return false;
  StopEvent.Reset(platform::CreateEventW(true, false));
  Thread.Reset(platform::CreateThread(&NmeaParser::ReaderThread, this));
  if (!Thread.Valid()) {
    StopEvent.Reset();
    Err.Set(errors::Unexpected);
    return false;
  }
  return true;
}

bool NmeaParser::StopThread() {
  if (!Thread.Valid()) return true;
  platform::SetEvent(StopEvent.Get());
  if (platform::WaitForSingleObject(Thread.Get(), StopTimeoutMs) != platform::WAIT_OBJECT_0) {
    return false;  // the handle and the event stay for a later attempt
  }
  Thread.Reset();
  StopEvent.Reset();
  ClearLatest();
  return true;
}

void NmeaParser::ReportComStatus() {
  if (NoEvents || Events.ComStatus == nullptr) return;
  Ref<ComStatus> status = Ref<ComStatus>::Adopt(BuildComStatus());
  status->CreateLock();
  status->AddRef();
  Events.ComStatus(Context, status.Get());
}

platform::DWORD NmeaParser::ReaderThread(void* parameter) {
  auto* parser = static_cast<NmeaParser*>(parameter);
  SerialReader& reader = *parser->Reader;
  const platform::HANDLE stop = parser->StopEvent.Get();
  // Runs until Poll reports the stop; every Poll waits on the stop event at least every
  // 200 ms, so the loop never spins without checking it.
  for (;;) {
    switch (reader.Poll(stop, parser->ComPortNumber)) {
      case PollStopped:
        parser->ClearLatest();
        return 0;
      case PollLost:
        parser->ClearLatest();
        parser->ReportComStatus();
        break;
      case PollFound:
        parser->ReportComStatus();
        break;
      case PollSentence: {
        Ref<NmeaSentence> sentence = Ref<NmeaSentence>::Adopt(reader.TakeSentence());
        if (sentence) {
          sentence->CreateLock();
          parser->Dispatch(*sentence);
        }
        break;
      }
      default:  // PollNothing: detection found nothing this time
        break;
    }
  }
}

}  // namespace velmira

#include "gps/SerialReader.h"

#include "gps/ComPort.h"
#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"

namespace velmira {

SerialReader::SerialReader() { CreateLock(); }
SerialReader::~SerialReader() = default;

bool SerialReader::Open(int16_t, int32_t) {
  Err.Set(errors::PortMissing);
  return false;
}

void SerialReader::Close() {}
bool SerialReader::Queue(const uint8_t*, int32_t) { return false; }
bool SerialReader::Queue(const Text*) { return false; }
void SerialReader::SetRate(int32_t) {}
bool SerialReader::IsValid() const { return Countdown != 0; }
int16_t SerialReader::Poll(platform::HANDLE, int16_t) { return PollStopped; }
NmeaSentence* SerialReader::TakeSentence() { return nullptr; }
int32_t SerialReader::GetBaudRate() const { return BaudRate; }
int16_t SerialReader::GetPort() const { return Port; }
bool SerialReader::IsOpen() const { return false; }
int16_t SerialReader::ReadStep(platform::HANDLE) { return PollStopped; }
int16_t SerialReader::Detect(platform::HANDLE, int16_t) { return PollNothing; }
void SerialReader::FlushQueue() {}

}  // namespace velmira

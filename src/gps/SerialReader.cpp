#include "gps/SerialReader.h"

#include <array>

#include "frame/Text.h"
#include "gps/ComPort.h"
#include "gps/NmeaSentence.h"
#include "gps/SentenceBuffer.h"

namespace velmira {
namespace {

constexpr int32_t ChunkSize = 50;        // bytes per port read
constexpr platform::DWORD CycleMs = 200;  // wait between read cycles, and per detection cycle
constexpr int DetectCycles = 5;          // cycles per rate while detecting
constexpr int16_t FirstPort = 1;         // ports tried by detection
constexpr int16_t LastPort = 8;
constexpr int32_t FirstPassRates[] = {4800};
constexpr int32_t SecondPassRates[] = {57600, 9600, 19200, 38400};
// A line that never runs dry (a flood of noise) still ends a read loop after this many chunks,
// so the stop event and the cycle count keep being looked at.
constexpr int MaxChunksPerLoop = 1024;
// SetRate stops waiting for the queue to drain after this many checks.
constexpr int MaxDrainChecks = 50;

bool Signalled(platform::HANDLE event) {
  return platform::WaitForSingleObject(event, 0) == platform::WAIT_OBJECT_0;
}

// A port opened during detection, with the bytes read from it so far.
struct Candidate {
  int16_t Number = 0;
  Ref<ComPort> Port;
  Ref<SentenceBuffer> Buffer;
};

// Reads chunks into the buffer until one completes a checksummed sentence (true) or the port
// has nothing more.
bool ReadUntilSentence(ComPort* port, SentenceBuffer* buffer) {
  std::array<uint8_t, ChunkSize> chunk;
  for (int i = 0; i < MaxChunksPerLoop; ++i) {
    int32_t got = port->Read(chunk.data(), ChunkSize);
    if (got <= 0) return false;
    if (buffer->Append(chunk.data(), got) && buffer->FindSentence()) return true;
  }
  return false;
}

}  // namespace

SerialReader::SerialReader() { CreateLock(); }

SerialReader::~SerialReader() { Close(); }

bool SerialReader::Open(int16_t port, int32_t rate) {
  Err.Clear();
  Close();
  auto opened = MakeRef<ComPort>();
  if (!opened->Open(port) || !opened->Configure(rate)) {
    Err.CopyFrom(opened->GetError());
    opened->Close();
    return false;
  }
  {
    LockHold hold(GetLock());
    PortObject = Ref<ByteSource>::Adopt(opened.Detach());
  }
  Port = port;
  BaudRate = rate;
  PortBuffer = MakeRef<SentenceBuffer>();
  SentenceReady = false;
  LastState = 0;
  AutoDetected = false;
  return true;
}

void SerialReader::OpenSource(Ref<ByteSource> source) {
  Err.Clear();
  Close();
  {
    LockHold hold(GetLock());
    PortObject = std::move(source);
  }
  Port = 0;
  BaudRate = 0;
  PortBuffer = MakeRef<SentenceBuffer>();
  SentenceReady = false;
  LastState = 0;
  AutoDetected = false;
}

void SerialReader::Close() {
  Countdown = 0;
  AutoDetected = false;
  Ref<ByteSource> closing;
  {
    LockHold hold(GetLock());
    closing = std::move(PortObject);
    WriteQueue.clear();
  }
  if (closing) closing->Close();
  closing.Reset();
  PortBuffer.Reset();
  SentenceReady = false;
}

bool SerialReader::Queue(const uint8_t* bytes, int32_t count) {
  LockHold hold(GetLock());
  Err.Clear();
  if (!PortObject) return false;
  // A receiver that is not being written to must not make us hoard output without end.
  if (static_cast<int32_t>(WriteQueue.size()) > QueueLimit) WriteQueue.clear();
  if (bytes != nullptr && count > 0) WriteQueue.insert(WriteQueue.end(), bytes, bytes + count);
  return true;
}

bool SerialReader::Queue(const Text* text) {
  if (text == nullptr) return Queue(nullptr, 0);
  return Queue(reinterpret_cast<const uint8_t*>(text->Chars()), text->Length());
}

int32_t SerialReader::QueuedBytes() const {
  LockHold hold(GetLock());
  return static_cast<int32_t>(WriteQueue.size());
}

void SerialReader::SetRate(int32_t rate) {
  Err.Clear();
  for (int i = 0; i < MaxDrainChecks && QueuedBytes() > 0; ++i) platform::Sleep(CycleMs);
  LockHold hold(GetLock());
  // A refusal is not reported: the port keeps its old rate.
  if (PortObject && PortObject->Configure(rate)) BaudRate = rate;
}

bool SerialReader::IsValid() const { return Countdown != 0; }

int32_t SerialReader::GetBaudRate() const { return BaudRate; }

int16_t SerialReader::GetPort() const { return Port; }

bool SerialReader::IsOpen() const {
  LockHold hold(GetLock());
  return static_cast<bool>(PortObject);
}

int16_t SerialReader::Poll(platform::HANDLE stopEvent, int16_t wantedPort) {
  // Runs on the reader thread; the error record belongs to the application's thread.
  int16_t state;
  if (!PortObject) state = Detect(stopEvent, wantedPort);
  else if (LastState == PollFound) state = PollSentence;  // the sentence found is still waiting
  else state = ReadStep(stopEvent);
  LastState = state;
  return state;
}

NmeaSentence* SerialReader::TakeSentence() {
  if (!PortBuffer || !SentenceReady) return nullptr;
  SentenceReady = false;
  return PortBuffer->TakeSentence();
}

void SerialReader::FlushQueue() {
  LockHold hold(GetLock());
  if (WriteQueue.empty()) return;
  PortObject->Write(WriteQueue.data(), static_cast<int32_t>(WriteQueue.size()));
  WriteQueue.clear();
}

bool SerialReader::FindAccepted() {
  // Each success moves the scan past one sentence, so the loop ends.
  while (PortBuffer->FindSentence()) {
    if (!PortObject->TextOnly() || PortBuffer->FoundIsText()) return true;
  }
  return false;
}

int16_t SerialReader::ReadStep(platform::HANDLE stopEvent) {
  if (Signalled(stopEvent)) {
    Close();
    return PollStopped;
  }
  if (FindAccepted()) {
    SentenceReady = true;
    return PollSentence;
  }
  std::array<uint8_t, ChunkSize> chunk;
  for (;;) {  // one read cycle per turn; ends on a sentence, a stop or a loss
    FlushQueue();
    for (int i = 0; i < MaxChunksPerLoop; ++i) {
      if (Signalled(stopEvent)) {
        Close();
        return PollStopped;
      }
      int32_t got = PortObject->Read(chunk.data(), ChunkSize);
      if (got > 0 && PortBuffer->Append(chunk.data(), got) && FindAccepted()) {
        SentenceReady = true;
        int16_t was = Countdown.exchange(LossCycles);
        return was != 0 ? PollSentence : PollFound;
      }
      if (got <= 0) break;
    }
    switch (PortObject->WaitCycle(stopEvent, CycleMs)) {
      case ByteSource::Wake::Stopped:
        Close();
        return PollStopped;
      case ByteSource::Wake::Data:
        continue;  // the cycle goes on
      case ByteSource::Wake::Dropped:
        // A network link that went down is lost at once; it is being brought back.
        if (Countdown.exchange(0) != 0) return PollLost;
        continue;
      case ByteSource::Wake::CycleOver:
        break;
    }
    if (Countdown != 0 && --Countdown == 0) {
      // An auto-detected receiver may have moved to another port or rate: detect again.
      if (AutoDetected) Close();
      return PollLost;
    }
  }
}

int16_t SerialReader::Detect(platform::HANDLE stopEvent, int16_t wantedPort) {
  Port = 0;
  BaudRate = 0;
  bool stopped = false;
  Candidate found;
  for (int pass = 0; pass < 2 && !found.Port && !stopped; ++pass) {
    std::vector<Candidate> opened;
    Ref<ComPort> spare;  // reused while opens fail
    int16_t first = wantedPort != 0 ? wantedPort : FirstPort;
    int16_t last = wantedPort != 0 ? wantedPort : LastPort;
    for (int16_t p = first; p <= last; ++p) {
      if (!spare) spare = MakeRef<ComPort>();
      if (spare->Open(p)) opened.push_back({p, std::move(spare), MakeRef<SentenceBuffer>()});
    }
    spare.Reset();
    const int32_t* rates = pass == 0 ? FirstPassRates : SecondPassRates;
    int rateCount = pass == 0 ? std::size(FirstPassRates) : std::size(SecondPassRates);
    for (int r = 0; r < rateCount && !found.Port && !stopped; ++r) {
      for (Candidate& c : opened) c.Port->Configure(rates[r]);
      for (int cycle = 0; cycle < DetectCycles && !found.Port && !stopped; ++cycle) {
        if (platform::WaitForSingleObject(stopEvent, CycleMs) == platform::WAIT_OBJECT_0) {
          stopped = true;
          break;
        }
        for (Candidate& c : opened) {
          if (ReadUntilSentence(c.Port.Get(), c.Buffer.Get())) {
            found = std::move(c);
            Port = found.Number;
            BaudRate = rates[r];
            break;
          }
        }
      }
    }
    for (Candidate& c : opened) {
      if (c.Port) c.Port->Close();
    }
  }
  if (!found.Port) return stopped ? PollStopped : PollNothing;
  {
    LockHold hold(GetLock());
    PortObject = Ref<ByteSource>::Adopt(found.Port.Detach());
  }
  PortBuffer = std::move(found.Buffer);
  SentenceReady = true;
  Countdown = LossCycles;
  AutoDetected = true;
  return PollFound;
}

}  // namespace velmira

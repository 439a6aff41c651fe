// The parser on a port, through the exported interface and window messages, as an application
// sees it: the port state events, their order against sentences, loss and the open refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace {

using velmira::test::IsolatedComPorts;
using velmira::test::ReceiverSimulator;

constexpr int32_t Generous = 10000;  // ms

std::string TextOf(VmNmeaSentence* sentence) {
  BSTR wide = nullptr;
  NmeaSentence_GetSentence(sentence, &wide);
  std::string text;
  for (uint32_t i = 0; i < SysStringLen(wide); ++i) text.push_back(static_cast<char>(wide[i]));
  return text;
}

struct ParserOnPort {
  ParserOnPort() : Window(VmWindow_New(nullptr, 0, 0, 10, 10)), Parser(NmeaParser_New()) {
    NmeaParser_SetCallbackHWND(Parser, Window);
  }
  ~ParserOnPort() {
    NmeaParser_SetPortEnabled(Parser, 0);
    NmeaParser_Delete(Parser);
    testsupport::DeleteAll(testsupport::Drain(Window));
    VmWindow_Delete(Window);
  }
  int16_t ErrNum() { return Error_ErrNum(NmeaParser_GetErrHandle(Parser)); }
  std::string ErrDesc() {
    BSTR wide = nullptr;
    Error_ErrDesc(NmeaParser_GetErrHandle(Parser), &wide);
    std::string text;
    for (uint32_t i = 0; i < SysStringLen(wide); ++i) text.push_back(static_cast<char>(wide[i]));
    return text;
  }
  HWND Window;
  VmNmeaParser* Parser;
};

TEST(ParserOnPort, DetectionPostsValidPortStateBeforeTheSentenceThatWasFound) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  receiver.Start();
  ParserOnPort p;
  NmeaParser_SetComPort(p.Parser, 0);
  NmeaParser_SetBaudRate(p.Parser, 0);
  NmeaParser_SetPortEnabled(p.Parser, 1);
  ASSERT_EQ(p.ErrNum(), 0);

  VmMsg first{};
  ASSERT_EQ(VmWindow_GetMessage(p.Window, &first, Generous), 1);
  ASSERT_EQ(first.wParam, 9u) << "the port state comes before anything read from the port";
  auto* status = reinterpret_cast<VmComStatus*>(first.lParam);
  EXPECT_EQ(ComStatus_GetValidNmea(status), 1);
  EXPECT_EQ(ComStatus_GetComPort(status), 2);
  EXPECT_EQ(ComStatus_GetBaudRate(status), 4800);
  ComStatus_Delete(status);

  VmMsg sentence = testsupport::WaitForKind(p.Window, 1, Generous);
  ASSERT_EQ(sentence.wParam, 1u);
  std::string text = TextOf(reinterpret_cast<VmNmeaSentence*>(sentence.lParam));
  testsupport::DeleteCarried(sentence);
  std::vector<std::string> sent = receiver.Sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), text), sent.end()) << text;
}

TEST(ParserOnPort, LossClearsTheLatestRecordsInPolledMode) {
  ReceiverSimulator receiver(9600);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(3, receiver.DevicePath());
  receiver.Start();
  ParserOnPort p;
  NmeaParser_SetNoEvents(p.Parser, 1);
  NmeaParser_SetComPort(p.Parser, 3);
  NmeaParser_SetBaudRate(p.Parser, 9600);
  NmeaParser_SetPortEnabled(p.Parser, 1);
  ASSERT_EQ(p.ErrNum(), 0);
  VmGpsFix* fix = NmeaParser_GetGpsFix(p.Parser, Generous, 0);
  ASSERT_NE(fix, nullptr);
  GpsFix_Delete(fix);

  receiver.StopSending();
  bool lost = false;
  for (int i = 0; i < Generous / 50 && !lost; ++i) {
    VmComStatus* status = NmeaParser_GetComStatus(p.Parser);
    lost = ComStatus_GetValidNmea(status) == 0;
    ComStatus_Delete(status);
    if (!lost) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(lost);
  // The loss is reported before the records are cleared, so allow the thread that moment.
  VmGpsFix* after = nullptr;
  for (int i = 0; i < 100; ++i) {
    after = NmeaParser_GetGpsFix(p.Parser, 0, 0);
    if (after == nullptr) break;
    GpsFix_Delete(after);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(after, nullptr);
  EXPECT_EQ(NmeaParser_GetMovement(p.Parser, 0), nullptr);
}

TEST(ParserOnPort, EnableRefusalsCarryThePortsErrorAndLeaveTheParserDisabled) {
  ReceiverSimulator receiver(4800), twelve(4800);
  ASSERT_TRUE(receiver.Ready() && twelve.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  ports.Map(12, twelve.DevicePath());
  ParserOnPort holder, p;
  NmeaParser_SetComPort(holder.Parser, 2);
  NmeaParser_SetPortEnabled(holder.Parser, 1);
  ASSERT_EQ(holder.ErrNum(), 0);

  NmeaParser_SetComPort(p.Parser, 2);
  NmeaParser_SetPortEnabled(p.Parser, 1);
  EXPECT_EQ(p.ErrNum(), 10007);
  EXPECT_EQ(p.ErrDesc(), "Comm port in use!");
  NmeaParser_SetComPort(p.Parser, 6);
  EXPECT_EQ(p.ErrNum(), 0) << "still disabled, so the port may change";
  NmeaParser_SetPortEnabled(p.Parser, 1);
  EXPECT_EQ(p.ErrNum(), 10007);
  EXPECT_EQ(p.ErrDesc(), "Comm port does not exist");

  NmeaParser_SetComPort(p.Parser, 12);
  NmeaParser_SetPortEnabled(p.Parser, 1);
  EXPECT_EQ(p.ErrNum(), 0);
  VmComStatus* status = NmeaParser_GetComStatus(p.Parser);
  EXPECT_EQ(ComStatus_GetComPort(status), 12);
  EXPECT_EQ(ComStatus_GetBaudRate(status), 4800);
  ComStatus_Delete(status);
}

TEST(ParserOnPort, WriteDataSendsTheLowByteOfEveryUnit) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  ParserOnPort p;
  NmeaParser_SetComPort(p.Parser, 2);
  NmeaParser_SetPortEnabled(p.Parser, 1);
  ASSERT_EQ(p.ErrNum(), 0);
  std::u16string units(3000, u'\x4124');  // every unit's low byte is '$'
  units[2999] = u'\n';
  NmeaParser_WriteData(p.Parser, units.data(), 3000);
  EXPECT_EQ(p.ErrNum(), 0);
  ASSERT_TRUE(receiver.WaitForWritten(3000, Generous));
  EXPECT_EQ(receiver.Written(), std::string(2999, '$') + "\n");
}

}  // namespace

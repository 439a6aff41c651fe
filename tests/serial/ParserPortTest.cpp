// What the reader hands up to the parser on a port, as an application sees it through the
// exports: the port state ahead of the first sentence, open refusals, bytes written and the
// records cleared on loss. The rest of the parser on a port is in tests/gps.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/GpsMessages.h"
#include "support/ReceiverSimulator.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace {

using velmira::test::ReceiverSimulator;

constexpr int32_t Generous = 10000;  // ms

std::string Narrow(BSTR wide) {
  return std::string(wide, wide + SysStringLen(wide));
}

struct ParserOnPort {
  ParserOnPort() : Window(VmWindow_New(nullptr, 0, 0, 10, 10)), Parser(NmeaParser_New()) {
    NmeaParser_SetCallbackHWND(Parser, Window);
  }
  ~ParserOnPort() {
    NmeaParser_Delete(Parser);
    testsupport::DeleteAll(testsupport::Drain(Window));
    VmWindow_Delete(Window);
  }
  void Enable(int16_t port, int32_t rate) {
    NmeaParser_SetComPort(Parser, port);
    NmeaParser_SetBaudRate(Parser, rate);
    NmeaParser_SetPortEnabled(Parser, 1);
  }
  int16_t ErrNum() { return Error_ErrNum(NmeaParser_GetErrHandle(Parser)); }
  std::string ErrDesc() { return Narrow(Error_ErrDesc(NmeaParser_GetErrHandle(Parser), nullptr)); }
  HWND Window;
  VmNmeaParser* Parser;
};

TEST(ParserOnPort, DetectionPostsThePortStateFirstAndRefusalsCarryThePortsError) {
  ReceiverSimulator receiver(4800);
  ASSERT_TRUE(receiver.Ready());
  velmira::test::IsolatedComPorts ports;
  ports.Map(2, receiver.DevicePath());
  receiver.Start();
  ParserOnPort p;
  p.Enable(0, 0);
  ASSERT_EQ(p.ErrNum(), 0);
  VmMsg first{};
  ASSERT_EQ(VmWindow_GetMessage(p.Window, &first, Generous), 1);
  ASSERT_EQ(first.wParam, 9u) << "the port state comes before anything read from the port";
  auto* status = reinterpret_cast<VmComStatus*>(first.lParam);
  EXPECT_EQ(ComStatus_GetValidNmea(status), 1);
  EXPECT_EQ(ComStatus_GetComPort(status) * 100000 + ComStatus_GetBaudRate(status), 204800);
  ComStatus_Delete(status);
  VmMsg sentence = testsupport::WaitForKind(p.Window, 1, Generous);
  ASSERT_EQ(sentence.wParam, 1u);
  const std::string text = Narrow(
      NmeaSentence_GetSentence(reinterpret_cast<VmNmeaSentence*>(sentence.lParam), nullptr));
  testsupport::DeleteCarried(sentence);
  const std::vector<std::string> sent = receiver.Sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), text), sent.end()) << text;

  ParserOnPort q;  // the callback window is library-wide: now q's
  q.Enable(2, 4800);
  EXPECT_EQ(q.ErrNum(), 10007);
  EXPECT_EQ(q.ErrDesc(), "Comm port in use!");
  NmeaParser_SetComPort(q.Parser, 6);
  EXPECT_EQ(q.ErrNum(), 0) << "still disabled, so the port may change";
  NmeaParser_SetPortEnabled(q.Parser, 1);
  EXPECT_EQ(q.ErrNum(), 10007);
  EXPECT_EQ(q.ErrDesc(), "Comm port does not exist");
}

TEST(ParserOnPort, WriteDataSendsLowBytesAndLossClearsTheLatestRecordsInPolledMode) {
  ReceiverSimulator receiver(9600);
  ASSERT_TRUE(receiver.Ready());
  velmira::test::IsolatedComPorts ports;
  ports.Map(3, receiver.DevicePath());
  receiver.Start();
  ParserOnPort p;
  NmeaParser_SetNoEvents(p.Parser, 1);
  p.Enable(3, 9600);
  ASSERT_EQ(p.ErrNum(), 0);
  std::u16string units(3000, u'\x4124');  // every unit's low byte is '$'
  units[2999] = u'\n';
  NmeaParser_WriteData(p.Parser, units.data(), 3000);
  EXPECT_EQ(p.ErrNum(), 0);
  ASSERT_TRUE(receiver.WaitForWritten(3000, Generous));
  EXPECT_EQ(receiver.Written(), std::string(2999, '$') + "\n");

  VmGpsFix* fix = NmeaParser_GetGpsFix(p.Parser, Generous, 0);
  ASSERT_NE(fix, nullptr);
  GpsFix_Delete(fix);
  receiver.StopSending();
  // The loss is reported before the records are cleared, so allow the thread that moment.
  bool cleared = false;
  for (int i = 0; i < Generous / 20 && !cleared; ++i) {
    VmComStatus* status = NmeaParser_GetComStatus(p.Parser);
    fix = NmeaParser_GetGpsFix(p.Parser, 0, 0);
    cleared = ComStatus_GetValidNmea(status) == 0 && fix == nullptr;
    ComStatus_Delete(status);
    GpsFix_Delete(fix);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(cleared);
  EXPECT_EQ(NmeaParser_GetMovement(p.Parser, 0), nullptr);
}

}  // namespace

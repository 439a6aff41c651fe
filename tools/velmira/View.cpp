// velmira view: a live map window on the desktop. Fixes come from an NmeaParser in event mode,
// reading a serial port or fed a log at the pace of its time stamps; the map is a Viewer
// drawn with Viewer_OnDraw into library windows, whose pixels go to an SDL texture. The
// program sleeps until an event, a due log line, a frame or the deadline needs it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <thread>

#include "Commands.h"
#include "DesktopWindow.h"
#include "MapScene.h"
#include "NmeaReplay.h"
#include "PortReport.h"
#include "SourceUrl.h"
#include "TrackOverlay.h"
#include "TrackRecord.h"
#include "ViewScript.h"
#include "ViewStatus.h"
#include "velmira/platform.h"
#include "velmira/velmira.h"

namespace cli {
namespace {

constexpr const char* Name = "view";
constexpr int16_t SpeedKmh = 2;
constexpr int MaxPort = 255;
constexpr int32_t DefaultWidth = 1024, DefaultHeight = 768;

// Design choices: receiver seconds without a fix before the status says "no fix" (three
// epochs of a 1 Hz receiver); frames at most 60 a second, so a fast replay or a drag costs
// no more than the screen shows; a zoom step of 1.25 per key or wheel notch.
constexpr double FixLostAfter = 3;
constexpr double FrameInterval = 1.0 / 60;
constexpr double ZoomStep = 1.25;
constexpr double RotationStep = 15;
// How long the message bridge waits at a time before it looks whether it should stop.
constexpr int32_t BridgeSliceMs = 200;
constexpr int MaxWaitMs = 60000;
constexpr double Never = std::numeric_limits<double>::infinity();

struct ViewOptions {
  std::string Library, Map, Device, Replay, Screenshot, Script, Source, Record;
  std::vector<std::string> Tracks;
  SourceUrl Src;
  bool Network = false;  // a network source read by the library
  int Port = 1, Baud = -1;
  bool UsePort = false, PortGiven = false, SpeedGiven = false, SecondsGiven = false;
  double Speed = 1;
  int Datum = 1;
  int32_t Width = DefaultWidth, Height = DefaultHeight;
  double Zoom = 1, Rotation = 0;
  double Seconds = -1;
};

std::string ParseView(const Args& args, ViewOptions& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!IsOption(a)) {
      if (!o.Library.empty()) return "unexpected '" + a + "'";
      o.Library = a;
      continue;
    }
    std::string* text = a == "--map"          ? &o.Map
                        : a == "--device"     ? &o.Device
                        : a == "--replay"     ? &o.Replay
                        : a == "--screenshot" ? &o.Screenshot
                        : a == "--script"     ? &o.Script
                        : a == "--source"     ? &o.Source
                        : a == "--record"     ? &o.Record
                                              : nullptr;
    double* number = a == "--speed"      ? &o.Speed
                     : a == "--zoom"     ? &o.Zoom
                     : a == "--rotation" ? &o.Rotation
                     : a == "--seconds"  ? &o.Seconds
                                         : nullptr;
    if (text == nullptr && number == nullptr && a != "--port" && a != "--datum" && a != "--size" &&
        a != "--baud" && a != "--track") {
      return "unknown option '" + a + "'";
    }
    if (i + 1 >= args.size()) return a + " needs a value";
    const std::string& v = args[++i];
    long whole = 0;
    if (text != nullptr) {
      if (v.empty()) return a + " needs a value";
      *text = v;
    } else if (number != nullptr) {
      if (!ParseNumber(v, *number)) return "bad " + a + " '" + v + "'";
    } else if (a == "--port") {
      if (!ParseWhole(v, 0, MaxPort, whole)) return "--port takes a COM number from 0 to 255";
      o.Port = static_cast<int>(whole);
      o.PortGiven = true;
    } else if (a == "--baud") {
      if (!ParseWhole(v, 0, INT32_MAX, whole)) return "bad --baud '" + v + "'";
      o.Baud = static_cast<int>(whole);
    } else if (a == "--track") {
      if (v.empty()) return a + " needs a value";
      o.Tracks.push_back(v);
    } else if (a == "--datum") {
      if (!ParseWhole(v, INT16_MIN, INT16_MAX, whole)) return "bad --datum '" + v + "'";
      o.Datum = static_cast<int>(whole);
    } else if (!ParseSize(v, o.Width, o.Height)) {
      return "bad --size '" + v + "'";
    }
    o.SpeedGiven = o.SpeedGiven || a == "--speed";
    o.SecondsGiven = o.SecondsGiven || a == "--seconds";
  }
  constexpr const char* OneInput =
      "give one input: --port N, --device PATH, --replay NMEAFILE or --source URL";
  if (!o.Source.empty()) {
    if (o.PortGiven || !o.Device.empty() || !o.Replay.empty()) return OneInput;
    if (std::string why = o.Src.Parse(o.Source); !why.empty()) return why;
    if (o.Src.Type == SourceUrl::Kind::File) o.Replay = o.Src.Path;
    if (o.Src.Type == SourceUrl::Kind::Serial) o.Device = o.Src.Path;
    if (o.Src.Type == SourceUrl::Kind::Serial && o.Baud < 0) o.Baud = o.Src.Baud;
    o.Network = o.Src.Type == SourceUrl::Kind::Network;
  }
  o.UsePort = o.PortGiven || !o.Device.empty() || o.Network;
  if (o.Library.empty()) return "MAPLIB is needed";
  if (o.UsePort == !o.Replay.empty()) return OneInput;
  if (o.Baud >= 0 && (!o.UsePort || o.Network)) return "--baud is for ports";
  if (o.SpeedGiven && o.Replay.empty()) return "--speed is for --replay";
  if (!(o.Speed > 0)) return "--speed takes a number above 0";
  if (o.Zoom < 0.1 || o.Zoom > 10) return "--zoom takes 0.1 to 10";
  if (o.SecondsGiven && o.Seconds < 0) return "--seconds takes 0 or more";
  if (!o.Device.empty() && o.PortGiven && o.Port == 0) return "--device needs a port from 1 to 255";
  return {};
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ParseLine(VmNmeaParser* parser, const std::string& line) {
  NmeaParser_Parse(parser, Widen(line + "\r\n").c_str());
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class ViewRun {
 public:
  explicit ViewRun(const ViewOptions& o) : Opts(o), Parser(nullptr, NmeaParser_Delete) {}
  ~ViewRun();
  int Run();

 private:
  int Fail(const std::string& why) const;
  // Input.
  std::string StartReplay();
  std::string StartPort();
  std::string StartNetwork();
  void FeedReplay(double now);
  void TakeQueued();
  void Bridge();
  void OnGps(uintptr_t kind, void* object);
  void OnPortStatus(VmComStatus* status);
  double ReceiverClock() const { return Opts.UsePort ? Now() : Replay.LogClock(); }
  bool Lost() const {
    return !PortValid || (Status.HaveFix && ReceiverClock() - LastFixAt > FixLostAfter);
  }
  // The window.
  void Loop();
  int WaitMs(double now) const;
  void OnEvent(const SDL_Event& e);
  void OnKey(char key);
  void Report(const std::string& action);
  void DrawFrame();
  void UploadAll();
  std::string Screenshot(const std::string& path);

  const ViewOptions& Opts;
  Handle<VmNmeaParser> Parser;
  HWND Queue = nullptr;  // where the parser posts its events
  NmeaReplay Replay;
  std::unique_ptr<ViewScript> Script;
  DesktopWindow Desk;
  MapScene Scene;
  TrackRecord Record;  // with --record
  ViewStatus Status;
  double LastFixAt = 0;    // receiver clock of the last fix
  bool PortValid = true;   // no port status says otherwise
  bool PortHeard = false;  // a port status said valid NMEA comes in
  int LastPort = 0;
  std::string PortLabel;
  // Port input: a thread hands the library's messages to SDL's queue, so one wait serves both.
  Uint32 GpsEvent = 0;
  std::thread BridgeThread;
  std::atomic<bool> StopBridge{false};
  bool Quit = false;
  bool Dragging = false;
  int PointerX = 0, PointerY = 0;
  double Deadline = Never, NextFrame = 0;
  std::string LastProblem;
  int Shots = 0;
};

ViewRun::~ViewRun() {
  if (Parser) NmeaParser_SetPortEnabled(Parser.get(), 0);
  StopBridge = true;
  if (BridgeThread.joinable()) BridgeThread.join();
  SDL_Event e;
  while (GpsEvent != 0 && SDL_PollEvent(&e) == 1) {
    if (e.type == GpsEvent) DeleteCarried(reinterpret_cast<uintptr_t>(e.user.data1), e.user.data2);
  }
  Parser.reset();
  NmeaParser_SetCallbackHWND(nullptr, nullptr);
  VmWindow_Delete(Queue);  // releases what is still queued
}

int ViewRun::Fail(const std::string& why) const {
  std::fprintf(stderr, "velmira %s: %s\n", Name, why.c_str());
  return 1;
}

int ViewRun::Run() {
  Parser.reset(NmeaParser_New());
  NmeaParser_SetGpsDatum(Parser.get(), static_cast<int16_t>(Opts.Datum));
  if (Error_ErrNum(NmeaParser_GetErrHandle(Parser.get())) != 0) {
    return BadUsage(Name, "--datum: " + ErrorText(NmeaParser_GetErrHandle(Parser.get())));
  }
  if (!Opts.Script.empty()) {
    Script = std::make_unique<ViewScript>();
    if (std::string why = Script->Load(Opts.Script); !why.empty()) return Fail(why);
  }
  if (std::string why = Scene.Open(Opts.Library, Opts.Map); !why.empty()) return Fail(why);
  for (size_t i = 0; i < Opts.Tracks.size(); ++i) {
    TrackFile track;
    if (std::string why = ReadTrackFile(Opts.Tracks[i], track); !why.empty()) return Fail(why);
    Scene.Overlay(track, i + 1);  // the live track keeps the first colour, red
  }
  if (!Opts.Record.empty()) {
    if (std::string why = Record.Open(Opts.Record); !why.empty()) return Fail(why);
  }
  Queue = VmWindow_New(nullptr, 0, 0, 0, 0);
  NmeaParser_SetCallbackHWND(Parser.get(), Queue);
  std::string why = Opts.Network ? StartNetwork() : Opts.UsePort ? StartPort() : StartReplay();
  if (!why.empty()) return Fail(why);
  why = Desk.Open("velmira view", Opts.Width, Opts.Height);
  if (!why.empty()) return Fail(why);
  GpsEvent = SDL_RegisterEvents(1);
  if (GpsEvent == static_cast<Uint32>(-1)) return Fail("SDL has no room for another event type");
  Scene.Resize(Desk.Width(), Desk.Height());
  Scene.SetZoom(Opts.Zoom);
  Scene.SetRotation(Opts.Rotation);
  if (Opts.UsePort) BridgeThread = std::thread(&ViewRun::Bridge, this);

  Loop();
  if (std::string why = Record.Close(); !why.empty()) return Fail(why);
  if (Scene.Dirty()) DrawFrame();
  if (!Opts.Screenshot.empty()) {
    if (std::string problem = Screenshot(Opts.Screenshot); !problem.empty()) return Fail(problem);
  }
  return 0;
}

// Input -------------------------------------------------------------------------------------

std::string ViewRun::StartReplay() {
  if (!Replay.Load(Opts.Replay)) return "cannot read " + Opts.Replay;
  // A log without a single fix would show an empty map forever: say so now. A parser of its
  // own reads the log once; its events come through the same window.
  long fixes = 0;
  {
    Handle<VmNmeaParser> scan(NmeaParser_New(), NmeaParser_Delete);
    NmeaParser_SetGpsDatum(scan.get(), static_cast<int16_t>(Opts.Datum));
    for (const std::string& line : Replay.Text()) {
      ParseLine(scan.get(), line);
      VmMsg m;
      while (VmWindow_GetMessage(Queue, &m, 0) == 1) {
        fixes += m.wParam == KindFix;
        DeleteCarried(m.wParam, reinterpret_cast<void*>(m.lParam));
      }
    }
  }
  if (fixes == 0) {
    return Opts.Replay + " has no fix: none of its " + std::to_string(Replay.Text().size()) +
           " lines gives a valid position";
  }
  char speed[32];
  std::snprintf(speed, sizeof speed, "%g", Opts.Speed);
  PortLabel = BaseName(Opts.Replay) + " at " + speed + "x";
  Status.Port = PortLabel;
  return {};
}

std::string ViewRun::StartPort() {
  if (!Opts.Device.empty()) {
    VmComPort_SetDevice(static_cast<int16_t>(Opts.Port), Opts.Device.c_str());
  }
  VmNmeaParser* parser = Parser.get();
  NmeaParser_SetComPort(parser, static_cast<int16_t>(Opts.Port));
  // Without --baud the rate is detected (and with port 0 the port too, at every rate).
  const int baud = Opts.Port == 0 || Opts.Baud < 0 ? 0 : Opts.Baud;
  NmeaParser_SetBaudRate(parser, baud);
  if (VmError* err = NmeaParser_GetErrHandle(parser); Error_ErrNum(err) != 0) {
    return "--baud " + std::to_string(baud) + ": " + ErrorText(err);
  }
  // Detection skips ports that do not open without a word: try each first. A port with a
  // rate is opened by the parser itself, which reports the failure.
  const std::vector<int> ports = baud == 0 ? UsablePorts(Name, Opts.Port) : std::vector<int>{Opts.Port};
  if (ports.empty()) return "no port to read a receiver from; --device PATH names its device";
  NmeaParser_SetPortEnabled(parser, 1);
  if (VmError* err = NmeaParser_GetErrHandle(parser); Error_ErrNum(err) != 0) {
    return CannotOpen(Opts.Port, ErrorText(err));
  }
  std::fprintf(stderr, "velmira %s: %s %s\n", Name, baud == 0 ? "detecting the receiver on" : "reading",
               Tried(ports, baud).c_str());
  PortLabel = Opts.Port == 0 ? "detecting on COM1 to COM8"
              : baud == 0    ? PortName(Opts.Port) + ": detecting the rate"
                             : PortName(Opts.Port) + " " + std::to_string(baud) + " baud: waiting";
  Status.Port = PortLabel;
  return {};
}

std::string ViewRun::StartNetwork() {
  VmNmeaParser_OpenSource(Parser.get(), Opts.Src.Url.c_str());
  if (VmError* err = NmeaParser_GetErrHandle(Parser.get()); Error_ErrNum(err) != 0) {
    return "cannot read " + Opts.Src.Url + ": " + ErrorText(err);
  }
  std::fprintf(stderr, "velmira %s: reading %s\n", Name, Opts.Src.Label().c_str());
  Status.Port = Opts.Src.Label() + ": connecting";
  return {};
}

void ViewRun::FeedReplay(double now) {
  while (const std::string* line = Replay.Due(now)) {
    ParseLine(Parser.get(), *line);
    TakeQueued();
  }
  if (Replay.Finished()) Status.Port = BaseName(Opts.Replay) + " ended";
}

void ViewRun::TakeQueued() {
  VmMsg m;
  while (VmWindow_GetMessage(Queue, &m, 0) == 1) {
    if (m.message == GpsMessage) OnGps(m.wParam, reinterpret_cast<void*>(m.lParam));
  }
}

void ViewRun::Bridge() {
  VmMsg m;
  while (!StopBridge) {
    if (VmWindow_GetMessage(Queue, &m, BridgeSliceMs) != 1 || m.message != GpsMessage) continue;
    SDL_Event e{};
    e.type = GpsEvent;
    e.user.data1 = reinterpret_cast<void*>(m.wParam);
    e.user.data2 = reinterpret_cast<void*>(m.lParam);
    if (!DesktopWindow::Push(e)) DeleteCarried(m.wParam, reinterpret_cast<void*>(m.lParam));
  }
}

void ViewRun::OnGps(uintptr_t kind, void* object) {
  Record.Take(kind, object);
  switch (kind) {
    case KindFix: {
      auto* fix = static_cast<VmGpsFix*>(object);
      Handle<VmPosition> shown(GpsFix_GetPosition(fix), Position_Delete);
      Handle<VmPosition> copy(GpsFix_GetPosition(fix), Position_Delete);
      Status.SetFix(fix, copy.get());
      Status.Grid = Scene.GridText(copy.get());
      if (Scene.OnFix(std::move(shown))) Report("map " + Scene.MapName() + " holds the fix");
      LastFixAt = ReceiverClock();
      break;
    }
    case KindMovement:
      Movement_GetSpeed(static_cast<VmMovement*>(object), SpeedKmh, &Status.Kmh);
      Status.HaveSpeed = true;
      break;
    case KindSatellites:
      Status.InView = Satellites_GetCount(static_cast<VmSatellites*>(object));
      break;
    case KindQuality:
      Quality_GetHDOP(static_cast<VmQuality*>(object), &Status.Hdop);
      Status.HaveHdop = true;
      break;
    case KindStatus: OnPortStatus(static_cast<VmComStatus*>(object)); break;
    default: break;
  }
  DeleteCarried(kind, object);
}

void ViewRun::OnPortStatus(VmComStatus* status) {
  const bool valid = ComStatus_GetValidNmea(status) != 0;
  if (Opts.Network) {  // the link's state: the library connects again by itself
    std::fprintf(stderr, valid ? "velmira %s: valid NMEA from %s\n" : "velmira %s: link to %s lost\n",
                 Name, Opts.Src.Label().c_str());
    Status.Port = Opts.Src.Label() + (valid ? ": connected" : ": lost, connecting again");
    PortValid = valid;
    return;
  }
  const int port = ComStatus_GetComPort(status);
  if (valid && (!PortHeard || !PortValid || port != LastPort)) {
    std::fprintf(stderr, "velmira %s: valid NMEA on COM%d at %d baud\n", Name, port,
                 static_cast<int>(ComStatus_GetBaudRate(status)));
  } else if (!valid && PortValid) {
    std::fprintf(stderr, "velmira %s: valid NMEA lost on COM%d\n", Name, port);
  }
  Status.Port =
      PortName(port) +
      (valid ? " " + std::to_string(ComStatus_GetBaudRate(status)) + " baud" : ": no valid NMEA");
  PortValid = valid;
  PortHeard = PortHeard || valid;
  LastPort = port;
}

// The window --------------------------------------------------------------------------------

void ViewRun::Loop() {
  const double start = Now();
  if (Opts.SecondsGiven) Deadline = start + Opts.Seconds;
  if (!Opts.UsePort) Replay.Start(start, Opts.Speed);
  for (;;) {
    const double now = Now();
    if (!Opts.UsePort) FeedReplay(now);
    Scene.SetStatus(Status.Text(Lost(), Scene.Following()));
    if (Quit || now >= Deadline) return;
    if (Scene.Dirty() && now >= NextFrame) {
      DrawFrame();
      NextFrame = now + FrameInterval;
    }
    if (Script && !Script->Finished() && now >= Script->DueAt()) Script->Play(Desk, now);
    SDL_Event e;
    for (int wait = WaitMs(Now()); Desk.Wait(e, wait); wait = 0) OnEvent(e);
  }
}

int ViewRun::WaitMs(double now) const {
  double until = Deadline;
  if (!Opts.UsePort && !Replay.Finished()) until = std::min(until, Replay.NextDueAt());
  if (Scene.Dirty()) until = std::min(until, NextFrame);
  // A port fix turns into "no fix" by the clock alone: wake up to show it.
  if (Opts.UsePort && Status.HaveFix && !Lost()) until = std::min(until, LastFixAt + FixLostAfter);
  if (Script && !Script->Finished()) until = std::min(until, Script->DueAt());
  if (until == Never) return MaxWaitMs;
  return static_cast<int>(std::clamp(std::ceil((until - now) * 1000), 0.0, double{MaxWaitMs}));
}

void ViewRun::OnEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      Quit = true;
      Report("window closed");
      break;
    case SDL_TEXTINPUT:
      for (const char* c = e.text.text; *c != 0; ++c) OnKey(*c);
      break;
    case SDL_MOUSEMOTION:
      PointerX = e.motion.x;
      PointerY = e.motion.y;
      if (Dragging) Scene.DragTo(PointerX, PointerY);
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT) {
        Dragging = true;
        Scene.StartDrag(e.button.x, e.button.y);
      }
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT && Dragging) {
        Dragging = false;
        Scene.DragTo(e.button.x, e.button.y);
        Report("pan");
      }
      break;
    case SDL_MOUSEWHEEL: {
      const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      if (notches == 0) break;
      Scene.ZoomBy(std::pow(ZoomStep, notches), true, PointerX, PointerY);
      Report(notches > 0 ? "wheel in" : "wheel out");
      break;
    }
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        Desk.Resize(e.window.data1, e.window.data2);
        Scene.Resize(Desk.Width(), Desk.Height());
        Report("resized to " + std::to_string(Desk.Width()) + "x" + std::to_string(Desk.Height()));
      } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        Desk.Present();  // the texture still holds the last frame
      }
      break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET: UploadAll(); break;
    default:
      if (e.type == GpsEvent) OnGps(reinterpret_cast<uintptr_t>(e.user.data1), e.user.data2);
      break;
  }
}

void ViewRun::OnKey(char key) {
  switch (key) {
    case '+':
    case '=':  // the + key without shift on many layouts
      Scene.ZoomBy(ZoomStep, false, 0, 0);
      Report("zoom in");
      break;
    case '-':
      Scene.ZoomBy(1 / ZoomStep, false, 0, 0);
      Report("zoom out");
      break;
    case '[':
      Scene.RotateBy(-RotationStep);
      Report("rotate left");
      break;
    case ']':
      Scene.RotateBy(RotationStep);
      Report("rotate right");
      break;
    case '0':
      Scene.SetRotation(0);
      Report("rotation reset");
      break;
    case 'f':
      Scene.SetFollow(!Scene.Following());
      Report(Scene.Following() ? "following" : "not following");
      break;
    case 'm': Report("map " + Scene.NextMap()); break;
    case 's': {
      // The first free name in the current folder: earlier screenshots are never overwritten.
      std::string path;
      do {
        path = "velmira-view-" + std::to_string(++Shots) + ".png";
      } while (std::filesystem::exists(path));
      const std::string problem = Screenshot(path);
      Report(problem.empty() ? "screenshot " + path : problem);
      break;
    }
    case 'q':
      Quit = true;
      Report("quit");
      break;
    default: break;
  }
}

// One line per control on standard output: what was done and the view it left.
void ViewRun::Report(const std::string& action) {
  double lat = 0, lon = 0;
  const bool centred = Scene.Centre(lat, lon);
  std::printf("%s | zoom %.6g | rotation %g | %s | centre %.7f %.7f%s | map %s\n", action.c_str(),
              Scene.Zoom(), Scene.Rotation(), Scene.Following() ? "following" : "not following",
              lat, lon, centred ? "" : " (none)", Scene.MapName().c_str());
  std::fflush(stdout);
}

void ViewRun::DrawFrame() {
  const MapScene::Drawn drawn = Scene.Draw();
  if (!Scene.Problem().empty() && Scene.Problem() != LastProblem) {
    std::fprintf(stderr, "velmira %s: cannot draw the view: %s\n", Name, Scene.Problem().c_str());
  }
  LastProblem = Scene.Problem();
  int w = 0, h = 0, stride = 0;
  if (drawn.Map) {
    const uint8_t* pixels = Scene.MapPixels(w, h, stride);
    Desk.Upload(0, pixels, w, h, stride);
  }
  if (drawn.Status) {
    const uint8_t* pixels = Scene.StatusPixels(w, h, stride);
    Desk.Upload(Scene.MapHeight(), pixels, w, h, stride);
  }
  if (drawn.Map || drawn.Status) Desk.Present();
}

void ViewRun::UploadAll() {
  int w = 0, h = 0, stride = 0;
  const uint8_t* pixels = Scene.MapPixels(w, h, stride);
  Desk.Upload(0, pixels, w, h, stride);
  pixels = Scene.StatusPixels(w, h, stride);
  Desk.Upload(Scene.MapHeight(), pixels, w, h, stride);
  Desk.Present();
}

std::string ViewRun::Screenshot(const std::string& path) {
  if (Scene.Dirty()) DrawFrame();  // what the user sees now, changes included
  return Scene.SavePng(path);
}

}  // namespace

int RunView(const Args& args) {
  ViewOptions o;
  if (std::string why = ParseView(args, o); !why.empty()) return BadUsage(Name, why);
  ViewRun run(o);
  return run.Run();
}

}  // namespace cli

/* The GPS exports through libvelmira.so from C99: a parser in event mode posting to a
 * window, the records read through their families, and the polled-mode refusals. */
#include <stdio.h>
#include <string.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      failures++;                                                              \
    }                                                                          \
  } while (0)

static void Widen(const char* text, WCHAR* out) {
  while ((*out++ = (WCHAR)(unsigned char)*text++) != 0) {
  }
}

static void Parse(VmNmeaParser* parser, const char* text) {
  WCHAR wide[256];
  Widen(text, wide);
  NmeaParser_Parse(parser, wide);
}

static int Take(HWND window, VmMsg* m) { return VmWindow_GetMessage(window, m, 0); }

static void EventMode(void) {
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(NULL, 0, 0, 4, 4);
  VmMsg m;
  double v = 0;
  VmGpsFix* fix;
  VmPosition* where;
  VmMovement* movement;
  VmNmeaSentence* sentence;

  NmeaParser_SetCallbackHWND(parser, window);
  Parse(parser, "$GPRMC,123519.25,A,4807.038,N,01131.000,E,010.0,084.4,230394,003.1,W*46\r\n");
  CHECK(Error_ErrNum(NmeaParser_GetErrHandle(parser)) == 0);

  CHECK(Take(window, &m) == 1 && m.message == 1125 && m.wParam == 5 && m.hwnd == window);
  fix = (VmGpsFix*)m.lParam;
  CHECK(GpsFix_GetFixType(fix) == 2);
  CHECK(GpsFix_GetYear(fix) == 1994 && GpsFix_GetMonth(fix) == 3 && GpsFix_GetDay(fix) == 23);
  CHECK(GpsFix_GetHour(fix) == 12 && GpsFix_GetMinute(fix) == 35 && GpsFix_GetSecond(fix) == 19);
  CHECK(GpsFix_GetMilliSecond(fix) == 250);
  where = GpsFix_GetPosition(fix);
  Position_GetLatitudeDecDeg(where, &v);
  CHECK(v > 48.1172999 && v < 48.1173001);
  Position_Delete(where);
  GpsFix_Delete(fix);

  CHECK(Take(window, &m) == 1 && m.wParam == 7);
  movement = (VmMovement*)m.lParam;
  Movement_GetSpeed(movement, 2, &v);
  CHECK(v > 18.51996 && v < 18.51997);
  Movement_GetSpeed(movement, 9, &v);
  CHECK(v == 0.0 && Error_ErrNum(Movement_GetErrHandle(movement)) == 10003);
  Movement_GetMagneticVariation(movement, &v);
  CHECK(v > -3.1000001 && v < -3.0999999);
  Movement_Delete(movement);

  CHECK(Take(window, &m) == 1 && m.wParam == 1);
  sentence = (VmNmeaSentence*)m.lParam;
  CHECK(NmeaSentence_GetFieldCount(sentence) == 11);
  NmeaSentence_Delete(sentence);
  CHECK(Take(window, &m) == 0);

  Parse(parser, "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n");
  CHECK(Take(window, &m) == 1 && m.wParam == 8);
  Quality_GetHDOP((VmQuality*)m.lParam, &v);
  CHECK(v == 1.3);
  Quality_Delete((VmQuality*)m.lParam);
  CHECK(Take(window, &m) == 1 && m.wParam == 1);
  NmeaSentence_Delete((VmNmeaSentence*)m.lParam);

  /* Messages left queued are released with the window. */
  Parse(parser, "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n");
  VmWindow_Delete(window);
  NmeaParser_SetCallbackHWND(parser, NULL);
  NmeaParser_Delete(parser);
}

static void StatusAndRefusals(void) {
  VmNmeaParser* parser = NmeaParser_New();
  VmComStatus* status = NmeaParser_GetComStatus(parser);
  CHECK(status != NULL && ComStatus_GetValidNmea(status) == 0);
  ComStatus_Delete(status);
  NmeaParser_SetNoEvents(parser, 1);
  CHECK(NmeaParser_GetSatellites(parser, 0) == NULL);
  CHECK(Error_ErrNum(NmeaParser_GetErrHandle(parser)) == 10006);
  NmeaParser_SetGpsDatum(parser, 28);
  CHECK(Error_ErrNum(NmeaParser_GetErrHandle(parser)) == 10003);
  NmeaParser_Delete(parser);
  NmeaParser_Delete(NULL);
  CHECK(NmeaParser_GetErrHandle(NULL) == NULL && GpsFix_GetErrHandle(NULL) == NULL);
  CHECK(Satellites_GetErrHandle(NULL) == NULL && ComStatus_GetErrHandle(NULL) == NULL);
  GpsFix_Delete(NULL);
  Movement_Delete(NULL);
  Satellite_Delete(NULL);
  Quality_Delete(NULL);
}

int main(void) {
  EventMode();
  StatusAndRefusals();
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}

/* The exports through libvelmira.so from C99: strings and their length prefix, a sentence
 * without text, a parser in event mode posting to a window, a record read through its family
 * with a 64-bit result through an out pointer, and null handles. */
#include <stdio.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      failures++;                                                              \
    }                                                                          \
  } while (0)

static void Parse(VmNmeaParser* parser, const char* text) {
  WCHAR wide[256];
  int i = 0;
  do wide[i] = (WCHAR)(unsigned char)text[i];
  while (text[i++] != 0);
  NmeaParser_Parse(parser, wide);
}

static void Strings(void) {
  static const WCHAR text[] = {'$', 'G', 'P', 0x141, 0};
  BSTR s = SysAllocStringLen(text, 4), out = (BSTR)1;
  VmNmeaSentence* h = NmeaSentence_New();
  CHECK(s != NULL && SysStringLen(s) == 4 && ((const uint32_t*)s)[-1] == 8); /* bytes, not units */
  CHECK(s[3] == 0x141 && s[4] == 0);
  SysFreeString(s);
  SysFreeString(NULL);
  CHECK(SysStringLen(NULL) == 0);
  /* Without text a sentence gives empty strings, not null, and no fields. */
  CHECK(NmeaSentence_GetCommand(h, &out) == out && out != NULL && SysStringLen(out) == 0);
  CHECK(SysStringLen(NmeaSentence_GetSentence(h, NULL)) == 0 && NmeaSentence_GetFieldCount(h) == 0);
  CHECK(NmeaSentence_Fields(h, 1, &out) == NULL && out == NULL);
  CHECK(Error_ErrDesc(NmeaSentence_GetErrHandle(h), &out) == out && SysStringLen(out) == 0);
  NmeaSentence_Delete(h);
}

/* The GPS family tests check the records; here they only have to cross the ABI intact. */
static void EventMode(void) {
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(NULL, 0, 0, 4, 4);
  VmMsg m;
  double v = 0;
  VmPosition* where;
  NmeaParser_SetCallbackHWND(parser, window);
  Parse(parser, "$GPRMC,123519.25,A,4807.038,N,01131.000,E,010.0,084.4,230394,003.1,W*46\r\n");
  CHECK(VmWindow_GetMessage(window, &m, 0) == 1 && m.message == 1125 && m.wParam == 5);
  CHECK(m.hwnd == window && GpsFix_GetMilliSecond((VmGpsFix*)m.lParam) == 250);
  where = GpsFix_GetPosition((VmGpsFix*)m.lParam);
  Position_GetLatitudeDecDeg(where, &v);
  CHECK(v > 48.1172999 && v < 48.1173001);
  Position_Delete(where);
  GpsFix_Delete((VmGpsFix*)m.lParam);
  VmWindow_Delete(window); /* the movement and the sentence still queued go with it */
  NmeaParser_SetNoEvents(parser, 1);
  CHECK(NmeaParser_GetSatellites(parser, 0) == NULL);
  CHECK(Error_ErrNum(NmeaParser_GetErrHandle(parser)) == 10006);
  NmeaParser_SetCallbackHWND(parser, NULL);
  NmeaParser_Delete(parser);
}

static void NullHandles(void) {
  CHECK(NmeaSentence_GetErrHandle(NULL) == NULL && NmeaParser_GetErrHandle(NULL) == NULL);
  CHECK(GpsFix_GetErrHandle(NULL) == NULL && Satellites_GetErrHandle(NULL) == NULL);
  CHECK(ComStatus_GetErrHandle(NULL) == NULL);
  NmeaSentence_Delete(NULL);
  NmeaParser_Delete(NULL);
  GpsFix_Delete(NULL);
  Movement_Delete(NULL);
  Satellite_Delete(NULL);
  Quality_Delete(NULL);
}

int main(void) {
  Strings();
  EventMode();
  NullHandles();
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}

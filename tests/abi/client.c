/* The exports through libvelmira.so from C99: strings and their length prefix, a sentence
 * without text, a parser in event mode posting to a window, a record read through its family
 * with a 64-bit result through an out pointer, and null handles. (Error records: the GPS
 * family tests.) */
#include <stdio.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(cond) \
  do if (!(cond)) failures += fprintf(stderr, "%d: check failed: %s\n", __LINE__, #cond) > 0; while (0)

int main(void) {
  static const WCHAR text[] = {'$', 'G', 'P', 0x141, 0};
  static const char rmc[] =
      "$GPRMC,123519.25,A,4807.038,N,01131.000,E,010.0,084.4,230394,003.1,W*46\r\n";
  WCHAR wide[sizeof rmc];
  BSTR s = SysAllocStringLen(text, 4), out = (BSTR)1;
  VmNmeaSentence* h = NmeaSentence_New();
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(NULL, 0, 0, 4, 4);
  VmPosition *where, *again;
  VmMsg m;
  double v = 0;
  size_t i;
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

  /* The GPS family tests check the records; here they only have to cross the ABI intact. */
  /* Each fix position is a new object on the parser's datum. */
  for (i = 0; i < sizeof rmc; ++i) wide[i] = (WCHAR)(unsigned char)rmc[i];
  NmeaParser_SetCallbackHWND(parser, window);
  NmeaParser_SetGpsDatum(parser, 5);
  NmeaParser_Parse(parser, wide);
  CHECK(VmWindow_GetMessage(window, &m, 0) == 1 && m.message == 1125 && m.wParam == 5);
  CHECK(m.hwnd == window && GpsFix_GetMilliSecond((VmGpsFix*)m.lParam) == 250);
  where = GpsFix_GetPosition((VmGpsFix*)m.lParam);
  again = GpsFix_GetPosition((VmGpsFix*)m.lParam);
  Position_GetLatitudeDecDeg(where, &v);
  CHECK(v > 48.1172999 && v < 48.1173001 && where != again && Position_GetDatum(again) == 5);
  Position_Delete(where);
  Position_Delete(again);
  GpsFix_Delete((VmGpsFix*)m.lParam);
  VmWindow_Delete(window); /* the movement and the sentence still queued go with it */
  NmeaParser_Delete(parser);
  NmeaSentence_Delete(h);

  CHECK(NmeaSentence_GetErrHandle(NULL) == NULL && NmeaParser_GetErrHandle(NULL) == NULL);
  CHECK(GpsFix_GetErrHandle(NULL) == NULL && Satellites_GetErrHandle(NULL) == NULL);
  NmeaSentence_Delete(NULL);
  NmeaParser_Delete(NULL);
  GpsFix_Delete(NULL);
  Satellite_Delete(NULL);
  if (failures != 0) fprintf(stderr, "%d checks failed\n", failures);
  return failures == 0 ? 0 : 1;
}

/* A small client of the installed library:
 *
 *   cc hello.c $(pkg-config --cflags --libs velmira) -o hello
 *   ./hello [MAP-LIBRARY [PICTURE.png]]
 *
 * converts a point to UTM, decodes one NMEA sentence in event mode through a window's message
 * queue and, given a map library, centres its first map on the fix in a 320 x 240 window,
 * marks the fix and saves the window as a PNG picture. Exits 1 when the library reports an
 * error. */
#include <stdio.h>
#include <string.h>

#include <velmira/velmira.h>

/* Text comes out as UTF-16 BSTRs; the library's texts are ASCII. */
static const char* Narrow(BSTR s, char* out, size_t size) {
  uint32_t i, n = SysStringLen(s);
  for (i = 0; i < n && i + 1 < size; i++) out[i] = (char)s[i];
  out[i] = '\0';
  return out;
}

static void Widen(const char* text, WCHAR* out) {
  while ((*out++ = (WCHAR)(unsigned char)*text++) != 0) {
  }
}

/* Reports the record's error, if any: the message is kept by the library, not ours to free. */
static int Failed(VmError* record, const char* what) {
  char text[128];
  if (Error_ErrNum(record) == 0) return 0;
  fprintf(stderr, "%s: error %d: %s\n", what, Error_ErrNum(record),
          Narrow(Error_ErrDesc(record, NULL), text, sizeof text));
  return 1;
}

/* Munich's Marienplatz on WGS 84 into UTM (grid 1; the zone follows from the longitude). */
static int Convert(void) {
  double lat = 48.137154, lon = 11.576124, east = 0, north = 0;
  VmPosition* p = Position_New();
  char zone[8];
  BSTR zoneCopy;
  int bad;
  Position_SetLatitudeDecDeg(p, &lat);
  Position_SetLongitudeDecDeg(p, &lon);
  Position_SetGrid(p, 1);
  Position_GetEasting(p, &east);
  Position_GetNorthing(p, &north);
  bad = Failed(Position_GetErrHandle(p), "Position");
  zoneCopy = Position_GetZone(p, NULL); /* a copy: ours to free */
  printf("%.6f %.6f is UTM %s %.2f E %.2f N\n", lat, lon, Narrow(zoneCopy, zone, sizeof zone),
         east, north);
  SysFreeString(zoneCopy);
  Position_Delete(p);
  return bad;
}

/* Parses a GGA sentence in event mode: the fix arrives as message 1125 of kind 5, the
 * sentence itself as kind 1, and the receiver owns the object each message carries.
 * Returns the fix's position, or null. */
static VmPosition* ParseFix(void) {
  static const char gga[] =
      "$GPGGA,074157.00,4807.32170,N,01132.27592,E,1,04,3.80,519.6,M,47.4,M,,*59\r\n";
  WCHAR wide[sizeof gga];
  VmNmeaParser* parser = NmeaParser_New();
  HWND window = VmWindow_New(NULL, 0, 0, 1, 1);
  VmPosition* where = NULL;
  VmMsg m;
  NmeaParser_SetCallbackHWND(parser, window);
  Widen(gga, wide);
  NmeaParser_Parse(parser, wide); /* delivers during the call */
  Failed(NmeaParser_GetErrHandle(parser), "NmeaParser_Parse");
  while (VmWindow_GetMessage(window, &m, 0)) {
    if (m.wParam == 5) {
      VmGpsFix* fix = (VmGpsFix*)m.lParam;
      double lat = 0, lon = 0, alt = 0;
      where = GpsFix_GetPosition(fix);
      Position_GetLatitudeDecDeg(where, &lat);
      Position_GetLongitudeDecDeg(where, &lon);
      Position_GetAltitude(where, 0, &alt);
      printf("fix at %02d:%02d:%02d UTC: %.6f %.6f, %.1f m above sea level\n",
             GpsFix_GetHour(fix), GpsFix_GetMinute(fix), GpsFix_GetSecond(fix), lat, lon, alt);
      GpsFix_Delete(fix);
    } else if (m.wParam == 1) {
      NmeaSentence_Delete((VmNmeaSentence*)m.lParam);
    }
  }
  NmeaParser_SetCallbackHWND(parser, NULL);
  NmeaParser_Delete(parser);
  VmWindow_Delete(window);
  if (where == NULL) fprintf(stderr, "no fix was delivered\n");
  return where;
}

/* A red ring of 15 pixels around the fix, in the viewer's active layer. */
static void MarkFix(VmViewer* viewer, VmPosition* where) {
  VmEllipse* ring = Viewer_NewEllipse(viewer);
  VmPen* pen = Pen_New();
  Pen_SetRed(pen, 220);
  Pen_SetWidth(pen, 3);
  Ellipse_SetPen(ring, pen);
  Ellipse_SetPosition(ring, where);
  Ellipse_SetWidth(ring, 15);
  Ellipse_SetHeight(ring, 15);
  Pen_Delete(pen);
  Ellipse_Delete(ring); /* the layer keeps its own reference */
}

static int ShowOnMap(const char* library, VmPosition* where, const char* picture) {
  static const char active[] = "_active";
  WCHAR name[1024], activeName[sizeof active];
  VmViewer* viewer = Viewer_New();
  HWND window = VmWindow_New(NULL, 0, 0, 320, 240);
  VmMap* map = NULL;
  int bad = strlen(library) >= sizeof name / sizeof name[0];
  if (!bad) {
    Widen(library, name);
    Viewer_Open(viewer, name); /* the library's first map becomes current */
    bad = Failed(Viewer_GetErrHandle(viewer), library);
  }
  if (!bad) {
    char text[32];
    BSTR mapName;
    VmPoint* size;
    Widen(active, activeName);
    map = Viewer_ActiveMapData(viewer, activeName);
    size = Map_GetSize(map);
    mapName = Map_GetName(map, NULL);
    printf("map \"%s\", %d x %d pixels\n", Narrow(mapName, text, sizeof text), Point_GetX(size),
           Point_GetY(size));
    SysFreeString(mapName);
    Point_Delete(size);
    Viewer_SetPosition(viewer, where); /* the viewer keeps `where` and converts it in place */
    MarkFix(viewer, where);
    VmWindow_SetForeground(window);
    Viewer_OnDraw(viewer, 0, 0, 320, 240, 1);
    bad = Failed(Viewer_GetErrHandle(viewer), "Viewer_OnDraw");
  }
  if (!bad && picture != NULL) {
    bad = !VmWindow_SavePng(window, picture);
    printf(bad ? "could not write %s\n" : "wrote %s\n", picture);
  }
  Map_Delete(map);
  Viewer_Delete(viewer);
  VmWindow_Delete(window);
  return bad;
}

int main(int argc, char** argv) {
  int bad = Convert();
  VmPosition* where = ParseFix();
  if (where == NULL) return 1;
  if (argc > 1) bad |= ShowOnMap(argv[1], where, argc > 2 ? argv[2] : NULL);
  Position_Delete(where);
  return bad ? 1 : 0;
}

/* The viewer from C99, as an application sees it: this client writes its own map library file
 * from the format (chunks, records, zlib streams; no library code), opens it, draws the
 * view and an icon into a window it made, and checks every window pixel against its own
 * computation, then lookups with type codes and a map handle outliving its library entry. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(c) \
  do { if (!(c)) { fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); failures++; } } while (0)

enum { Tile = 256, IconSide = 8, WinX = 5, WinY = 7, WinW = 200, WinH = 150 };

/* Colour 0xRRGGBB of map pixel (x, y). */
static unsigned long MapRgb(int x, int y) { return (unsigned long)x << 16 | (unsigned long)y << 8 | (77 + (x ^ y) % 50); }
/* Icon pixels: palette index 0 (the transparent key) on a checker, 1 (red) elsewhere. */
static int IconIndexAt(int x, int y) { return (x + y) % 3 == 0 ? 0 : 1; }

/* Little-endian integers of n bytes; doubles as their bytes (x86-64 is little-endian too). */
static void Put(FILE* f, unsigned long v, int n) { while (n-- > 0) fputc((int)(v & 0xFF), f), v >>= 8; }
#define Put16(f, v) Put(f, (unsigned long)(v), 2)
#define Put32(f, v) Put(f, (unsigned long)(v), 4)
static void PutDoubles(FILE* f, const double* d, size_t n) { fwrite(d, 8, n, f); }
/* A chunk header: the tag as a little-endian constant whose first character is the high byte. */
static void PutHeader(FILE* f, const char* tag, unsigned long size) {
  Put32(f, (unsigned long)tag[0] << 24 | (unsigned long)tag[1] << 16 | (unsigned long)tag[2] << 8 | (unsigned long)tag[3]), Put32(f, size);
}
/* The 66 bytes that icon and map records begin with; the name fills 16 bytes. */
static void PutRecordHead(FILE* f, const char* name, int width, int height) {
  Put16(f, 1); Put16(f, 0); Put32(f, 0); Put16(f, 1);
  fwrite(name, 1, strlen(name), f); Put(f, 0, 48 - (int)strlen(name)); Put32(f, width); Put32(f, height);
}
/* A 40-byte BITMAPINFOHEADER. */
static void PutBitmapHeader(FILE* f, int width, int height, int bits, int colours) {
  Put32(f, 40); Put32(f, width); Put32(f, height); Put16(f, 1); Put16(f, bits);
  Put(f, 0, 16); Put32(f, colours); Put32(f, 0);
}
/* A 'PICD' chunk holding data as one zlib stream. */
static void PutZlib(FILE* f, const unsigned char* data, unsigned long size) {
  static unsigned char packed[Tile * Tile * 4];
  uLongf n = sizeof packed;
  compress(packed, &n, data, size);
  PutHeader(f, "PICD", n), fwrite(packed, 1, n, f);
}

static int WriteLibrary(const char* path) {
  static const double calibration[6] = {0.1, 0.9, 1e-5, 0, 0, -1e-5};
  static unsigned char tile[Tile * Tile * 3];
  unsigned char icon[IconSide * IconSide];
  FILE* f = fopen(path, "wb");
  int i;
  if (f == NULL) return 0;
  PutHeader(f, "KOLV", 4); Put16(f, 1); Put16(f, 0);
  /* One map of one tile; lon = 0.1 + 1e-5 x, lat = 0.9 - 1e-5 y radians on WGS 84. */
  PutHeader(f, "MAPH", 134);
  PutRecordHead(f, "town", Tile, Tile);
  Put16(f, 1); Put16(f, 0); Put(f, 0, 12);
  PutDoubles(f, calibration, 6);
  Put16(f, Tile); Put16(f, Tile);
  PutHeader(f, "PICH", 40); PutBitmapHeader(f, Tile, Tile, 24, 0);
  PutHeader(f, "PICP", 0);
  for (i = 0; i < Tile * Tile * 3; ++i) { /* the tile's bottom row first, blue green red */
    tile[i] = (unsigned char)(MapRgb(i / 3 % Tile, Tile - 1 - i / 3 / Tile) >> (8 * (i % 3)));
  }
  PutZlib(f, tile, sizeof tile);
  /* One 8-bit icon with index 0 transparent. */
  PutHeader(f, "ICOH", 66);
  PutRecordHead(f, "pin", IconSide, IconSide);
  PutHeader(f, "PICH", 48); PutBitmapHeader(f, IconSide, IconSide, 8, 2); Put32(f, 1); Put32(f, 0);
  PutHeader(f, "PICP", 8); Put32(f, 0xFF00FF); Put32(f, 0xFF0000); /* magenta key, red */
  for (i = 0; i < IconSide * IconSide; ++i) icon[i] = (unsigned char)IconIndexAt(i % IconSide, IconSide - 1 - i / IconSide);
  PutZlib(f, icon, sizeof icon);
  return fclose(f) == 0;
}

static void Widen(const char* s, WCHAR* out) { while ((*out++ = (WCHAR)(unsigned char)*s++) != 0) {} }

static VmPosition* At(double x, double y) { /* the middle of view pixel (x, y) at zoom 1 */
  VmPosition* p = Position_New();
  double lon = 0.1 + 1e-5 * (x + 0.5), lat = 0.9 - 1e-5 * (y + 0.5);
  Position_SetLongitudeRads(p, &lon), Position_SetLatitudeRads(p, &lat);
  return p;
}

int main(void) {
  char path[64];
  WCHAR wide[64], name[8];
  HWND frame = VmWindow_New(NULL, 0, 0, 400, 300), child = VmWindow_New(frame, WinX, WinY, WinW, WinH);
  VmViewer* viewer = Viewer_New();
  VmPosition *centre = At(140, 90), *spot = At(150, 100);
  int32_t w = 0, h = 0, stride = 0, type = -1, x, y, wrong = 0;

  sprintf(path, "/tmp/velmira_abi_viewer_%ld.kolv", (long)getpid());
  CHECK(WriteLibrary(path));
  Widen(path, wide);
  VmWindow_SetForeground(frame);

  Viewer_Open(viewer, wide);
  VmMapLib* lib = Viewer_GetMapLib(viewer);
  CHECK(Error_ErrNum(Viewer_GetErrHandle(viewer)) == 0 && MapLib_GetMapCount(lib) == 1);
  Widen("town", name);
  VmMap* map = MapLib_GetMapByName(lib, name);
  CHECK(map != NULL && MapLib_NewMap(lib, name) == NULL && Error_ErrNum(MapLib_GetErrHandle(lib)) == 10003);
  Viewer_SetPosition(viewer, centre);
  Widen("pin", name);
  VmIcon* icon = Viewer_NewIcon(viewer, name);
  Icon_SetPosition(icon, spot);
  Viewer_OnDraw(viewer, WinX, WinY, WinW, WinH, 1);
  CHECK(icon != NULL && Error_ErrNum(Viewer_GetErrHandle(viewer)) == 0);

  /* Window pixel (sx, sy) shows view pixel (left + sx, top + sy); the icon's box is centred on
   * (150, 100) and its key colour shows the map. */
  const int32_t left = Viewer_GetLeft(viewer), top = Viewer_GetTop(viewer);
  CHECK(left == 140 - WinW / 2 && top == 90 - WinH / 2);
  const uint8_t* pixels = VmWindow_GetPixels(child, &w, &h, &stride);
  CHECK(pixels != NULL && w == WinW && h == WinH);
  for (y = 0; pixels != NULL && y < WinH; ++y) {
    for (x = 0; x < WinW; ++x) {
      const uint8_t* p = pixels + y * stride + 4 * x;
      int vx = left + x, vy = top + y, ix = vx - (150 - IconSide / 2), iy = vy - (100 - IconSide / 2);
      unsigned long rgb = vx >= 0 && vy >= 0 && vx < Tile && vy < Tile ? MapRgb(vx, vy) : 0xFFFFFF;
      if (ix >= 0 && iy >= 0 && ix < IconSide && iy < IconSide && IconIndexAt(ix, iy) == 1) rgb = 0xFF0000;
      wrong += ((unsigned long)p[2] << 16 | (unsigned long)p[1] << 8 | p[0]) != rgb;
    }
  }
  CHECK(wrong == 0);
  if (wrong != 0) VmWindow_SavePng(child, "/tmp/velmira_abi_viewer.png");

  /* Lookups hand out the icon itself with its type code; a code outside 1..5 means no object. */
  VmPoint* point = Viewer_Position2Point(viewer, spot);
  CHECK(point != NULL && Point_GetX(point) == 150 && Point_GetY(point) == 100);
  VmMapObject* found = Viewer_GetByPoint(viewer, point, &type);
  CHECK(found == (VmMapObject*)icon && type == 1);
  Icon_Delete((VmIcon*)found);
  CHECK(Viewer_GetIndex(viewer, (VmMapObject*)icon, 1) == 1 && Viewer_GetIndex(viewer, (VmMapObject*)icon, 0) == 0);
  CHECK(Viewer_GetIndex(viewer, (VmMapObject*)icon, 2) == 1); /* another kind's code in range */
  Viewer_DeleteObject(viewer, (VmMapObject*)icon, 6);
  CHECK(Viewer_GetIndex(viewer, (VmMapObject*)icon, 1) == 1);
  Viewer_DeleteObject(viewer, (VmMapObject*)icon, 1);
  type = -1;
  CHECK(Viewer_GetByPoint(viewer, point, &type) == NULL && type == -1);

  MapLib_RemoveMap(lib, map); /* the library lets go; the caller's handle stays usable */
  CHECK(MapLib_GetMapCount(lib) == 0 && MapLib_GetMapByIndex(lib, 1) == NULL);
  VmPoint* size = Map_GetSize(map);
  CHECK(Point_GetX(size) == Tile && Point_GetY(size) == Tile);

  Point_Delete(point), Point_Delete(size);
  Map_Delete(map);
  Icon_Delete(icon);
  Position_Delete(centre), Position_Delete(spot);
  MapLib_Delete(lib);
  Viewer_Delete(viewer);
  VmWindow_Delete(frame);
  remove(path);
  return failures == 0 ? 0 : 1;
}

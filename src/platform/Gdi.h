// Drawing services as the library was designed against them: device contexts, DIB
// sections, monochrome bitmaps, pens, brushes, fonts, BitBlt, Polyline, Rectangle, Ellipse
// and DrawTextW, drawing into window surfaces and bitmaps in memory. Only the calls, flags
// and modes the library uses exist; others fail as the platform fails an unknown request.
//
// Handles: one handle type for every drawing object (HBITMAP, HPEN, HBRUSH and HFONT are
// names for HGDIOBJ), so the library's code reads as it was written; each call checks the
// kind at run time and fails on a wrong, null or deleted handle. Nothing is locked but the
// table of live objects: one device context and what is selected into it belong to one
// thread at a time.
#pragma once

#include <cstdint>

#include "platform/Sync.h"
#include "platform/Windows.h"
#include "velmira/platform.h"

namespace platform {

struct GdiObject;
using HGDIOBJ = GdiObject*;
using HBITMAP = HGDIOBJ;
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;

// 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<COLORREF>(red) | static_cast<COLORREF>(green) << 8 |
         static_cast<COLORREF>(blue) << 16;
}
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

struct RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// The 40-byte little-endian header that bitmaps carry in memory and in files.
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // positive: rows bottom-up; negative: top-down
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;  // palette entries; 0 means 2^biBitCount for 1, 4 and 8 bits
  uint32_t biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

// A header directly followed by its palette (biClrUsed entries, which may be more than one).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

inline constexpr int32_t LF_FACESIZE = 32;
struct LOGFONTW {
  int32_t lfHeight;  // < 0: character (em) height in pixels; > 0: cell height; 0: default
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;  // 400 normal, 700 bold; 0 normal
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];  // NUL-terminated; empty: the default face
};

// Raster operations of BitBlt.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD DSTANDNOTSRC = 0x00220326;  // destination AND NOT source

// Stock objects.
inline constexpr int32_t WHITE_BRUSH = 0;
inline constexpr int32_t NULL_BRUSH = 5;
inline constexpr int32_t BLACK_PEN = 7;
inline constexpr int32_t SYSTEM_FONT = 13;

inline constexpr int32_t PS_SOLID = 0;
inline constexpr int32_t TRANSPARENT = 1;
inline constexpr int32_t OPAQUE = 2;
inline constexpr int32_t LOGPIXELSX = 88;
inline constexpr int32_t LOGPIXELSY = 90;
inline constexpr uint32_t DIB_RGB_COLORS = 0;
inline constexpr uint32_t BI_RGB = 0;
inline constexpr int32_t FW_NORMAL = 400;
inline constexpr int32_t FW_BOLD = 700;

// DrawTextW formats.
inline constexpr uint32_t DT_TOP = 0x0000;
inline constexpr uint32_t DT_LEFT = 0x0000;
inline constexpr uint32_t DT_CENTER = 0x0001;
inline constexpr uint32_t DT_RIGHT = 0x0002;
inline constexpr uint32_t DT_VCENTER = 0x0004;
inline constexpr uint32_t DT_BOTTOM = 0x0008;
inline constexpr uint32_t DT_WORDBREAK = 0x0010;
inline constexpr uint32_t DT_CALCRECT = 0x0400;
inline constexpr uint32_t DT_NOPREFIX = 0x0800;

// Device contexts. A window's context draws into the window's own pixel surface from its
// top-left corner; it stays usable (drawing into memory nobody shows) if the window is
// deleted first. GetDC of a window that is not live gives null.
HDC GetDC(HWND window);
// 1 when dc was window's context and is now released, else 0.
int32_t ReleaseDC(HWND window, HDC dc);
// A memory context (dc may be null) holding a 1 x 1 monochrome bitmap, black text on a white
// background in opaque mode, the black pen, the white brush and the system font.
HDC CreateCompatibleDC(HDC dc);
// Deletes a memory context; what is selected into it becomes free to delete.
bool DeleteDC(HDC dc);
// 96 for LOGPIXELSX and LOGPIXELSY, 0 for other indices and for a dead context.
int32_t GetDeviceCaps(HDC dc, int32_t index);

// Bitmaps. A DIB section of 1, 4, 8, 16 (5-5-5), 24 or 32 bits, uncompressed, with the
// palette that follows the header (1, 4 and 8 bits); pixels start zeroed and *bits (may be
// null) receives them: rows bottom-up for a positive height, each padded to 4 bytes. dc
// and section are not used. Null for a header it cannot take or when memory runs out.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, uint32_t usage, void** bits,
                         HANDLE section = nullptr, DWORD offset = 0);
// A monochrome bitmap (planes 1, 1 bit per pixel); bits, if given, holds rows top-down padded
// to 2 bytes, a set bit being white. Null for other depths and for sides below 1.
HBITMAP CreateBitmap(int32_t width, int32_t height, uint32_t planes, uint32_t bitsPerPixel,
                     const void* bits);

// Pens and brushes. PS_SOLID only; widths 0 and 1 draw one pixel wide, wider pens are round
// at their ends and joins. A negative width counts as its absolute value.
HPEN CreatePen(int32_t style, int32_t width, COLORREF colour);
HBRUSH CreateSolidBrush(COLORREF colour);
// WHITE_BRUSH, NULL_BRUSH, BLACK_PEN or SYSTEM_FONT; null for others. Stock objects are
// never deleted.
HGDIOBJ GetStockObject(int32_t which);

// A font found through fontconfig from the face name (at most 31 characters are read),
// height, weight and italic flag; width, escapement, orientation, underline, strike-out and
// the precision fields are not used. A face no installed font has gives fontconfig's
// default face.
HFONT CreateFontIndirectW(const LOGFONTW* font);

// Selects a bitmap (memory contexts only; one context at a time), pen, brush or font and
// returns the one it replaces; null on failure, leaving the context unchanged.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// False for a null, dead or still selected object; stock objects stay and report true.
bool DeleteObject(HGDIOBJ object);

// Each returns the previous value: CLR_INVALID or 0 for a dead context.
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int32_t SetBkMode(HDC dc, int32_t mode);  // TRANSPARENT or OPAQUE

// Copies a rectangle from src (x, y relative to it) to dst with SRCCOPY, SRCAND, SRCPAINT
// or DSTANDNOTSRC, clipped to both surfaces. Monochrome (CreateBitmap) sources drawn on
// colour take dst's text colour for 0 and background colour for 1; colour drawn on
// monochrome gives 1 where it equals src's background colour. Operations combine colours;
// a palette surface stores the first nearest entry of the result. False for an unknown
// operation or a dead context.
bool BitBlt(HDC dst, int32_t x, int32_t y, int32_t width, int32_t height, HDC src, int32_t xSrc,
            int32_t ySrc, DWORD rop);

// Shapes with the selected pen and brush. Polyline joins the points and leaves the last one
// out; Rectangle and Ellipse fill the box left..right - 1, top..bottom - 1 with a one-pixel
// pen. Coordinates beyond +/-2^27 fail.
bool Polyline(HDC dc, const POINT* points, int32_t count);
bool Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool Ellipse(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);

// Draws (or with DT_CALCRECT measures into *rect) count units of text (-1: up to the NUL)
// with the selected font and text colour, clipped to *rect. Lines end at CR LF, LF or CR;
// DT_WORDBREAK wraps at spaces within the rectangle's width (a longer word is broken).
// DT_CENTER and DT_RIGHT place each line, DT_VCENTER and DT_BOTTOM the block of lines; with
// DT_CALCRECT, right and bottom become left + widest line and top + lines x line height.
// Transparent mode draws only the glyphs, opaque mode first fills each line's box with the
// background colour. Returns the text height, or with DT_VCENTER or DT_BOTTOM the offset from
// rect.top to the text's bottom; 0 on failure.
int32_t DrawTextW(HDC dc, const WCHAR* text, int32_t count, RECT* rect, uint32_t format);

// Drawing objects created and not yet deleted (stock objects are not counted), so tests
// can check that a drawing call gives back everything it made.
struct GdiObjectCounts {
  int32_t DeviceContexts;
  int32_t Bitmaps;
  int32_t Pens;
  int32_t Brushes;
  int32_t Fonts;
  int32_t Total() const { return DeviceContexts + Bitmaps + Pens + Brushes + Fonts; }
};
GdiObjectCounts CountGdiObjects();

}  // namespace platform

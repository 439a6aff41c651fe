/* Drawing attribute exports from C99: the copy-class face and a font's shared colour pen. */
#include <stdio.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(c) \
  do { if (!(c)) { fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); failures++; } } while (0)

int main(void) {
  static const WCHAR arial[] = {'A', 'r', 'i', 'a', 'l', 0};
  VmPen* pen = Pen_New();
  VmBrush* brush = Brush_New();
  VmPoint* point = Point_New();
  VmTextFont* a = TextFont_New();
  VmTextFont* b = TextFont_New();
  double size = 0;
  BSTR out = NULL, face = TextFont_GetFace(a, &out);

  Pen_SetWidth(pen, -5);
  Point_SetX(point, -7);
  TextFont_GetSize(a, &size);
  CHECK(Pen_GetWidth(pen) == 5 && Brush_GetTransparent(brush) != 0 && Point_GetX(point) == -7);
  CHECK(size == 10.0 && face == out && SysStringLen(face) == 5 && face[0] == 'T');
  TextFont_SetFace(a, arial); /* copy strings are the caller's; each call makes a new one */
  CHECK(face != TextFont_GetFace(a, &out) && SysStringLen(out) == 5 && out[4] == 'l');
  SysFreeString(face);
  SysFreeString(out);

  TextFont_SetColor(b, pen);
  Pen_Delete(pen); /* the font keeps the pen */
  pen = TextFont_GetColor(b);
  Pen_SetBlue(pen, 255);
  TextFont_SetColor(a, pen);
  Pen_Delete(pen);
  TextFont_Delete(b);
  pen = TextFont_GetColor(a);
  CHECK(Pen_GetBlue(pen) == 255 && Pen_GetWidth(pen) == 5);
  Pen_Delete(pen);
  TextFont_SetColor(a, NULL); /* a black pen of the font's own */
  pen = TextFont_GetColor(a);
  CHECK(pen != NULL && Pen_GetBlue(pen) == 0 && Error_ErrNum(Pen_GetErrHandle(pen)) == 0);
  Pen_Delete(pen);
  Brush_Delete(brush);
  Point_Delete(point);
  TextFont_Delete(a);
  return failures == 0 ? 0 : 1;
}

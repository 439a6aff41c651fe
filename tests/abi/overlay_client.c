/* Overlay exports from C99: shared pens, brushes and fonts, copy strings, refused values and
 * their messages, objects without a map, and null handles where the families allow them. */
#include <stdio.h>
#include <string.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(c) \
  do { if (!(c)) { fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); failures++; } } while (0)

/* The record's code, and whether its message equals text (kept string: not freed here). */
static int Reports(VmError* e, int16_t code, const char* text) {
  BSTR desc = NULL;
  size_t i, n = strlen(text);
  Error_ErrDesc(e, &desc);
  if (Error_ErrNum(e) != code || SysStringLen(desc) != n) return 0;
  for (i = 0; i < n; ++i) {
    if (desc[i] != (WCHAR)text[i]) return 0;
  }
  return 1;
}

int main(void) {
  static const WCHAR quay[] = {'Q', 'u', 'a', 'y', 0};
  VmLabel* label = Label_New();
  VmLabel* other = Label_New();
  VmLine* line = Line_New();
  VmRectangle* rect = Rectangle_New();
  VmEllipse* ellipse = Ellipse_New();
  VmIcon* icon = Icon_New();
  VmPosition* where = Position_New();
  VmPen* pen = Pen_New();
  VmPen* held;
  VmBrush* brush;
  VmTextFont* font;
  BSTR out = NULL, text = Label_GetText(label, &out);

  CHECK(text != NULL && text == out && SysStringLen(text) == 0); /* a new label has no text */
  SysFreeString(text);
  Label_SetText(label, quay);
  text = Label_GetText(label, NULL);
  CHECK(SysStringLen(text) == 4 && text[3] == 'y' && text != Label_GetText(label, &out));
  SysFreeString(text);
  SysFreeString(out);
  text = Icon_GetName(icon, NULL);
  CHECK(SysStringLen(text) == 0 && Icon_GetWidth(icon) == 0 && Icon_GetHeight(icon) == 0);
  SysFreeString(text);

  /* One pen on two labels outlives the caller's handle; changes through any handle show. */
  Pen_SetWidth(pen, 3);
  Label_SetPen(label, pen);
  Label_SetPen(other, pen);
  Pen_Delete(pen);
  held = Label_GetPen(label);
  Pen_SetRed(held, 200);
  Pen_Delete(held);
  held = Label_GetPen(other);
  CHECK(Pen_GetRed(held) == 200 && Pen_GetWidth(held) == 3);
  Pen_Delete(held);
  brush = Label_GetBrush(label); /* white, and still transparent */
  CHECK(Brush_GetRed(brush) == 255 && Brush_GetBlue(brush) == 255 && Brush_GetTransparent(brush));
  Brush_Delete(brush);
  font = Label_GetTextFont(label);
  Label_SetTextFont(other, font);
  TextFont_Delete(font);
  Label_SetTextFont(label, NULL); /* stored as none */
  CHECK(Label_GetTextFont(label) == NULL);

  /* Refused values: the old one stays, the record says why. */
  Label_SetAlignX(label, 3);
  CHECK(Reports(Label_GetErrHandle(label), 10003, "Invalid parameter!"));
  CHECK(Label_GetAlignX(label) == 0);
  Label_SetAlignY(label, 3);
  CHECK(Reports(Label_GetErrHandle(label), 0, "") && Label_GetAlignY(label) == 3);
  Line_SetPen(line, NULL);
  CHECK(Reports(Line_GetErrHandle(line), 10003, "Parameter not a valid object!"));
  held = Line_GetPen(line);
  Line_SetPen(line, held); /* taken, but the record is not cleared first */
  Pen_Delete(held);
  CHECK(Error_ErrNum(Line_GetErrHandle(line)) == 10003);
  Rectangle_SetBrush(rect, NULL);
  CHECK(Reports(Rectangle_GetErrHandle(rect), 10003, "Parameter not a valid object!"));
  Ellipse_SetPen(ellipse, NULL);
  held = Ellipse_GetPen(ellipse);
  CHECK(held != NULL && Pen_GetWidth(held) == 1 && Error_ErrNum(Ellipse_GetErrHandle(ellipse)));
  Pen_Delete(held);

  /* Without a map positions are not taken; sizes, offsets and IDs are plain fields. */
  Rectangle_SetPosition1(rect, where);
  Ellipse_SetPosition(ellipse, where);
  CHECK(Rectangle_GetPosition1(rect) == NULL && Ellipse_GetPosition(ellipse) == NULL);
  CHECK(Line_GetPosition2(line) == NULL && Icon_GetPosition(icon) == NULL);
  Rectangle_SetWidth(rect, 40);
  Ellipse_SetHeight(ellipse, -7);
  Icon_SetOffsetY(icon, -12);
  Label_SetWidth(label, 90); /* requested: a label never drawn keeps its box of 0 x 0 */
  CHECK(Rectangle_GetWidth(rect) == 40 && Ellipse_GetHeight(ellipse) == -7);
  CHECK(Icon_GetOffsetY(icon) == -12 && Label_GetWidth(label) == 0);
  Line_SetID(line, -5);
  CHECK(Line_GetID(line) == -5 && Rectangle_GetID(rect) != Ellipse_GetID(ellipse));

  CHECK(Icon_GetErrHandle(NULL) == NULL && Label_GetErrHandle(NULL) == NULL);
  CHECK(Line_GetErrHandle(NULL) == NULL && Rectangle_GetErrHandle(NULL) == NULL);
  CHECK(Ellipse_GetErrHandle(NULL) == NULL);
  Icon_Delete(NULL);
  Label_Delete(NULL);
  Line_Delete(NULL);
  Rectangle_Delete(NULL);
  Ellipse_Delete(NULL);

  Position_Delete(where);
  Icon_Delete(icon);
  Ellipse_Delete(ellipse);
  Rectangle_Delete(rect);
  Line_Delete(line);
  Label_Delete(other);
  Label_Delete(label);
  return failures == 0 ? 0 : 1;
}

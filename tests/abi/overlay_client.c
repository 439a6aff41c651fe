/* Drawing attribute and overlay exports from C99: copy strings made anew for every call, pens,
 * brushes and fonts shared across the boundary, refused values and their messages, objects
 * without a map, and IDs as signed values. Null handles go through the family frame that
 * client.c checks. */
#include <stdio.h>
#include <string.h>

#include "velmira/velmira.h"

static int failures = 0;

#define CHECK(c) \
  do { if (!(c)) { fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c); failures++; } } while (0)

/* The record's code, and whether its message equals text (kept string: not freed here). */
static int Reports(VmError* e, int16_t code, const char* text) {
  BSTR desc = NULL;
  uint32_t i = 0;
  Error_ErrDesc(e, &desc);
  while (i < SysStringLen(desc) && desc[i] == (WCHAR)(unsigned char)text[i]) ++i;
  return Error_ErrNum(e) == code && i == SysStringLen(desc) && text[i] == 0;
}

int main(void) {
  static const WCHAR arial[] = {'A', 'r', 'i', 'a', 'l', 0}, quay[] = {'Q', 'u', 'a', 'y', 0};
  VmTextFont *a = TextFont_New(), *b = TextFont_New(), *font;
  VmLabel *label = Label_New(), *other = Label_New();
  VmLine* line = Line_New();
  VmRectangle* rect = Rectangle_New();
  VmEllipse* ellipse = Ellipse_New();
  VmPosition* where = Position_New();
  VmPen *pen = Pen_New(), *held;
  double size = 0;
  BSTR out = NULL, text = TextFont_GetFace(a, &out);

  /* Copy strings: returned and stored through out, the caller's to free, new at every call. */
  TextFont_GetSize(a, &size);
  CHECK(size == 10.0 && text == out && SysStringLen(text) == 5 && text[0] == 'T'); /* Times */
  TextFont_SetFace(a, arial);
  CHECK(text != TextFont_GetFace(a, &out) && SysStringLen(out) == 5 && out[4] == 'l');
  SysFreeString(text), SysFreeString(out);
  text = Label_GetText(label, &out);
  CHECK(text != NULL && text == out && SysStringLen(text) == 0); /* a new label has no text */
  SysFreeString(text);
  Label_SetText(label, quay);
  text = Label_GetText(label, NULL);
  CHECK(SysStringLen(text) == 4 && text[3] == 'y' && text != Label_GetText(label, &out));
  SysFreeString(text), SysFreeString(out);

  /* One pen on two labels and a font outlives the caller's handle and the font that held it;
   * a change through any handle shows through the others. A font given no pen makes a black
   * one of its own. */
  Pen_SetWidth(pen, -5); /* kept as its absolute value */
  Label_SetPen(label, pen);
  Label_SetPen(other, pen);
  TextFont_SetColor(a, pen);
  TextFont_SetColor(b, pen);
  Pen_Delete(pen);
  TextFont_Delete(b);
  held = Label_GetPen(label);
  Pen_SetRed(held, 200);
  Pen_Delete(held);
  held = TextFont_GetColor(a);
  CHECK(Pen_GetRed(held) == 200 && Pen_GetWidth(held) == 5);
  Pen_Delete(held);
  held = Label_GetPen(other);
  CHECK(Pen_GetRed(held) == 200);
  Pen_Delete(held);
  TextFont_SetColor(a, NULL);
  held = TextFont_GetColor(a);
  CHECK(held != NULL && Pen_GetRed(held) == 0 && Error_ErrNum(Pen_GetErrHandle(held)) == 0);
  Pen_Delete(held);
  font = Label_GetTextFont(label);
  Label_SetTextFont(other, font);
  TextFont_Delete(font);
  Label_SetTextFont(label, NULL); /* stored as none */
  CHECK(Label_GetTextFont(label) == NULL);

  /* Refused values: the old one stays, the record says why. */
  Label_SetAlignX(label, 3);
  CHECK(Reports(Label_GetErrHandle(label), 10003, "Invalid parameter!") && Label_GetAlignX(label) == 0);
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

  /* Without a map positions are not taken; IDs cross as signed 32-bit values. */
  Rectangle_SetPosition1(rect, where);
  Ellipse_SetPosition(ellipse, where);
  CHECK(Rectangle_GetPosition1(rect) == NULL && Ellipse_GetPosition(ellipse) == NULL && Line_GetPosition2(line) == NULL);
  Line_SetID(line, -5);
  CHECK(Line_GetID(line) == -5 && Rectangle_GetID(rect) != Ellipse_GetID(ellipse));

  Position_Delete(where);
  Ellipse_Delete(ellipse);
  Rectangle_Delete(rect);
  Line_Delete(line);
  Label_Delete(other), Label_Delete(label);
  TextFont_Delete(a);
  return failures == 0 ? 0 : 1;
}

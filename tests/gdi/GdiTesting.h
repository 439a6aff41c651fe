// A fixture that checks every test gives back every drawing object it made.
#pragma once

#include <gtest/gtest.h>

#include "support/WindowCanvas.h"

namespace gditest {

using namespace platform;

class GdiTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(CountGdiObjects().Total(), 0) << "drawing objects left"; }
};

// A window to draw in; pixels are read the way an application reads them.
using Canvas = testsupport::WindowCanvas;

// An object selected into a context for a scope, then deselected and deleted.
struct Selected {
  Selected(HDC dc, HGDIOBJ object) : Dc(dc), Object(object), Previous(SelectObject(dc, object)) {}
  ~Selected() {
    SelectObject(Dc, Previous);
    DeleteObject(Object);
  }
  HDC Dc;
  HGDIOBJ Object, Previous;
};

}  // namespace gditest

// Polyline, Rectangle and Ellipse with the selected pen and brush.
//
// Pixel rules (a point (x, y) names the pixel whose centre it is):
// - One-pixel pens (width 0 or 1): a segment lights one pixel per step along its longer
//   axis, from its first point up to but not including its last; the other coordinate is
//   the line's exact value rounded to the nearest integer, halves toward the smaller one.
//   So a polyline leaves its last point out, and a segment of length 0 draws nothing.
// - Wider pens (width w): a segment lights the pixels whose sample point, a quarter pixel
//   right of and below the centre, lies closer than w / 2 to it, so ends and joins are
//   round and a horizontal or vertical segment covers exactly w rows or columns (the extra
//   one of an even width falling above or left). The whole path is drawn, ends included.
// - Rectangle (l, t, r, b), after ordering each pair: empty when l = r or t = b. The right and
//   bottom edges are exclusive (Wine writes the same rule as rect.right--, rect.bottom--):
//   the outline path runs through the pixels l, r - 1, t and b - 1; a one-pixel pen lights
//   exactly those, a wider pen is centred on them. The brush fills l + 1 .. r - 2 by
//   t + 1 .. b - 2 before the outline is drawn.
// - Ellipse (l, t, r, b): the path is the ellipse through the centres of the box's outermost
//   pixels, l .. r - 1 by t .. b - 1. With pen width w (1 for 0) the outer ellipse has
//   semi-axes (r - l - 1 + w) / 2 and (b - t - 1 + w) / 2 about the path's centre; a pixel
//   belongs to it when its centre lies inside or on it. A one-pixel pen lights the outer
//   pixels that have a 4-neighbour outside; a wider pen lights the outer pixels that are not
//   inside or on the inner ellipse (semi-axes reduced by w instead). The brush fills the
//   outer pixels the pen leaves.
// All tests are exact integer arithmetic; coordinates beyond +/-2^27 are refused so that
// they fit in 128 bits.
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "platform/GdiObjects.h"

namespace platform {
namespace {

using Wide = __int128;

constexpr int64_t CoordinateLimit = int64_t{1} << 27;

bool InRange(int64_t v) { return v >= -CoordinateLimit && v <= CoordinateLimit; }

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The nearest integer to num / den, halves toward the smaller integer.
int64_t RoundHalfDown(int64_t num, int64_t den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  return FloorDiv(2 * num + den - 1, 2 * den);
}

// One-pixel pen: the segment from a up to but not including b.
void ThinSegment(PixelSurface& s, uint32_t value, POINT a, POINT b) {
  int64_t dx = int64_t{b.x} - a.x, dy = int64_t{b.y} - a.y;
  if (dx == 0 && dy == 0) return;
  bool alongX = std::abs(dx) >= std::abs(dy);
  int64_t major0 = alongX ? a.x : a.y, dMajor = alongX ? dx : dy;
  int64_t minor0 = alongX ? a.y : a.x, dMinor = alongX ? dy : dx;
  int64_t last = major0 + dMajor - (dMajor > 0 ? 1 : -1);  // the end point is left out
  int64_t lo = std::min(major0, last), hi = std::max(major0, last);
  int64_t extent = alongX ? s.Width : s.Height;
  lo = std::max<int64_t>(lo, 0);
  hi = std::min<int64_t>(hi, extent - 1);
  for (int64_t m = lo; m <= hi; ++m) {
    int64_t n = minor0 + RoundHalfDown((m - major0) * dMinor, dMajor);
    int64_t x = alongX ? m : n, y = alongX ? n : m;
    if (x >= 0 && y >= 0 && x < s.Width && y < s.Height) {
      s.FillSpan(static_cast<int32_t>(y), x, x, value);
    }
  }
}

// Wide pen: the pixels near one segment, in coordinates scaled by 4 so the quarter-pixel
// sample point is an integer.
struct Capsule {
  int64_t Ax, Ay, Bx, By;  // ends, pixel coordinates
  int64_t PenWidth;

  bool Contains(int64_t x, int64_t y) const {
    Wide px = 4 * x + 1 - 4 * Ax, py = 4 * y + 1 - 4 * Ay;
    Wide dx = 4 * (Bx - Ax), dy = 4 * (By - Ay);
    Wide r2 = Wide{2 * PenWidth} * (2 * PenWidth);  // (w / 2)^2, scaled by 16
    Wide along = px * dx + py * dy, length2 = dx * dx + dy * dy;
    if (length2 == 0 || along <= 0) return px * px + py * py < r2;
    if (along >= length2) {
      Wide qx = px - dx, qy = py - dy;
      return qx * qx + qy * qy < r2;
    }
    Wide cross = dx * py - dy * px;
    return cross * cross < r2 * length2;
  }
};

void WideSegment(PixelSurface& s, uint32_t value, const Capsule& c) {
  int64_t top = std::max<int64_t>(std::min(c.Ay, c.By) - c.PenWidth, 0);
  int64_t bottom = std::min<int64_t>(std::max(c.Ay, c.By) + c.PenWidth, s.Height - 1);
  int64_t outLeft = std::min(c.Ax, c.Bx) - c.PenWidth - 1;  // surely outside
  int64_t outRight = std::max(c.Ax, c.Bx) + c.PenWidth + 1;
  for (int64_t y = top; y <= bottom; ++y) {
    // The segment's point nearest to this row's sample line; the row's pixels inside form
    // one run around it, whose ends a binary search finds.
    double nearest = 0.5 * static_cast<double>(c.Ax + c.Bx);
    if (c.Ay != c.By) {
      double t = std::clamp((static_cast<double>(y) + 0.25 - static_cast<double>(c.Ay)) /
                                static_cast<double>(c.By - c.Ay),
                            0.0, 1.0);
      nearest = static_cast<double>(c.Ax) + t * static_cast<double>(c.Bx - c.Ax);
    }
    int64_t guess = static_cast<int64_t>(std::floor(nearest - 0.25));
    std::optional<int64_t> seed;
    for (int64_t x : {guess, guess + 1, guess - 1, guess + 2}) {
      if (c.Contains(x, y)) {
        seed = x;
        break;
      }
    }
    if (!seed) continue;
    int64_t lo = outLeft, hi = *seed;  // lo outside, hi inside
    while (hi - lo > 1) {
      int64_t mid = lo + (hi - lo) / 2;
      (c.Contains(mid, y) ? hi : lo) = mid;
    }
    int64_t left = hi;
    lo = *seed;  // inside
    hi = outRight;
    while (hi - lo > 1) {
      int64_t mid = lo + (hi - lo) / 2;
      (c.Contains(mid, y) ? lo : hi) = mid;
    }
    s.FillSpan(static_cast<int32_t>(y), left, lo, value);
  }
}

void Segment(PixelSurface& s, uint32_t value, int32_t penWidth, POINT a, POINT b) {
  if (penWidth <= 1) {
    ThinSegment(s, value, a, b);
  } else {
    WideSegment(s, value, {a.x, a.y, b.x, b.y, penWidth});
  }
}

// An ellipse given by doubled centre and doubled semi-axes, so all are integers.
struct EllipseShape {
  int64_t Cx2, Cy2, A2, B2;

  // The columns of row y inside or on the ellipse.
  std::optional<std::pair<int64_t, int64_t>> Span(int64_t y) const {
    if (A2 <= 0 || B2 <= 0) return std::nullopt;
    Wide yy = 2 * y - Cy2, b2 = Wide{B2} * B2;
    if (yy * yy > b2) return std::nullopt;
    // Largest X with X^2 B^2 <= A^2 (B^2 - Y^2), in doubled units.
    Wide limit = Wide{A2} * A2 * (b2 - yy * yy) / b2;
    auto root = static_cast<int64_t>(std::sqrt(static_cast<double>(limit)));
    while (Wide{root} * root > limit) --root;
    while (Wide{root + 1} * (root + 1) <= limit) ++root;
    // x = (X + Cx2) / 2 must be whole: the range's ends round inwards.
    int64_t left = -FloorDiv(root - Cx2, 2), right = FloorDiv(Cx2 + root, 2);
    if (left > right) return std::nullopt;
    return std::make_pair(left, right);
  }
};

struct Box {
  int64_t Left, Top, Right, Bottom;  // right and bottom exclusive, ordered, not empty
};

// Orders each pair; nullopt when a coordinate is out of range, an empty box when l = r or
// t = b.
std::optional<Box> Order(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!InRange(left) || !InRange(top) || !InRange(right) || !InRange(bottom)) return std::nullopt;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  return Box{left, top, right, bottom};
}

void DrawEllipse(PixelSurface& s, const GdiPen& pen, const GdiBrush& brush, const Box& b) {
  int64_t w = std::max(pen.Width, 1);
  EllipseShape outer{b.Left + b.Right - 1, b.Top + b.Bottom - 1, b.Right - b.Left - 1 + w,
                     b.Bottom - b.Top - 1 + w};
  EllipseShape inner{outer.Cx2, outer.Cy2, b.Right - b.Left - 1 - w, b.Bottom - b.Top - 1 - w};
  uint32_t penValue = s.ValueOf(pen.Colour), brushValue = s.ValueOf(brush.Colour);
  int64_t top = std::max<int64_t>(b.Top - w, 0),
          bottom = std::min<int64_t>(b.Bottom + w, s.Height - 1);
  for (int64_t y = top; y <= bottom; ++y) {
    auto row = outer.Span(y);
    if (!row) continue;
    // The pixels the pen leaves: inside the inner ellipse, or for a one-pixel pen those
    // whose four neighbours are all in the outer one.
    std::optional<std::pair<int64_t, int64_t>> rest;
    if (w == 1) {
      auto above = outer.Span(y - 1), below = outer.Span(y + 1);
      if (above && below) {
        int64_t l = std::max({row->first + 1, above->first, below->first});
        int64_t r = std::min({row->second - 1, above->second, below->second});
        if (l <= r) rest = std::make_pair(l, r);
      }
    } else {
      rest = inner.Span(y);
    }
    int32_t yy = static_cast<int32_t>(y);
    if (!rest) {
      s.FillSpan(yy, row->first, row->second, penValue);
      continue;
    }
    if (!brush.Hollow) s.FillSpan(yy, rest->first, rest->second, brushValue);
    s.FillSpan(yy, row->first, rest->first - 1, penValue);
    s.FillSpan(yy, rest->second + 1, row->second, penValue);
  }
}

void DrawRectangle(PixelSurface& s, const GdiPen& pen, const GdiBrush& brush, const Box& b) {
  int64_t l = b.Left, t = b.Top, r = b.Right - 1, bt = b.Bottom - 1;  // the outline's pixels
  if (!brush.Hollow) {
    uint32_t value = s.ValueOf(brush.Colour);
    for (int64_t y = std::max<int64_t>(t + 1, 0); y <= std::min<int64_t>(bt - 1, s.Height - 1);
         ++y) {
      s.FillSpan(static_cast<int32_t>(y), l + 1, r - 1, value);
    }
  }
  uint32_t value = s.ValueOf(pen.Colour);
  if (pen.Width > 1) {
    const int64_t corners[5][2] = {{l, t}, {r, t}, {r, bt}, {l, bt}, {l, t}};
    for (int i = 0; i < 4; ++i) {
      WideSegment(s, value,
                  {corners[i][0], corners[i][1], corners[i + 1][0], corners[i + 1][1], pen.Width});
    }
    return;
  }
  for (int64_t y = std::max<int64_t>(t, 0); y <= std::min<int64_t>(bt, s.Height - 1); ++y) {
    int32_t yy = static_cast<int32_t>(y);
    if (y == t || y == bt) {
      s.FillSpan(yy, l, r, value);
    } else {
      s.FillSpan(yy, l, l, value);
      s.FillSpan(yy, r, r, value);
    }
  }
}

}  // namespace

bool Polyline(HDC dc, const POINT* points, int32_t count) {
  VmDeviceContext* c = FindDc(dc);
  if (c == nullptr || points == nullptr || count < 2) return false;
  for (int32_t i = 0; i < count; ++i) {
    if (!InRange(points[i].x) || !InRange(points[i].y)) return false;
  }
  PixelSurface& s = c->Target();
  if (s.Empty()) return true;
  uint32_t value = s.ValueOf(c->Pen->Colour);
  for (int32_t i = 0; i + 1 < count; ++i)
    Segment(s, value, c->Pen->Width, points[i], points[i + 1]);
  return true;
}

bool Rectangle(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  VmDeviceContext* c = FindDc(dc);
  std::optional<Box> box = Order(left, top, right, bottom);
  if (c == nullptr || !box) return false;
  PixelSurface& s = c->Target();
  if (!s.Empty() && box->Left < box->Right && box->Top < box->Bottom) {
    DrawRectangle(s, *c->Pen, *c->Brush, *box);
  }
  return true;
}

bool Ellipse(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  VmDeviceContext* c = FindDc(dc);
  std::optional<Box> box = Order(left, top, right, bottom);
  if (c == nullptr || !box) return false;
  PixelSurface& s = c->Target();
  if (!s.Empty() && box->Left < box->Right && box->Top < box->Bottom) {
    DrawEllipse(s, *c->Pen, *c->Brush, *box);
  }
  return true;
}

}  // namespace platform

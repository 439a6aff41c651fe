// Plain complex arithmetic for the New Zealand Map Grid series: (re, im) pairs with add,
// multiply, divide and scale, and no special handling of infinities.
#pragma once

namespace velmira {

struct Complex {
  double Re = 0.0;
  double Im = 0.0;
};

constexpr Complex operator+(Complex x, Complex y) { return {x.Re + y.Re, x.Im + y.Im}; }
constexpr Complex operator*(Complex x, Complex y) {
  return {x.Re * y.Re - x.Im * y.Im, x.Re * y.Im + x.Im * y.Re};
}
constexpr Complex operator*(double k, Complex x) { return {k * x.Re, k * x.Im}; }
constexpr Complex operator/(Complex x, Complex y) {
  const double d = y.Re * y.Re + y.Im * y.Im;
  return {(x.Re * y.Re + x.Im * y.Im) / d, (x.Im * y.Re - x.Re * y.Im) / d};
}

}  // namespace velmira

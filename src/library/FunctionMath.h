// Conversions between reals and text as the script functions write and read them. They never
// depend on the locale: the decimal separator is always ".".
#pragma once

#include <string>
#include <string_view>

namespace kr {

// The text string(x) gives for a real: an integral value as an integer without a point ("3",
// "-12"), any other value with two decimals and at most ten significant digits ("0.33",
// "2.50"); values with more than ten digits before the point in exponent form ("1.2345E+12").
std::string RealToString(double x);

// x in fixed notation with `decimals` decimals (clamped to 0..18) and at most `precision`
// significant digits, rounded half away from zero; exponent form when the integer part has more
// than `precision` digits. "NAN", "INF" and "-INF" for the values that have no digits.
std::string FormatFixed(double x, int precision, int decimals);

// Parses text as real() reads it: surrounding blanks and control characters are ignored, the
// empty text is 0, otherwise an optional sign, digits with an optional point and an optional
// exponent. False when the text is no number or its value overflows.
bool ParseReal(std::string_view text, double& out);

}  // namespace kr

#pragma once
// The program's number formats for every text it writes.

#include <string>

namespace korvel {

// E(w), w >= 10: sign character (blank or "-"), one digit, ".", w - 9 digits, "E",
// exponent sign and four exponent digits; w - 8 significant digits, rounded
// (clamped to 2 .. 18). Infinite values give "+Inf"/"-Inf", NaN "Nan", right-aligned.
std::string FormatE(double value, int width = 23);
// F(w.d): fixed point with d decimals, "-" for negative values, right-aligned in w.
std::string FormatF(double value, int width, int decimals);
// I(n): decimal integer right-aligned in at least n characters (0: no padding).
std::string FormatI(long long value, int width = 0);

// The same texts appended to `out`: long texts (a curve of 65535 points) are built
// in one reserved string without a temporary per number.
void AppendE(std::string& out, double value, int width = 23);
void AppendF(std::string& out, double value, int width, int decimals);
void AppendI(std::string& out, long long value, int width = 0);

// E(w) written in place at `out`, which has room for MaxLengthE(width) characters;
// returns the end of the text. Fixed-layout texts of many numbers (a curve file) are
// built in a buffer sized once.
char* WriteE(char* out, double value, int width);
int MaxLengthE(int width);

// Line end of every file the program writes.
inline constexpr const char* kLineEnd = "\r\n";

}  // namespace korvel

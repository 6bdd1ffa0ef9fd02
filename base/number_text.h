// Decimal text of a number as the number labels show it. Platform-free.
#pragma once

constexpr int WT_NUMBER_TEXT_SIZE = 100;
constexpr int WT_MAX_PRECISION = 8;

// "inf", "-inf" or "nan" (never with a sign) for a value that is not finite, else null.
const char *wt_non_finite_text(double value);

// Fixed-point with precision decimals (below 0 as 0, above 8 as 8); "inf", "-inf" and "nan"
// for values that are not finite. A value whose fixed-point text would not fit is written in
// exponent form with the same precision. Returns text.
char *wt_format_number(char (&text)[WT_NUMBER_TEXT_SIZE], double value, int precision);

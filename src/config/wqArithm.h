// wqArithm: small numeric helpers and the installer's integer text rule.
#ifndef TARV_CONFIG_WQARITHM_H
#define TARV_CONFIG_WQARITHM_H

#include "config/wqString.h"

// value in `base` (2..36), digits 0-9 then A-Z, zero-padded to `width`
// (never cut); 0 gives "0" before padding; a negative value gives "".
TStr IntToBase(long value, int width, int base);

// The integer rule of every configuration value: leading spaces (code 32
// only), then an optional sign and decimal digits, or "$" and up to eight
// significant hexadecimal digits taken as a 32-bit pattern; nothing after the
// digits. Decimal values must fit 32 bits signed. False when the text does not
// convert; `value` is then untouched.
bool TextToInt(const TStr& text, long& value);
// TextToInt with a default for text that does not convert.
long TextToIntDef(const TStr& text, long fallback);

// num / den taken to the nearest integer, a half to the even neighbour
// (1536 / 1024 gives 2, 2560 / 1024 gives 2, 1535 / 1024 gives 1): the
// rounding of the free-space checks (bytes against KiB) and of progress
// positions. Exact in 64-bit integers; 0 when den is 0.
unsigned long long DivRoundHalfEven(unsigned long long num, unsigned long long den);
// The percentage part / whole, rounded the same way; 0 when whole is 0.
int PercentHalfEven(unsigned long long part, unsigned long long whole);

#endif

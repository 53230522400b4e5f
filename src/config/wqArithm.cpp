#include "config/wqArithm.h"

TStr IntToBase(long value, int width, int base) {
    if (value < 0 || base < 2 || base > 36) return TStr();
    char digits[40];
    int n = (int)sizeof digits;
    unsigned long v = (unsigned long)value;
    do {
        int d = (int)(v % (unsigned)base);
        digits[--n] = (char)(d < 10 ? '0' + d : 'A' + d - 10);
        v /= (unsigned)base;
    } while (v);
    TStr out;
    for (int have = (int)sizeof digits - n; have < width; ++have) out += '0';
    out.append(digits + n, sizeof digits - (size_t)n);
    return out;
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool TextToInt(const TStr& text, long& value) {
    size_t i = 0, n = text.length();
    while (i < n && text[i] == ' ') ++i;
    if (i < n && text[i] == '$') {
        unsigned long pattern = 0;
        int significant = 0;
        size_t first = ++i;
        for (; i < n; ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) return false;
            if (significant || d) ++significant;
            if (significant > 8) return false;
            pattern = (pattern << 4) | (unsigned)d;
        }
        if (i == first) return false;
        value = (long)(int)(unsigned)pattern;  // the 32-bit pattern, $FFFFFFFF is -1
        return true;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == n) return false;
    unsigned long long magnitude = 0;  // at most 2^31 * 10 + 9: fits 64 bits
    const unsigned long long limit = negative ? 2147483648ULL : 2147483647ULL;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (unsigned)(text[i] - '0');
        if (magnitude > limit) return false;
    }
    value = negative ? (long)(0 - (long long)magnitude) : (long)magnitude;
    return true;
}

long TextToIntDef(const TStr& text, long fallback) {
    long value;
    return TextToInt(text, value) ? value : fallback;
}

unsigned long long DivRoundHalfEven(unsigned long long num, unsigned long long den) {
    if (den == 0) return 0;
    unsigned long long quotient = num / den, rest = num % den;
    // Compared without forming 2 * rest, which could overflow.
    if (rest > den - rest || (rest == den - rest && (quotient & 1))) ++quotient;
    return quotient;
}

int PercentHalfEven(unsigned long long part, unsigned long long whole) {
    if (whole == 0) return 0;
    if (part >= whole) return 100;
    // part < whole, so part * 100 overflows only for parts above 2^57:
    // scale both down first then (a precision far below one percent).
    while (part > (~0ull) / 100) {
        part >>= 1;
        whole >>= 1;
    }
    return (int)DivRoundHalfEven(part * 100, whole);
}

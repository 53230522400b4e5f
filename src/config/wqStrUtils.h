// wqStrUtils: text functions of the script, configuration and dialog code.
//
// Positions are 1-based and 0 means "not found", as in the script language.
// Everything here is pure text work, except the three functions at the end,
// which measure text on a device context (Windows builds only).
#ifndef TARV_CONFIG_WQSTRUTILS_H
#define TARV_CONFIG_WQSTRUTILS_H

#include "config/wqString.h"

// A set of 8-bit characters, used as word or field delimiters.
class TCharSet {
public:
    TCharSet() { Clear(); }
    explicit TCharSet(const char* members);
    void Clear();
    void Add(unsigned char c) { bits_[c >> 5] |= 1u << (c & 31); }
    bool Has(unsigned char c) const { return (bits_[c >> 5] >> (c & 31)) & 1; }
private:
    unsigned bits_[8];
};

// Every occurrence of `search`, left to right without overlap; the replacement
// is not searched again; case-sensitive; an empty search changes nothing.
TStr ReplaceAllText(const TStr& text, const TStr& search, const TStr& replacement);
TStr DeleteChars(const TStr& text, char c);
// Fill characters in front until the text is `width` long (never cut).
TStr PadLeft(char fill, const TStr& text, int width);
TStr LeftText(const TStr& text, int n);
TStr RightText(const TStr& text, int n);
// Text before / after the first occurrence of c (whole text / empty if absent).
TStr TextBefore(const TStr& text, char c);
TStr TextAfter(const TStr& text, char c);
inline TStr NamePart(const TStr& text) { return TextBefore(text, '='); }
inline TStr ValuePart(const TStr& text) { return TextAfter(text, '='); }
// Removes one level of quoting: a doubled quote inside stands for one, text
// after the closing quote is dropped. Unquoted text comes back unchanged.
TStr Unquote(const TStr& text, char quote);
// Position of the first "*" (0 if none); when found, text is cut before it.
int CutAtStar(TStr& text);

// Words are maximal runs of characters outside the delimiter set; runs of
// delimiters count as one and produce no empty words.
int CountWords(const TStr& text, const TCharSet& delims);
int WordStart(int n, const TStr& text, const TCharSet& delims);
TStr GetWord(int n, const TStr& text, const TCharSet& delims);
// Fields: every single delimiter outside double quotes ends a field, so empty
// fields exist; the quotes stay in the result.
TStr GetField(int n, const TStr& text, const TCharSet& delims);

// First position of the pattern in the text, "?" matching any one character.
int PosWithWildcard(const TStr& pattern, const TStr& text);
// File-name mask match: "*" any run, "?" one character; "." is ordinary, so
// "*.*" does not match a name without a dot.
bool MaskMatch(const TStr& name, const TStr& mask, bool ignoreCase);

// Breaks text into lines no wider than `width`, joined by "\r\n"; a single
// word is never broken. `measure` gives a candidate line's width in pixels.
typedef int (*TTextWidthFunc)(void* context, const TStr& text);
TStr WrapText(const TStr& text, int width, TTextWidthFunc measure, void* context);

#ifdef _WIN32
#include <windows.h>
SIZE TextExtentOnDC(HDC dc, const TStr& text);
SIZE TextExtentOfWindow(HWND window, const TStr& text);
TStr WrapToWidth(HDC dc, const TStr& text, int width);
#endif

#endif

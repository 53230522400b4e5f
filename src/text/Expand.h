// Expand: the core of variable expansion, over any table of Name=Value items.
//
// Kept free of Windows headers so that it can be tested and fuzzed natively;
// Common wraps it around the run's variable table and reports a runaway
// reference to the user.
#ifndef TARV_TEXT_EXPAND_H
#define TARV_TEXT_EXPAND_H

#include <stddef.h>

#include "config/wqString.h"

// More passes than this, and the reference is taken to run away.
const int kMaxExpandPasses = 100;
// A replacement that would make the text longer than this (and longer than
// it already is) runs away as well: a definition such as X=%X%%X% doubles the
// text at every pass and would otherwise exhaust memory long before the
// pass limit.
const size_t kMaxExpandedLength = 1024 * 1024;

// Expands `text` against `table`:
// 1. every "||" becomes a carriage return (left to right, no overlap);
// 2. passes: in each, every item of the table in order replaces every
//    occurrence of "%" + name + "%" by its value (case-sensitive; the name is
//    the text before the item's first "="), each item working on the text the
//    previous one left; the passes stop when one leaves the text as it found
//    it. A text without "%" costs one pass.
// Returns true with the expanded text in `result`; false when the reference
// runs away (a 101st pass, or the length bound above), and `result` is then
// the text of step 1.
bool ExpandText(const TStr& text, const TStrList& table, TStr& result);

#endif

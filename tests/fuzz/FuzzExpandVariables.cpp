// Fuzzes the expansion with an arbitrary table and text: no crash, no hang,
// and the properties the callers rely on hold.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "config/wqStrUtils.h"
#include "text/Expand.h"

namespace {

// The input is the table's items, one per line, then a NUL byte, then the text.
void Split(const uint8_t* data, size_t size, TStrList& table, TStr& text) {
    const char* p = (const char*)data;
    const char* nul = (const char*)memchr(p, 0, size);
    const char* tableEnd = nul ? nul : p + size;
    for (const char* line = p; line < tableEnd;) {
        const char* eol = (const char*)memchr(line, '\n', (size_t)(tableEnd - line));
        if (!eol) eol = tableEnd;
        table.Add(TStr(line, (size_t)(eol - line)));
        line = eol + 1;
    }
    if (nul) text = TStr(nul + 1, size - (size_t)(nul + 1 - p));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TStrList table;
    TStr text;
    Split(data, size, table, text);

    TStr result;
    bool ok = ExpandText(text, table, result);

    size_t bound = text.length() > kMaxExpandedLength ? text.length() : kMaxExpandedLength;
    if (result.length() > bound) abort();
    bool plain = text.find('%') < 0 && text.find(TStr("||")) < 0;
    if (plain && (!ok || result != text)) abort();
    if (!ok && result != ReplaceAllText(text, "||", "\r")) abort();
    // A result is where a pass changed nothing, so expanding it again (when
    // no "||" is left to turn into a line break) gives it back.
    if (ok && result.find(TStr("||")) < 0) {
        TStr again;
        if (!ExpandText(result, table, again) || again != result) abort();
    }
    return 0;
}

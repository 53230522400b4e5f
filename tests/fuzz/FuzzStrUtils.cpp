// Fuzzes the word, field and mask functions with arbitrary texts and
// delimiter sets: no crash, no hang, the word functions agree, a found
// pattern matches as a mask there, and replacing a text by itself changes nothing.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "config/wqStrUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    TCharSet delims;
    for (int i = 0; i < (data[0] & 3) + 1; ++i) delims.Add(data[1 + i % 2]);
    size_t split = size > 4 ? 3 + data[2] % (size - 3) : 3;
    TStr first((const char*)data + 3, split - 3);
    TStr second((const char*)data + split, size - split);

    int words = CountWords(second, delims);
    for (int n = 0; n <= words + 1; ++n) {
        TStr word = GetWord(n, second, delims);
        int start = WordStart(n, second, delims);
        bool inRange = n >= 1 && n <= words;
        if (inRange != (start > 0) || (inRange && word.empty())) abort();
        GetField(n, second, delims);
    }
    if (!MaskMatch(second, "*", false)) abort();
    MaskMatch(second, first, (data[0] & 4) != 0);
    int at = PosWithWildcard(first, second);
    if (at > 0 && first.find('*') < 0 && !MaskMatch(second.substr((size_t)at - 1, first.length()), first, false))
        abort();
    if (ReplaceAllText(second, first, first) != second) abort();
    Unquote(second, '"');
    return 0;
}

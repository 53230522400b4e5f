// Fuzzes the INI syntax: any bytes, under any options, fed in pieces of any
// size, must load, write back, and load again to the same sections.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "config/wqIniText.h"

static void Load(TSectionList& sections, const TIniOptions& options, const char* data, size_t size,
                 size_t piece) {
    TIniLoader loader(sections, options);
    for (size_t at = 0; at < size; at += piece) loader.Feed(data + at, size - at < piece ? size - at : piece);
    loader.Finish();
    sections.RemoveDuplicateSections();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const TIniOptions options = {(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0,
                                 (data[0] & 8) != 0, (data[0] & 16) != 0};
    size_t piece = data[1] ? data[1] : 1;
    const char* text = (const char*)data + 2;
    size = size - 2;

    TSectionList sections;
    Load(sections, options, text, size, piece);
    // After the duplicates went, every section is found at its own place.
    for (int s = 0; s < sections.Count(); ++s)
        if (sections.IndexOf(sections.Name(s)) != s) abort();

    // Written back and read again under the same options, a document must
    // give the same layout: the write-back is stable. Quote stripping is the
    // one rule that is not (each read removes one more pair), and a stored
    // line shaped like a header (a trailing blank trimmed after the header
    // test) becomes one on the way back, as a line trimmed to nothing
    // disappears; these are left out.
    if (options.StripQuotes) return 0;
    for (int s = 0; s < sections.Count(); ++s)
        for (int i = 0; i < sections.Lines(s).Count(); ++i) {
            const TStr& line = sections.Lines(s)[i];
            if (line[0] == '[' && line.last() == ']') return 0;
            if (line.empty() || line == "\x1A") return 0;  // trimmed down to "empty"
        }
    TStr written = IniLayout(sections);
    TSectionList again;
    Load(again, options, written.c_str(), written.length(), piece);
    if (!(IniLayout(again) == written)) abort();
    return 0;
}

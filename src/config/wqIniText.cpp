#include "config/wqIniText.h"

#include <stdlib.h>
#include <string.h>

// ---- TSectionList ----

TSectionList::~TSectionList() {
    Clear();
    free(lines_);
}

int TSectionList::Add(const TStr& name) {
    size_t n = (size_t)names_.Count();
    if (n == cap_) {
        size_t grown = cap_ < 8 ? 8 : cap_ * 2;
        TStrList** p = (TStrList**)realloc(lines_, grown * sizeof(TStrList*));
        if (!p) OutOfMemory();
        lines_ = p;
        cap_ = grown;
    }
    lines_[n] = new TStrList();
    names_.Add(name);
    return (int)n;
}

void TSectionList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    delete lines_[index];
    memmove(lines_ + index, lines_ + index + 1, (size_t)(Count() - index - 1) * sizeof(TStrList*));
    names_.Delete(index);
}

void TSectionList::Clear() {
    while (Count() > 0) Delete(Count() - 1);
    LastFound = 0;
}

int TSectionList::IndexOf(const TStr& name) {
    int n = Count();
    if (n == 0) return -1;
    int start = LastFound >= 0 && LastFound < n ? LastFound : 0;
    for (int k = 0; k < n; ++k) {
        int i = (start + k) % n;
        if (SameText(names_[i], name)) return LastFound = i;
    }
    return -1;
}

bool TSectionList::RemoveDuplicateSections() {
    int n = Count();
    if (n < 2) return false;
    // Open-addressing table of first occurrences: linear in the number of
    // sections, so a file with 100,000 sections loads in time.
    size_t slots = 16;
    while (slots < (size_t)n * 2) slots *= 2;
    int* table = (int*)malloc(slots * sizeof(int));
    char* discard = (char*)calloc((size_t)n, 1);
    if (!table || !discard) OutOfMemory();
    for (size_t s = 0; s < slots; ++s) table[s] = -1;
    bool any = false;
    for (int i = 0; i < n; ++i) {
        size_t s = HashText(names_[i].c_str(), names_[i].length(), true) & (slots - 1);
        while (table[s] >= 0 && !SameText(names_[table[s]], names_[i])) s = (s + 1) & (slots - 1);
        if (table[s] < 0)
            table[s] = i;
        else
            discard[i] = any = true;
    }
    for (int i = n - 1; i >= 0; --i)
        if (discard[i]) Delete(i);
    free(table);
    free(discard);
    return any;
}

// ---- Loading ----

static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Removes the blanks and tabs before and after the first "=" (the name keeps
// blanks at its start; a line that then starts with "=" keeps its value).
static void TrimAroundEquals(TStr& line) {
    long eq = line.find('=');
    if (eq < 1) return;
    size_t before = 0;
    while ((size_t)eq > before && IsBlank(line[(size_t)eq - 1 - before])) ++before;
    line.erase((size_t)eq - before, before);
    eq -= (long)before;
    if (eq < 1) return;
    size_t after = 0;
    while ((size_t)eq + 1 + after < line.length() && IsBlank(line[(size_t)eq + 1 + after])) ++after;
    line.erase((size_t)eq + 1, after);
}

static void TrimControlTail(TStr& line) {
    size_t n = line.length();
    while (n > 0 && (unsigned char)line[n - 1] < 33) --n;
    line.resize(n);
}

// One pair of matching quotes around the value goes; quotes inside stay.
static void StripValueQuotes(TStr& line) {
    long eq = line.find('=');
    if (eq < 1 || line.length() - (size_t)eq - 1 < 2) return;
    char open = line[(size_t)eq + 1];
    if ((open != '"' && open != '\'') || line.last() != open) return;
    line.resize(line.length() - 1);
    line.erase((size_t)eq + 1);
}

bool TIniLoader::ShapeKeyLine(TStr& line, const TIniOptions& options) {
    if (options.TrimEquals) TrimAroundEquals(line);
    if (options.TrimTrailing) TrimControlTail(line);
    if (options.StripQuotes) StripValueQuotes(line);
    return !options.SkipNoEquals || line.find('=') >= 0;
}

void TIniLoader::TakeLine() {
    TStr line = static_cast<TStr&&>(pending_);
    pending_ = TStr();
    if (line == "\x1A") return;  // an end-of-file mark alone counts as empty
    if (options_.StripComments && line[0] == ';') return;
    if (line.empty()) return;
    if (line[0] == '[' && line.last() == ']' && line.length() >= 2) {
        current_ = target_.Add(line.substr(1, line.length() - 2));
        return;
    }
    if (!ShapeKeyLine(line, options_) || current_ < 0) return;
    target_.Lines(current_).Add(line);
}

size_t TakeLineText(const char* data, size_t count, TStr& line, bool& ended) {
    const char* cr = (const char*)memchr(data, '\r', count);
    size_t used = cr ? (size_t)(cr - data) : count;
    size_t start = 0;
    for (const char* lf; (lf = (const char*)memchr(data + start, '\n', used - start));) {
        line.append(data + start, (size_t)(lf - data) - start);
        start = (size_t)(lf - data) + 1;
    }
    line.append(data + start, used - start);
    ended = cr != nullptr;
    return ended ? used + 1 : used;
}

void TIniLoader::Feed(const char* data, size_t count) {
    while (count > 0) {
        bool ended;
        size_t used = TakeLineText(data, count, pending_, ended);
        if (ended) TakeLine();
        data += used;
        count -= used;
    }
}

void TIniLoader::Finish() {
    if (!pending_.empty()) TakeLine();
}

// ---- Writing ----

TStr IniLayout(const TSectionList& sections) {
    TStr out;
    for (int s = 0; s < sections.Count(); ++s) {
        const TStrList& lines = sections.Lines(s);
        if (lines.Count() == 0) continue;
        out += "[";
        out += sections.Name(s);
        out += "]\r\n";
        for (int i = 0; i < lines.Count(); ++i) {
            out += lines[i];
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

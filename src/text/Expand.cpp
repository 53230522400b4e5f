#include "text/Expand.h"

#include <string.h>

#include "config/wqStrUtils.h"

namespace {

// Which names can possibly occur in a text, so that a table of hundreds of
// variables does not cost hundreds of searches through the text per pass.
//
// An occurrence of "%" + name + "%" starts at a "%" of the text, and the
// name's characters up to its own first "%" (all of it, usually) then run to
// the very next "%" of the text. So the text's spans between neighbouring
// "%" signs hold the first segment of every name that occurs; a name whose
// first segment is not among them cannot occur. The spans are kept as bits
// of their hashes: a hit may be false (the real search then finds nothing),
// a miss never is.
class TSpanFilter {
public:
    void Build(const TStr& text) {
        const char* p = text.c_str();
        const char* end = p + text.length();
        size_t percents = 0;
        for (const char* q = p; (q = (const char*)memchr(q, '%', (size_t)(end - q))); ++q) ++percents;
        size_t bitCount = 64;
        while (bitCount / 16 < percents) bitCount *= 2;  // ~1/16 false hits
        mask_ = bitCount - 1;
        bits_.clear();
        bits_.resize(bitCount / 8);  // zero-filled
        const char* prev = (const char*)memchr(p, '%', text.length());
        while (prev) {
            const char* next = (const char*)memchr(prev + 1, '%', (size_t)(end - prev - 1));
            if (!next) break;
            Set(HashText(prev + 1, (size_t)(next - prev - 1), false));
            prev = next;
        }
    }

    bool MayHold(const char* name, size_t nameLen) const {
        const char* percent = (const char*)memchr(name, '%', nameLen);
        size_t first = percent ? (size_t)(percent - name) : nameLen;
        size_t bit = HashText(name, first, false) & mask_;
        return ((unsigned char)bits_[bit / 8] >> (bit % 8)) & 1;
    }

private:
    void Set(unsigned hash) {
        size_t bit = hash & mask_;
        bits_.at(bit / 8) |= (char)(1 << (bit % 8));
    }
    TStr bits_;  // a byte buffer
    size_t mask_ = 0;
};

enum TStep { stUnchanged, stChanged, stRunaway };

size_t CountOccurrences(const TStr& text, const TStr& token, long first) {
    size_t count = 0;
    for (long hit = first; hit >= 0; hit = text.find(token, (size_t)hit + token.length())) ++count;
    return count;
}

// Replaces every "%name%" of the text by the value, unless that would grow
// the text past the length bound.
TStep ReplaceReference(TStr& text, const TStr& item, size_t nameLen) {
    TStr token = "%" + item.substr(0, nameLen) + "%";
    long first = text.find(token);
    if (first < 0) return stUnchanged;
    TStr value = item.substr(nameLen + 1);
    if (value.length() > token.length()) {
        size_t count = CountOccurrences(text, token, first);
        size_t growth = value.length() - token.length();
        size_t room = text.length() < kMaxExpandedLength ? kMaxExpandedLength - text.length() : 0;
        if (growth > room / count) return stRunaway;
    }
    text = ReplaceAllText(text, token, value);
    return value == token ? stUnchanged : stChanged;
}

// One pass over the whole table; false when the text runs away.
bool RunPass(TStr& text, const TStrList& table) {
    TSpanFilter filter;
    filter.Build(text);
    for (int i = 0; i < table.Count(); ++i) {
        const TStr& item = table[i];
        long eq = item.find('=');
        size_t nameLen = eq < 0 ? item.length() : (size_t)eq;
        if (!filter.MayHold(item.c_str(), nameLen)) continue;
        TStep step = ReplaceReference(text, item, nameLen);
        if (step == stRunaway) return false;
        if (step == stChanged) filter.Build(text);
    }
    return true;
}

}  // namespace

bool ExpandText(const TStr& text, const TStrList& table, TStr& result) {
    result = ReplaceAllText(text, "||", "\r");
    TStr work = result;
    for (int pass = 1;; ++pass) {
        bool changed = false;
        if (work.find('%') >= 0) {
            TStr before = work;
            if (!RunPass(work, table)) return false;
            changed = work != before;
        }
        if (pass > kMaxExpandPasses) return false;
        if (!changed) break;
    }
    result = static_cast<TStr&&>(work);
    return true;
}

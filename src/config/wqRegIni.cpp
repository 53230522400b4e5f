#include "config/wqRegIni.h"

#include <new>
#include <stdlib.h>
#include <string.h>

#include "config/wqArithm.h"
#include "config/wqErrors.h"
#include "config/wqIniFile.h"

// ---- Profile document cache ----
//
// Entries sorted by key (the upper-cased file name) so that a look-up is a
// binary search and the flush order is fixed. The parse settings apply to
// documents created from now on; a document keeps the ones it was made with.

namespace {

struct TCacheEntry {
    TStr key;
    TwqIniFile* doc;
};

TCacheEntry* entries = nullptr;
int entryCount = 0;
int entryCapacity = 0;
TIniOptions parseSettings = kIniDefaultOptions;

int CompareKeys(const TStr& a, const TStr& b) {
    size_t n = a.length() < b.length() ? a.length() : b.length();
    int c = memcmp(a.c_str(), b.c_str(), n);
    if (c) return c;
    return a.length() < b.length() ? -1 : a.length() > b.length() ? 1 : 0;
}

// Index of the entry with `key`, or the insertion point as -(index + 1).
int FindEntry(const TStr& key) {
    int lo = 0, hi = entryCount;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        int c = CompareKeys(entries[mid].key, key);
        if (c == 0) return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -(lo + 1);
}

void InsertEntry(int at, const TStr& key, TwqIniFile* doc) {
    if (entryCount == entryCapacity) {
        int grown = entryCapacity < 8 ? 8 : entryCapacity * 2;
        TCacheEntry* p = (TCacheEntry*)realloc((void*)entries, (size_t)grown * sizeof(TCacheEntry));
        if (!p) OutOfMemory();
        entries = p;
        entryCapacity = grown;
    }
    memmove((void*)(entries + at + 1), (void*)(entries + at), (size_t)(entryCount - at) * sizeof(TCacheEntry));
    new (&entries[at].key) TStr(key);
    entries[at].doc = doc;
    ++entryCount;
}

void RemoveEntry(int at) {
    delete entries[at].doc;  // writes a modified writable document back
    entries[at].key.~TStr();
    memmove((void*)(entries + at), (void*)(entries + at + 1), (size_t)(entryCount - at - 1) * sizeof(TCacheEntry));
    --entryCount;
}

}  // namespace

TwqIniFile* ProfileDocument(const TStr& file, bool forReading) {
    TStr key = UpperText(file);
    int at = FindEntry(key);
    if (at >= 0 && !forReading && entries[at].doc->ReadOnly()) {
        // A read-only document is never written through: load the file
        // again, writable.
        RemoveEntry(at);
        at = FindEntry(key);
    }
    if (at >= 0) return entries[at].doc;
    TwqIniFile* doc = TwqIniFile::Create(file, forReading, parseSettings);
    if (!doc) return nullptr;
    InsertEntry(-(at + 1), key, doc);
    return doc;
}

void ProfileDropDocument(const TStr& file) {
    int at = FindEntry(UpperText(file));
    if (at >= 0) RemoveEntry(at);
}

void ProfileFlushAll() {
    while (entryCount > 0) RemoveEntry(0);
}

void ProfileStripQuotes(bool strip) { parseSettings.StripQuotes = strip; }

TStr ProfileReadString(const TStr& file, const TStr& section, const TStr& key,
                       const TStr& fallback) {
    TwqIniFile* doc = ProfileDocument(file, true);
    return doc ? doc->ReadString(section, key, fallback) : fallback;
}

long ProfileReadInteger(const TStr& file, const TStr& section, const TStr& key, long fallback) {
    return TextToIntDef(ProfileReadString(file, section, key, IntToStr(fallback)), fallback);
}

bool ProfileReadBool(const TStr& file, const TStr& section, const TStr& key, bool fallback) {
    return ProfileReadString(file, section, key, fallback ? "1" : "0") == "1";
}

void ProfileReadSection(const TStr& file, const TStr& section, TStrList& target) {
    TwqIniFile* doc = ProfileDocument(file, true);
    if (doc) doc->ReadSectionValues(section, target);
}

bool ProfileWriteString(const TStr& file, const TStr& section, const TStr& key,
                        const TStr& value) {
    TwqIniFile* doc = ProfileDocument(file, false);
    if (doc) doc->WriteString(section, key, value);
    return true;
}

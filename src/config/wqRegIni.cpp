#include "config/wqRegIni.h"

#include <new>
#include <stdlib.h>
#include <string.h>

#include "config/wqArithm.h"
#include "config/wqErrors.h"
#include "config/wqIniFile.h"
#include "config/wqPath.h"

// ---- Profile document cache ----
//
// Entries sorted by key (the upper-cased file name) so that a look-up is a
// binary search and the flush order is fixed. The parse settings apply to
// documents created from now on; a document keeps the ones it was made with.

static bool WriteBack(TwqIniFile* doc);

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

// Writes a modified document back and drops the entry; false (with the
// error raised) when the write-back failed. The entry goes either way.
bool RemoveEntry(int at) {
    TwqIniFile* doc = entries[at].doc;
    bool written = WriteBack(doc);
    delete doc;
    entries[at].key.~TStr();
    memmove((void*)(entries + at), (void*)(entries + at + 1), (size_t)(entryCount - at - 1) * sizeof(TCacheEntry));
    --entryCount;
    return written;
}

}  // namespace

TwqIniFile* ProfileDocument(const TStr& file, bool forReading) {
    TStr key = UpperText(file);
    int at = FindEntry(key);
    if (at >= 0 && !forReading && entries[at].doc->ReadOnly()) {
        // A read-only document is never written through: load the file
        // again, writable. Having nothing to write back, it cannot fail.
        (void)RemoveEntry(at);
        at = FindEntry(key);
    }
    if (at >= 0) return entries[at].doc;
    TwqIniFile* doc = TwqIniFile::Create(file, forReading, parseSettings);
    if (!doc) return nullptr;
    InsertEntry(-(at + 1), key, doc);
    return doc;
}

bool ProfileDropDocument(const TStr& file) {
    int at = FindEntry(UpperText(file));
    return at < 0 || RemoveEntry(at);
}

// A cached document's write-back, with the error raised when it fails.
static bool WriteBack(TwqIniFile* doc) {
    return doc->UpdateFile() || RaiseError(Format("Cannot write file %s", doc->FileName().c_str()));
}

bool ProfileWriteBack(const TStr& file) {
    int at = FindEntry(UpperText(file));
    return at < 0 || WriteBack(entries[at].doc);
}

bool ProfileFlushAll() {
    bool all = true;
    while (entryCount > 0) all = RemoveEntry(0) && all;
    return all;
}

void ProfileStripQuotes(bool strip) { parseSettings.StripQuotes = strip; }

bool ProfileReadString(const TStr& file, const TStr& section, const TStr& key,
                       const TStr& fallback, TStr& value) {
    TwqIniFile* doc = ProfileDocument(file, true);
    if (!doc) return false;
    value = doc->ReadString(section, key, fallback);
    return true;
}

bool ProfileReadInteger(const TStr& file, const TStr& section, const TStr& key, long fallback,
                        long& value) {
    TStr text;
    if (!ProfileReadString(file, section, key, IntToStr(fallback), text)) return false;
    value = TextToIntDef(text, fallback);
    return true;
}

bool ProfileReadBool(const TStr& file, const TStr& section, const TStr& key, bool fallback,
                     bool& value) {
    TStr text;
    if (!ProfileReadString(file, section, key, fallback ? "1" : "0", text)) return false;
    value = text == "1";
    return true;
}

bool ProfileReadSection(const TStr& file, const TStr& section, TStrList& target) {
    TwqIniFile* doc = ProfileDocument(file, true);
    if (!doc) return false;
    doc->ReadSectionValues(section, target);
    return true;
}

bool ProfileWriteString(const TStr& file, const TStr& section, const TStr& key,
                        const TStr& value) {
    TwqIniFile* doc = ProfileDocument(file, false);
    if (!doc) return false;
    if (key.empty() && section.empty() && value.empty()) return WriteBack(doc);
    doc->WriteString(section, key, value);
    return true;
}

// ---- Registry paths and values ----

bool RegSplitPath(const TStr& path, HKEY& root, TStr& subKey, TStr& valueName) {
    long sep = -1;
    for (size_t i = 0; i < path.length(); ++i)
        if (path[i] == '\\' || path[i] == ':') sep = (long)i;
    TStr keyPart = RemoveBackslash(path.substr(0, (size_t)(sep + 1)));
    valueName = path.substr((size_t)(sep + 1));
    subKey = keyPart.substr(5);
    TStr prefix = keyPart.substr(0, 5);
    root = prefix == "HKCR\\"   ? HKEY_CLASSES_ROOT
           : prefix == "HKCU\\" ? HKEY_CURRENT_USER
           : prefix == "HKLM\\" ? HKEY_LOCAL_MACHINE
                                : (HKEY)0;
    return root != 0;
}

// Opens the key of the path; false (key 0) when the root is unknown or the
// key does not open.
static bool OpenPathKey(const TStr& path, HKEY& key, TStr& valueName) {
    HKEY root;
    TStr subKey;
    key = 0;
    return RegSplitPath(path, root, subKey, valueName) &&
           RegOpenKeyA(root, subKey.c_str(), &key) == ERROR_SUCCESS;
}

bool RegReadData(const TStr& path, void* buffer, DWORD& size) {
    HKEY key;
    TStr valueName;
    if (!OpenPathKey(path, key, valueName)) return false;
    DWORD type;
    LONG rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, (BYTE*)buffer, &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

TStr RegReadString(const TStr& path, const TStr& fallback) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (!RegReadData(path, buffer, size)) return fallback;
    return TStr(buffer, size ? size - 1 : 0);
}

bool RegWriteData(const TStr& path, DWORD type, const void* data, DWORD size) {
    HKEY root, key;
    TStr subKey, valueName;
    if (!RegSplitPath(path, root, subKey, valueName)) return false;
    if (RegCreateKeyA(root, subKey.c_str(), &key) != ERROR_SUCCESS) return false;
    LONG rc = RegSetValueExA(key, valueName.c_str(), 0, type, (const BYTE*)data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool RegWriteString(const TStr& path, const TStr& text) {
    return RegWriteData(path, REG_SZ, text.c_str(), (DWORD)text.length());
}

bool RegWriteInteger(const TStr& path, long value) {
    DWORD data = (DWORD)value;
    return RegWriteData(path, REG_DWORD, &data, sizeof data);
}

bool RegKeyExists(const TStr& path) {
    HKEY key;
    TStr valueName;
    if (!OpenPathKey(AddBackslash(path), key, valueName)) return false;
    RegCloseKey(key);
    return true;
}

bool RegValueExists(const TStr& path) {
    HKEY key;
    TStr valueName;
    if (!OpenPathKey(path, key, valueName)) return false;
    LONG rc = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void RegEnumSubKeys(const TStr& path, TStrList& names) {
    names.Clear();
    HKEY key;
    TStr valueName;
    if (!OpenPathKey(AddBackslash(path), key, valueName)) return;
    char name[1024];
    DWORD size = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                      ERROR_SUCCESS;
         ++i, size = sizeof name)
        names.Add(TStr(name, size));
    RegCloseKey(key);
}

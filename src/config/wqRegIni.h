// wqRegIni: profile values (every INI-syntax file read and written by file
// name, section and key through one process-wide cache of INI documents) and
// registry paths and values.
#ifndef TARV_CONFIG_WQREGINI_H
#define TARV_CONFIG_WQREGINI_H

#include "config/wqString.h"

class TwqIniFile;

// ---- Profile values ----
//
// Each file is loaded once into a cached document; reads and writes work on
// the cached documents and reach the disk only when the document is written
// back (ProfileFlushAll, or ProfileWriteString with all three texts empty).
// The cache key is the file name as passed, upper-cased: two spellings of
// one path are two documents.
//
// Every operation that may load a file can raise "Cannot open file %s"
// (wqErrors) when the file exists but cannot be opened (or, for writing,
// cannot be created): it then gives false, leaves its output untouched,
// caches nothing, and the caller returns at once. A missing file read is no
// error: it reads as empty.

// `value` := the value of the first line named `key` in `section` (both
// without regard to case), or the default when the file, the section or the
// key is missing. A key present with an empty value gives "".
[[nodiscard]] bool ProfileReadString(const TStr& file, const TStr& section, const TStr& key,
                                     const TStr& fallback, TStr& value);
// The value by the integer rule (wqArithm TextToInt); the default otherwise.
[[nodiscard]] bool ProfileReadInteger(const TStr& file, const TStr& section, const TStr& key,
                                      long fallback, long& value);
// True exactly for the text "1".
[[nodiscard]] bool ProfileReadBool(const TStr& file, const TStr& section, const TStr& key,
                                   bool fallback, bool& value);
// Appends every line of the section, in file order, to `target` (not cleared,
// names not merged).
[[nodiscard]] bool ProfileReadSection(const TStr& file, const TStr& section, TStrList& target);
// Key not empty: the line key=value replaces the first line of that name or is
// appended (a missing section is created at the end). Empty key with a
// section or value: erases the section. All three empty: writes the document
// back at once; a write-back that fails or falls short raises
// "Cannot write file %s".
[[nodiscard]] bool ProfileWriteString(const TStr& file, const TStr& section, const TStr& key,
                                      const TStr& value);
// Writes back every modified document, in cache order, and empties the cache.
// Every document is dropped whatever happens; false when a write-back failed
// or fell short (full disk, a file gone read-only), with "Cannot write file
// %s" raised for the first such file.
[[nodiscard]] bool ProfileFlushAll();
// Writes the cached document of `file` back now, when there is one (nothing
// is loaded or created otherwise); false with "Cannot write file %s" raised
// when that fails.
[[nodiscard]] bool ProfileWriteBack(const TStr& file);
// Turns the quote stripping of documents loaded from now on on or off.
void ProfileStripQuotes(bool strip);
// The cached document for `file`, loading it when needed; a read-only one is
// replaced by a writable one when `forReading` is false. Null after a raised
// open error.
TwqIniFile* ProfileDocument(const TStr& file, bool forReading);
// Destroys the cached document of `file` (writing it back when modified);
// false, with "Cannot write file %s" raised, when that write-back failed.
[[nodiscard]] bool ProfileDropDocument(const TStr& file);

// ---- Registry paths and values ----
//
// A registry path is root + key path + "\" + value name, e.g.
// "HKLM\SOFTWARE\Demo\Version": the root is the first five characters,
// exactly "HKCR\", "HKCU\" or "HKLM\" (case-sensitive); the value name is
// the text after the last "\" or ":" (empty: the key's default value). Each
// operation opens the key, does one thing and closes it again. Failures come
// back as false, the default or an empty list; nothing is shown or raised. A
// path with any other root fails every operation.

#include <windows.h>

// Splits the path: key part = up to and including the last "\" or ":", one
// trailing "\" removed; root = its first five characters; subkey = the rest
// of it. False (root 0) when the root is none of the three.
bool RegSplitPath(const TStr& path, HKEY& root, TStr& subKey, TStr& valueName);
// Reads the value's data into buffer, whatever its type; `size` is the
// buffer's size on entry and the data's length on success.
bool RegReadData(const TStr& path, void* buffer, DWORD& size);
// The value read into 1024 bytes, less its last byte (taken as the
// terminating zero; a value of size 0 is the empty text); the default when it
// cannot be read or is longer than 1024 bytes.
TStr RegReadString(const TStr& path, const TStr& fallback);
// Creates the key and any missing parents, then sets the value.
bool RegWriteData(const TStr& path, DWORD type, const void* data, DWORD size);
// REG_SZ of the text's bytes; no terminating zero is counted (the system adds
// it for a non-empty text, so "" is stored with size 0).
bool RegWriteString(const TStr& path, const TStr& text);
// REG_DWORD, 4 bytes.
bool RegWriteInteger(const TStr& path, long value);
// The whole path names the key ("\" appended when missing).
bool RegKeyExists(const TStr& path);
bool RegValueExists(const TStr& path);
// Clears `names`, then adds the subkey names of the key the whole path names,
// in the registry's order.
void RegEnumSubKeys(const TStr& path, TStrList& names);

#endif

// Extraction: selecting archive entries by their stored names, counting what
// a selection unpacks to, and preparing destination folders. The loops that
// extract belong to the pre-setup stage and the install run.
//
// Stored names are relative with "\" separators (Presetup\Tarv.ini,
// Data\sub\a.txt). A mask is a path whose last component may hold "*" and
// "?"; masks match the whole stored name without regard to case, and "." is
// an ordinary character ("*.*" needs a dot). A file list holds Name=Value
// items whose names are stored names or masks.
#ifndef TARV_ARCHIVE_EXTRACTION_H
#define TARV_ARCHIVE_EXTRACTION_H

#include "config/wqString.h"

// The text contains "*" or "?".
bool HasWildcards(const TStr& text);

// Index of the first list item that covers the stored name, or -1. An item
// whose last component (after the last "\" or ":") has wildcards covers names
// whose last component matches it and whose folder starts with the item's
// folder (so Data\*.* covers Data\sub\a.txt; no folder covers every folder);
// any other item covers exactly its own name, without regard to case.
int FindFileEntry(const TStrList& list, const TStr& storedName);

// The texts callers show for a failed count (and a failed archive open).
extern const char kArchiveOpenError[];     // "Archive open error!"
extern const char kFileExtractingError[];  // "File extracting error!"

enum TCountStatus {
    csCounted,     // every entry was read
    csOpenFailed,  // the archive could not be opened: Total is 0
    csEntryFailed, // an entry could not be passed over: Total is the count so far
    csDamaged      // the archive is damaged after the entries counted (a header cut
                   // or lying): Total is the count so far
};
struct TArchiveCount {
    TCountStatus Status;
    unsigned long long Total;  // 64 bits: payloads above 4 GB do not wrap
};

// Total unpacked size of the entries of the installer's own archive (the
// run's ExeName) whose names match `mask` and, when a list is given, that an
// item covers (each entry counted once). With `stopAtMismatch` the count ends
// at the first entry outside the mask (the Presetup\ entries lead the
// archive). Shows nothing: callers report csOpenFailed with
// kArchiveOpenError, csEntryFailed with kFileExtractingError and csDamaged
// with kDamagedSetupMessage (archive/Unrar.h).
TArchiveCount ArchiveFilesSize(const TStr& mask, const TStrList* list, bool stopAtMismatch);

// Removes every item of that name (without regard to case) and appends
// name=value at the end.
void SetListValue(TStrList& list, const TStr& name, const TStr& value);

#endif

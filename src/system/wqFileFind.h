// wqFileFind: directory search filtered by the six DOS attribute bits.
//
// Calling order: FindFirstEx; while it (then FindNextEx) answers 0, use the
// record and call FindNextEx; then FindCloseEx, also after a failed
// FindFirstEx (it does nothing then).
#ifndef TARV_SYSTEM_WQFILEFIND_H
#define TARV_SYSTEM_WQFILEFIND_H

#include <windows.h>

#include "config/wqString.h"

// Attribute bits of the include and exclude sets.
enum : DWORD {
    faReadOnly = 1,
    faHidden = 2,
    faSysFile = 4,
    faVolumeID = 8,
    faDirectory = 16,
    faArchive = 32,
    faAnyFile = 63
};

struct TSearchRecEx {
    DWORD Time;  // last write, local time, MS-DOS format: date in the high word
    DWORD Size;  // low 32 bits
    DWORD Attr;  // the entry's attributes as the system reports them
    TStr Name;
    DWORD IncludeAttr;
    DWORD ExcludeAttr;
    HANDLE FindHandle = INVALID_HANDLE_VALUE;  // when no search is open
    WIN32_FIND_DATAA FindData;
};

// Starts a search for `mask` (a path whose last part may hold wildcards).
// Entries match when they carry at least one bit of `include` (0 stands for
// all six bits) and none of `exclude`; "." and ".." never match. Answers 0
// with the first match in the record, or the system error code (the search
// is then closed already): ERROR_FILE_NOT_FOUND, ERROR_NO_MORE_FILES when
// entries were seen but none matched, ERROR_PATH_NOT_FOUND for a missing
// folder.
int FindFirstEx(const TStr& mask, DWORD include, DWORD exclude, TSearchRecEx& rec);
// Next match: 0, or the system error code (ERROR_NO_MORE_FILES at the end).
int FindNextEx(TSearchRecEx& rec);
// Ends the search if one is open.
void FindCloseEx(TSearchRecEx& rec);

// The matching rule. With the full include set an entry whose attributes are
// FILE_ATTRIBUTE_NORMAL alone matches too: the system reports a plain file
// with no other attribute that way, and it carries none of the six bits.
bool SearchEntryMatches(DWORD attributes, const char* name, DWORD include, DWORD exclude);
// "." or "..": the entries every folder search meets besides the real ones.
bool IsDotEntry(const char* name);

#endif

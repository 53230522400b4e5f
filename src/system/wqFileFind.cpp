#include "system/wqFileFind.h"

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool SearchEntryMatches(DWORD attributes, const char* name, DWORD include, DWORD exclude) {
    if (IsDotEntry(name) || (attributes & exclude) != 0) return false;
    if ((attributes & include) != 0) return true;
    return include == faAnyFile && attributes == FILE_ATTRIBUTE_NORMAL;
}

static DWORD DosTimeOf(const FILETIME& written) {
    FILETIME local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return ((DWORD)date << 16) | time;
}

// Walks on from the entry in FindData to the first that matches and fills
// the record from it; 0, or the error code of the failed FindNextFileA.
static int TakeFirstMatch(TSearchRecEx& rec) {
    const WIN32_FIND_DATAA& fd = rec.FindData;
    while (!SearchEntryMatches(fd.dwFileAttributes, fd.cFileName, rec.IncludeAttr,
                               rec.ExcludeAttr)) {
        if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return (int)GetLastError();
    }
    rec.Time = DosTimeOf(fd.ftLastWriteTime);
    rec.Size = fd.nFileSizeLow;
    rec.Attr = fd.dwFileAttributes;
    rec.Name = fd.cFileName;
    return 0;
}

int FindFirstEx(const TStr& mask, DWORD include, DWORD exclude, TSearchRecEx& rec) {
    rec.IncludeAttr = include ? include : faAnyFile;
    rec.ExcludeAttr = exclude;
    rec.FindHandle = FindFirstFileA(mask.c_str(), &rec.FindData);
    if (rec.FindHandle == INVALID_HANDLE_VALUE) return (int)GetLastError();
    int result = TakeFirstMatch(rec);
    if (result != 0) FindCloseEx(rec);
    return result;
}

int FindNextEx(TSearchRecEx& rec) {
    if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return (int)GetLastError();
    return TakeFirstMatch(rec);
}

void FindCloseEx(TSearchRecEx& rec) {
    if (rec.FindHandle == INVALID_HANDLE_VALUE) return;
    FindClose(rec.FindHandle);
    rec.FindHandle = INVALID_HANDLE_VALUE;
}

// File times set and read without the code under test, and the MS-DOS form
// of a local time worked out by hand.
#ifndef TARV_TESTS_SYSTEMTESTSUPPORT_H
#define TARV_TESTS_SYSTEMTESTSUPPORT_H

#include <windows.h>

#include <string>

#include "system/wqUtils.h"

struct LocalStamp {
    int year, month, day, hour, minute, second;  // even seconds survive MS-DOS form
};

FILETIME FileTimeOfLocal(const LocalStamp& t);  // as UTC
DWORD DosStampOf(const LocalStamp& t);          // date in the high word, time in the low
// Last-write time of a file or folder: false / all zero when it cannot be opened.
bool SetLastWriteTime(const std::string& path, const FILETIME& time);
FILETIME LastWriteTimeOf(const std::string& path);

// Stands in another Windows version for the process while it lives.
struct OSVersionOverride {
    explicit OSVersionOverride(const TOSVersion& v) { SetOSVersionForTest(v); }
    ~OSVersionOverride() { SetOSVersionForTest(GetOSVersion()); }
};

#endif

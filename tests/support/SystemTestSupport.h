// Helpers for the tests of src/system: file times set and read without the
// code under test, and the MS-DOS form of a local time worked out by hand.
#ifndef TARV_TESTS_SYSTEMTESTSUPPORT_H
#define TARV_TESTS_SYSTEMTESTSUPPORT_H

#include <windows.h>

#include <string>

struct LocalStamp {
    int year, month, day, hour, minute, second;  // even seconds survive MS-DOS form
};

// The UTC file time of a local time.
FILETIME FileTimeOfLocal(const LocalStamp& t);
// The MS-DOS date (high word) and time (low word) of a local time, packed bit
// by bit: year-1980 | month | day, hour | minute | second/2.
DWORD DosStampOf(const LocalStamp& t);
// Sets the last-write time of a file or folder; false when that fails.
bool SetLastWriteTime(const std::string& path, const FILETIME& time);
// The last-write time of a file or folder; all zero when it cannot be opened.
FILETIME LastWriteTimeOf(const std::string& path);

#endif

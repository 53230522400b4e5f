// TStr and TStrList in tests: GoogleTest printing, and lists written inline.
#ifndef TARV_TESTS_TESTPRINT_H
#define TARV_TESTS_TESTPRINT_H

#include <initializer_list>
#include <ostream>

#include "config/wqString.h"

inline void PrintTo(const TStr& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

inline TStrList ListOf(std::initializer_list<const char*> items) {
    TStrList list;
    for (const char* item : items) list.Add(item);
    return list;
}

#endif

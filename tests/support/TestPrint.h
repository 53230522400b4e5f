// Lets GoogleTest print TStr values in failure messages.
#ifndef TARV_TESTS_TESTPRINT_H
#define TARV_TESTS_TESTPRINT_H

#include <ostream>

#include "config/wqString.h"

inline void PrintTo(const TStr& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

#endif

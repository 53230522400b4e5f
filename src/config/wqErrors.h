// wqErrors: the installer's raised errors, carried without C++ exceptions.
//
// Only two kinds of failure are raised rather than returned: file input/output
// ("Cannot open file %s") and text-to-number conversion. The operation that
// meets one records its message here and returns its default; every caller up
// to the setup driver checks ErrorPending() and unwinds to the guaranteed
// clean-up, where the message is shown.
//
// One slot per process: profile operations never run on two threads at once,
// and the install worker checks and hands its error to the main thread itself.
#ifndef TARV_CONFIG_WQERRORS_H
#define TARV_CONFIG_WQERRORS_H

#include "config/wqString.h"

// Records an error; the first one stands until it is taken.
void RaiseError(const TStr& message);
bool ErrorPending();
// The pending message (empty when none), clearing the slot.
TStr TakeError();

#endif

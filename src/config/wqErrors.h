// wqErrors: the installer's raised errors, carried without C++ exceptions.
//
// Only a few kinds of failure are raised rather than returned as an answer:
// files that cannot be opened or written ("Cannot open file %s", "Cannot
// write file %s"), text-to-number conversion, and system errors of the
// folder chooser. The operation that meets one records its message here and
// reports failure in its [[nodiscard]] result; every caller returns at once
// with failure of its own, up to the setup driver, which checks between its
// steps, runs its clean-up and shows the message. So nothing runs on after a
// raise with made-up defaults.
//
// One slot per process: an error is taken before another can be raised (the
// install worker's errors are taken by the install run once the worker has
// ended).
#ifndef TARV_CONFIG_WQERRORS_H
#define TARV_CONFIG_WQERRORS_H

#include "config/wqString.h"

// Records an error and returns false, so that a failing operation can end
// with `return RaiseError(...)`. While one is pending, the first stands: it
// is the one that explains the rest.
bool RaiseError(const TStr& message);
bool ErrorPending();
// The pending message (empty when none), clearing the slot.
TStr TakeError();

#endif

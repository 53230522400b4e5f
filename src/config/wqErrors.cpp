#include "config/wqErrors.h"

static TStr pendingError;
static bool pending = false;

void RaiseError(const TStr& message) {
    if (pending) return;  // the first failure is the one that explains the rest
    pendingError = message;
    pending = true;
}

bool ErrorPending() { return pending; }

TStr TakeError() {
    TStr message = pendingError;
    pendingError.clear();
    pending = false;
    return message;
}

#include "config/wqErrors.h"

static TStr pendingError;
static bool pending = false;

bool RaiseError(const TStr& message) {
    if (!pending) {
        pendingError = message;
        pending = true;
    }
    return false;
}

bool ErrorPending() { return pending; }

TStr TakeError() {
    TStr message = pendingError;
    pendingError.clear();
    pending = false;
    return message;
}

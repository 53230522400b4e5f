#include "config/RunState.h"

// A namespace-scope object rather than a function-local static: a local one
// would pull in the thread-safe guard helpers of the C++ runtime.
static TRunState runState;

TRunState& RunState() { return runState; }

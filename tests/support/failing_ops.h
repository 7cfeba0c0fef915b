// File operations that fail at a chosen step, for checking that a failed
// save leaves the old file as it was. Installed with safefile_set_ops().
#pragma once

#include "platform/safefile.h"

enum class FailAt { Nothing, Create, Write, Flush, Close, Replace };

// The system code that a failing step gives.
enum { FAILING_OPS_ERROR = 4242 };

// Returns operations that do what the system's do, except that `step` fails.
// A failing write writes the first half of the data first, as a full disk
// would. Valid until the next call.
const SafeFileOps* failing_ops(FailAt step);

// Installs failing_ops(step) for the lifetime of the object.
struct FailingOpsScope {
    explicit FailingOpsScope(FailAt step) { safefile_set_ops(failing_ops(step)); }
    ~FailingOpsScope() { safefile_set_ops(nullptr); }
};

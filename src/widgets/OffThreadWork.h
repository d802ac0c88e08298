#pragma once

#include "base/Progress.h"

#include <functional>

namespace hondana {

class LongOperation;

// Runs `work` on a thread of its own while this thread shows `operation`'s busy cursor and
// progress and keeps the windows painted. The work must use nothing of this thread's (its own
// connection, no widgets). Returns when it is done; a Failure it throws is thrown here.
void runOffThread(LongOperation &operation, const std::function<void(const Progress &)> &work);

} // namespace hondana

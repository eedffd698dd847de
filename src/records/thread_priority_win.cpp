#include <windows.h>

#include "records/thread_priority.h"

namespace gaugemon::records {

// Below the station's thread, yet not idle: on a quiet machine the write runs
// at full speed all the same.
void yieldToOtherThreads() { (void)::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace gaugemon::records

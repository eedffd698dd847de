#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "records/thread_priority.h"

namespace gaugemon::records {

namespace {
// Well below the station's thread, yet not idle: on a quiet machine the write
// runs at full speed all the same.
constexpr int kBackgroundNice = 10;
}  // namespace

void yieldToOtherThreads() {
#ifdef SYS_gettid
    // On Linux the nice value belongs to the thread named by its id.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, thread, kBackgroundNice);
#endif
}

}  // namespace gaugemon::records

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "records/thread_priority.h"

namespace gaugemon::records {

namespace {
// Well below the station's thread, yet not idle: on a quiet machine the write
// runs at full speed all the same.
constexpr int kBelowTheStation = 10;
constexpr int kLowestNice = 19;
}  // namespace

void yieldToOtherThreads() {
#ifdef SYS_gettid
    // On Linux the nice value belongs to the thread named by its id. Counted
    // from where the station runs: a station started low is not raised.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, thread);
    if (errno != 0) return;
    (void)::setpriority(PRIO_PROCESS, thread, std::min(now + kBelowTheStation, kLowestNice));
#endif
}

}  // namespace gaugemon::records

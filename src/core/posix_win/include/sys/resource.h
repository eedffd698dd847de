#pragma once
// Windows has no limit on the size of a file a process writes.
typedef unsigned long long rlim_t;
struct rlimit {
    rlim_t rlim_cur;
    rlim_t rlim_max;
};
#define RLIMIT_FSIZE 1
#define RLIM_INFINITY (~0ULL)
static inline int getrlimit(int resource, struct rlimit* limit) {
    (void)resource;
    limit->rlim_cur = RLIM_INFINITY;
    limit->rlim_max = RLIM_INFINITY;
    return 0;
}

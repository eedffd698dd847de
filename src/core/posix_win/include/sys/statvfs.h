#pragma once
// The room left on the disk of a directory, for the caller of this process.
struct statvfs {
    unsigned long long f_bavail;  // in units of f_frsize
    unsigned long f_frsize;
};

#ifdef __cplusplus
extern "C" {
#endif

int statvfs(const char* path, struct statvfs* space);

#ifdef __cplusplus
}
#endif

#pragma once
// The few POSIX calls the station's portable files make, for Windows: each
// header of this directory takes the system's own and adds what it lacks.
// Only the semantics the station relies on are given (documented at each).
#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

// A whole-file advisory lock on the C runtime descriptor, as flock(2):
// LOCK_EX or LOCK_SH, with LOCK_NB failing with EWOULDBLOCK; LOCK_UN.
int flock(int fd, int operation);
// Cryptographically random bytes from the system; returns the count.
ssize_t getrandom(void* buffer, size_t length, unsigned int flags);
ssize_t pread(int fd, void* buffer, size_t count, long long offset);
ssize_t pwrite(int fd, const void* buffer, size_t count, long long offset);
// Forces the descriptor's file to the disk.
int fdatasync(int fd);
// A second name for the file (a hard link); EEXIST when the name is taken.
int link(const char* from, const char* to);
// Only signal 0: whether process `pid` still runs (ESRCH when not).
int kill(pid_t pid, int signal);

#define AT_FDCWD (-100)
#define RENAME_NOREPLACE 1
// Paths relative to the working directory only (AT_FDCWD); with
// RENAME_NOREPLACE a file at `to` is never replaced (EEXIST).
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags);

#ifdef __cplusplus
}
#endif

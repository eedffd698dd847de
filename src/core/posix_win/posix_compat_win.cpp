#define _CRT_RAND_S
#include <errno.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include "core/posix_win/include/posix_win.h"
#include "core/posix_win/include/sys/file.h"
#include "core/posix_win/include/sys/statvfs.h"
#include "core/windows_text.h"

using gaugemon::core::errnoOf;
using gaugemon::core::wideOf;

namespace {
HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

int failWith(int error) {
    errno = error;
    return -1;
}
}  // namespace

extern "C" int flock(int fd, int operation) {
    const HANDLE h = handleOf(fd);
    if (h == INVALID_HANDLE_VALUE) return failWith(EBADF);
    OVERLAPPED whole{};
    if (operation & LOCK_UN) return ::UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole) ? 0 : failWith(ENOLCK);
    DWORD flags = (operation & LOCK_EX) ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    if (operation & LOCK_NB) flags |= LOCKFILE_FAIL_IMMEDIATELY;
    if (::LockFileEx(h, flags, 0, MAXDWORD, MAXDWORD, &whole)) return 0;
    return failWith(::GetLastError() == ERROR_LOCK_VIOLATION ? EWOULDBLOCK : ENOLCK);
}

extern "C" ssize_t getrandom(void* buffer, size_t length, unsigned int) {
    auto* out = static_cast<unsigned char*>(buffer);
    for (size_t i = 0; i < length;) {
        unsigned int value = 0;
        if (::rand_s(&value) != 0) return failWith(EIO);
        for (int k = 0; k < 4 && i < length; ++k, value >>= 8) out[i++] = static_cast<unsigned char>(value);
    }
    return static_cast<ssize_t>(length);
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, long long offset) {
    const HANDLE h = handleOf(fd);
    if (h == INVALID_HANDLE_VALUE) return failWith(EBADF);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!::ReadFile(h, buffer, static_cast<DWORD>(count), &got, &at) && ::GetLastError() != ERROR_HANDLE_EOF)
        return failWith(errnoOf(::GetLastError()));
    return static_cast<ssize_t>(got);
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, long long offset) {
    const HANDLE h = handleOf(fd);
    if (h == INVALID_HANDLE_VALUE) return failWith(EBADF);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!::WriteFile(h, buffer, static_cast<DWORD>(count), &written, &at)) return failWith(errnoOf(::GetLastError()));
    return static_cast<ssize_t>(written);
}

extern "C" int fdatasync(int fd) {
    const HANDLE h = handleOf(fd);
    if (h == INVALID_HANDLE_VALUE) return failWith(EBADF);
    return ::FlushFileBuffers(h) ? 0 : failWith(errnoOf(::GetLastError()));
}

extern "C" int link(const char* from, const char* to) {
    if (::CreateHardLinkW(wideOf(to).c_str(), wideOf(from).c_str(), nullptr)) return 0;
    return failWith(errnoOf(::GetLastError()));
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    if (fromDir != AT_FDCWD || toDir != AT_FDCWD) return failWith(EINVAL);
    const DWORD replace = (flags & RENAME_NOREPLACE) ? 0 : MOVEFILE_REPLACE_EXISTING;
    if (::MoveFileExW(wideOf(from).c_str(), wideOf(to).c_str(), replace | MOVEFILE_WRITE_THROUGH)) return 0;
    return failWith(errnoOf(::GetLastError()));
}

extern "C" int kill(pid_t pid, int signal) {
    if (signal != 0) return failWith(EINVAL);
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return failWith(::GetLastError() == ERROR_INVALID_PARAMETER ? ESRCH : EPERM);
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running ? 0 : failWith(ESRCH);
}

extern "C" int statvfs(const char* path, struct statvfs* space) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(wideOf(path).c_str(), &available, nullptr, nullptr))
        return failWith(errnoOf(::GetLastError()));
    space->f_bavail = available.QuadPart;
    space->f_frsize = 1;
    return 0;
}

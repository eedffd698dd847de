#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <filesystem>
#include <system_error>

#include "core/profile_lock.h"
#include "core/windows_text.h"

namespace gaugemon::core {

ProfileLock::~ProfileLock() { release(); }

// The lock is a byte range of the file, which Windows releases with the
// process however it ends. The handle is kept as a C runtime descriptor.
ProfileLock::Outcome ProfileLock::take(const std::string& directory) {
    release();
    failure_.clear();
    const std::filesystem::path dir(wideOf(directory));
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::filesystem::path path = dir / L"station.lock";
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        failure_ = utf8Of(path.wstring()) + ": " + std::generic_category().message(errnoOf(::GetLastError()));
        return Outcome::Unavailable;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        const DWORD reason = ::GetLastError();
        ::CloseHandle(h);
        if (reason == ERROR_LOCK_VIOLATION) return Outcome::HeldElsewhere;
        failure_ = utf8Of(path.wstring()) + ": " + std::generic_category().message(errnoOf(reason));
        return Outcome::Unavailable;
    }
    fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
    if (fd_ < 0) {
        ::CloseHandle(h);
        failure_ = utf8Of(path.wstring()) + ": " + std::generic_category().message(errno);
        return Outcome::Unavailable;
    }
    return Outcome::Held;
}

void ProfileLock::release() {
    if (fd_ < 0) return;
    ::_close(fd_);
    fd_ = -1;
}

}  // namespace gaugemon::core

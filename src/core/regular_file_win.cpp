#include <windows.h>

#include "core/regular_file.h"
#include "core/windows_text.h"

namespace gaugemon::core {

// Opened for reading with others free to read and write, then checked on the
// open handle: a disk file, not a directory, a pipe or a device.
RegularFile readRegularFile(const std::string& path, int64_t largestBytes) {
    RegularFile file;
    const HANDLE h = ::CreateFileW(wideOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        file.error = errnoOf(::GetLastError());
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    file.opened = ::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info) &&
                  !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    const int64_t size = (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (file.opened && size > 0 && size <= largestBytes) {
        file.bytes.resize(static_cast<size_t>(size));
        size_t filled = 0;
        while (filled < file.bytes.size()) {
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(file.bytes.size() - filled, 1u << 30));
            if (!::ReadFile(h, file.bytes.data() + filled, want, &got, nullptr) || got == 0) break;
            filled += got;
        }
        file.bytes.resize(filled);
    }
    ::CloseHandle(h);
    return file;
}

}  // namespace gaugemon::core

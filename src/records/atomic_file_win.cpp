// The atomic replace on Windows: a new file beside the target, written through
// the byte sink, flushed to the disk and moved into the target's place with
// write-through, which replaces the name itself and follows no link.
#define _CRT_RAND_S
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "core/windows_text.h"
#include "records/atomic_file.h"
#include "records/temporary_name.h"

namespace gaugemon::records {

namespace {
constexpr int kTempNameAttempts = 100;

using core::errnoOf;
using core::wideOf;

std::string directoryOf(const std::string& target) {
    const size_t slash = target.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
}

std::string fileNameOf(const std::string& target) {
    const size_t slash = target.find_last_of("/\\");
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

// A suffix nobody can guess in advance, so no name can be taken before the
// station needs it.
bool randomSuffix(std::string& suffix) {
    suffix.clear();
    while (suffix.size() < kRandomSuffixLength) {
        unsigned int value = 0;
        if (::rand_s(&value) != 0) return false;
        for (int i = 0; i < 4 && suffix.size() < kRandomSuffixLength; ++i, value >>= 8)
            suffix.push_back(suffixLetter(static_cast<unsigned char>(value & 0xFF)));
    }
    return true;
}

// Makes a new file beside the target, named ".<name>.tmp<pid>-<random>";
// INVALID_HANDLE_VALUE with `error` set when none can be made. The pid in the
// name tells a later run whether the writer still lives.
HANDLE createTemporary(const std::string& target, std::string& tempPath, int& error) {
    const std::string stem = temporaryStem(fileNameOf(target), ::GetCurrentProcessId());
    std::string suffix;
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        if (!randomSuffix(suffix)) {
            error = EIO;
            return INVALID_HANDLE_VALUE;
        }
        tempPath = directoryOf(target) + "\\" + stem + suffix;
        // CREATE_NEW: never an existing file, nor a link planted under the name.
        const HANDLE h = ::CreateFileW(wideOf(tempPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        const DWORD last = ::GetLastError();
        if (last != ERROR_FILE_EXISTS && last != ERROR_ALREADY_EXISTS) {
            error = errnoOf(last);
            return INVALID_HANDLE_VALUE;
        }
    }
    error = EEXIST;
    return INVALID_HANDLE_VALUE;
}

bool processGone(DWORD pid) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return ended;
}

// Removes what writers killed part-way left in `dir`: the station's own
// temporary files whose process no longer runs. A file of a running station
// may be its write in progress and stays.
void removeStaleTemporaries(const std::string& dir) {
    std::error_code error;
    const std::filesystem::path directory(wideOf(dir));
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        const std::filesystem::path& path = it->path();
        const DWORD owner = temporaryOwner(core::utf8Of(path.filename().wstring()));
        if (owner == 0 || owner == ::GetCurrentProcessId() || !processGone(owner)) continue;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        ::DeleteFileW(path.c_str());
    }
}

// 0 when the target may be replaced, else the errno that says why not. A
// file the operator made read-only stays as it is; a link there is replaced
// itself.
int checkTarget(const std::string& target) {
    const DWORD attributes = ::GetFileAttributesW(wideOf(target).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD last = ::GetLastError();
        return last == ERROR_FILE_NOT_FOUND ? 0 : errnoOf(last);
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
    if (attributes & FILE_ATTRIBUTE_READONLY) return EACCES;
    return 0;
}

// Fills the file, forces it to the disk and closes it; 0 or an errno value.
int fillAndClose(HANDLE handle, const std::function<bool(ByteSink&)>& fill) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_WRONLY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return EMFILE;
    }
    int error = 0;
    {
        FdSink sink(fd);
        const bool filled = fill(sink);
        sink.flush();
        error = sink.error();
        if (!error && !filled) error = EIO;
    }
    if (!error && !::FlushFileBuffers(handle)) error = errnoOf(::GetLastError());
    if (::_close(fd) != 0 && !error) error = EIO;
    return error;
}
// The file at `path` as the volume knows it: a move on the volume keeps its
// serial number and file index.
std::optional<FileIdentity> identityAt(const std::wstring& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    ::CloseHandle(h);
    if (!known) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                        (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow};
}
}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) { return identityAt(wideOf(path)); }

FileWriteResult replaceFile(const std::string& target, const std::function<bool(ByteSink&)>& fill,
                            const BeforeRename& beforeRename) {
    FileWriteResult result;
    result.path = target;
    if (const int refused = checkTarget(target)) {
        result.error = refused;
        return result;
    }
    removeStaleTemporaries(directoryOf(target));
    std::string tempPath;
    int error = 0;
    const HANDLE handle = createTemporary(target, tempPath, error);
    if (handle == INVALID_HANDLE_VALUE) {
        result.error = error;
        return result;
    }
    error = fillAndClose(handle, fill);
    const std::wstring wideTemp = wideOf(tempPath);
    if (!error && beforeRename) {
        const std::optional<FileIdentity> written = identityAt(wideTemp);
        error = written ? beforeRename(*written) : EIO;
    }
    // Write-through: the move is on the disk when it returns.
    if (!error &&
        !::MoveFileExW(wideTemp.c_str(), wideOf(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = errnoOf(::GetLastError());
    }
    if (error) {
        ::DeleteFileW(wideTemp.c_str());
        result.error = error;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace gaugemon::records

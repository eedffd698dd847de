#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/language.h"
#include "records/byte_sink.h"

namespace gaugemon::records {

struct FileWriteResult {
    bool ok = false;
    int error = 0;     // errno of the first failure
    std::string path;  // the file that was to be written
};

// The file a write made, as the file system knows it: a rename keeps all three,
// so the file at a name tells whether it is the one written.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Called once the new file is whole on the disk and before it takes the
// target's name; an errno other than 0 stops the write there, the target
// left as it was.
using BeforeRename = std::function<int(const FileIdentity& written)>;

// Writes a whole new file through `fill` into a temporary file beside
// `target`, forces it to the disk and only then puts it in the target's place.
// A failure at any step (no room, no permission, a cut-off write) leaves the
// target as it was and removes the temporary file. A replaced file keeps its
// permission bits; a read-only one is not replaced. A symbolic link at the
// target is never followed: the link itself is replaced. Each write first
// removes what earlier writers killed part-way left in the directory.
FileWriteResult replaceFile(const std::string& target, const std::function<bool(ByteSink&)>& fill,
                            const BeforeRename& beforeRename = {});

// The regular file at `path` as it is now; none when there is none.
std::optional<FileIdentity> fileIdentity(const std::string& path);

// The message that reports a failed write, in the language of the moment.
std::string fileErrorMessage(const FileWriteResult& result, core::Language language);

}  // namespace gaugemon::records

#pragma once
#include <functional>
#include <string>

#include "core/language.h"
#include "records/byte_sink.h"

namespace gaugemon::records {

struct FileWriteResult {
    bool ok = false;
    int error = 0;     // errno of the first failure
    std::string path;  // the file that was to be written
};

// Writes a whole new file through `fill` into a temporary file beside
// `target`, forces it to the disk and only then puts it in the target's place.
// A failure at any step (no room, no permission, a cut-off write) leaves the
// target as it was and removes the temporary file. A replaced file keeps its
// permission bits; a read-only one is not replaced. A symbolic link at the
// target is never followed: the link itself is replaced. Each write first
// removes what earlier writers killed part-way left in the directory.
FileWriteResult replaceFile(const std::string& target, const std::function<bool(ByteSink&)>& fill);

// The message that reports a failed write, in the language of the moment.
std::string fileErrorMessage(const FileWriteResult& result, core::Language language);

}  // namespace gaugemon::records

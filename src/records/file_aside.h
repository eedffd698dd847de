#pragma once
#include <string>

#include "records/atomic_file.h"

namespace gaugemon::records {

// Moves the regular file at `path` out of the way, beside it, under a name
// no file has yet: the same name with the file's own modification time
// before the extension ("bak20191129.xls" -> "bak20191129-135230.xls",
// then "bak20191129-135230-2.xls" and on). Nothing is ever overwritten.
// ok when the file was moved or there was no regular file to move; on a
// failure the file stays where it was.
FileWriteResult moveAside(const std::string& path);

}  // namespace gaugemon::records

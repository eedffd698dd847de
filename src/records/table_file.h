#pragma once
#include <span>
#include <string>

#include "records/atomic_file.h"
#include "records/record_file.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/table_snapshot.h"

namespace gaugemon::records {

// The header of a file written now: the columns of the rows held (with no
// rows, the probe count of the link and the code input as it is now), the
// titles in the language of the moment, the limits as they stand.
HeaderSpec headerSpecFor(const RecordTable& table, const RecordSources& sources, bool codeInputNow);

// The limits of the characteristics `held` (the rows' or, without rows, the
// ones to come): those in force when they are the characteristics defined
// now, else those the newest row was recorded with, so that limits are
// never shown beside values of other characteristics. Left as they are when
// neither is known.
void characteristicLimitsOf(std::span<const CharacteristicColumn> held, const RecordTable& table,
                            const RecordSources& sources, std::span<LimitCounts> out);

// Writes the whole table to `path` (export and backup alike); on success the
// rows count as saved. `beforeRename` as replaceFile takes it.
FileWriteResult writeTableFile(RecordTable& table, const RecordSources& sources, bool codeInputNow,
                               RecordFileFormat format, const std::string& path, const BeforeRename& beforeRename = {});

// The same file written by `writer` from a snapshot of the table as it
// stands; `done` comes on the thread that started it, after the rows of the
// snapshot count as saved. False, and nothing started, while the writer is busy.
bool startTableFile(SnapshotWriter& writer, RecordTable& table, const RecordSources& sources, bool codeInputNow,
                    RecordFileFormat format, const std::string& path, std::function<void(const FileWriteResult&)> done,
                    BeforeRename beforeRename = {});

}  // namespace gaugemon::records

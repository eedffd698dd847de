#include "records/table_file.h"

#include <algorithm>

namespace gaugemon::records {

void characteristicLimitsOf(std::span<const CharacteristicColumn> held, const RecordTable& table,
                            const RecordSources& sources, std::span<LimitCounts> out) {
    const size_t count = std::min(held.size(), out.size());
    if (std::ranges::equal(held, sources.characteristicColumns())) {
        for (unsigned k = 0; k < count; ++k) out[k] = sources.characteristicLimitCounts(k);
        return;
    }
    if (table.rowCount() == 0) return;
    const std::span<const LimitCounts> newest = table.limitSet(table.row(table.rowCount() - 1).limitSet());
    if (newest.size() < table.shape().probeCount + count) return;
    for (size_t k = 0; k < count; ++k) out[k] = newest[table.shape().probeCount + k];
}

HeaderSpec headerSpecFor(const RecordTable& table, const RecordSources& sources, bool codeInputNow) {
    HeaderSpec spec;
    spec.language = sources.language();
    // The rows decide the columns: a header that disagreed with them would
    // shift every field of every line.
    const std::span<const CharacteristicColumn> defined = sources.characteristicColumns();
    if (table.rowCount() > 0) {
        spec.probeCount = table.layout().probeCount;
        spec.codeColumn = table.layout().codeColumn;
        spec.characteristics = table.layout().characteristics;
    } else {
        spec.probeCount = std::clamp<unsigned>(sources.probeCount(), 1, measure::kMaxProbes);
        spec.codeColumn = codeInputNow;
        spec.characteristics.assign(defined.begin(), defined.end());
    }
    for (unsigned probe = 1; probe <= measure::kMaxProbes; ++probe) spec.limits[probe - 1] = sources.limitCounts(probe);
    characteristicLimitsOf(spec.characteristics, table, sources, spec.characteristicLimits);
    return spec;
}

FileWriteResult writeTableFile(RecordTable& table, const RecordSources& sources, bool codeInputNow,
                               RecordFileFormat format, const std::string& path, const BeforeRename& beforeRename) {
    const std::string header = buildHeader(headerSpecFor(table, sources, codeInputNow), format);
    const uint64_t stamp = table.changeStamp();
    FileWriteResult result = replaceFile(
        path,
        [&](ByteSink& sink) {
            sink.write(header);
            return writeRows(table, format, sink);
        },
        beforeRename);
    if (result.ok) table.markSaved(stamp);
    return result;
}

bool startTableFile(SnapshotWriter& writer, RecordTable& table, const RecordSources& sources, bool codeInputNow,
                    RecordFileFormat format, const std::string& path, std::function<void(const FileWriteResult&)> done,
                    BeforeRename beforeRename) {
    std::string header = buildHeader(headerSpecFor(table, sources, codeInputNow), format);
    return writer.start(
        table, std::move(header), format, path,
        [&table, done = std::move(done)](const FileWriteResult& result, const TableSnapshot& rows) {
            // Rows appended or codes changed during the write keep the table unsaved.
            if (result.ok) table.markSaved(rows.stamp());
            done(result);
        },
        std::move(beforeRename));
}

}  // namespace gaugemon::records

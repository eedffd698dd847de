// A small stand-in for the station, for the kill test: records sample rows at
// the station's fastest automatic period through the journal and the real
// table, or, started again, restores what the journal offers and exports it.
//   journal_recorder record <directory> <rows>   prints "written <rows>" once they are
//                                                 synced, then waits to be killed
//   journal_recorder restore <directory> <file>  prints "offered <count>", exports the table
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "journal/journal.h"
#include "records/record_sources.h"
#include "records/table_file.h"
#include "sample_rows.h"

using namespace gaugemon;

namespace {

int record(const std::string& directory, uint32_t rows) {
    journal::Journal journal;
    if (journal.open(directory) != journal::Problem::None) return 3;
    records::RecordTable table;
    table.prepareColumns(journal::test::sampleLayout());
    for (uint32_t k = 0; k < rows; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        journal::test::appendSampleRow(table, k);
        journal.follow(table);
    }
    // No flush from here: the journal's own thread gets the rows to the disk.
    while (journal.writtenRows() < rows) {
        if (!journal.isOn()) return 4;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("written %u\n", rows);
    std::fflush(stdout);
    for (;;) ::pause();
}

int restore(const std::string& directory, const std::string& file) {
    journal::Journal journal;
    if (journal.open(directory) != journal::Problem::None) return 3;
    std::printf("offered %llu\n", static_cast<unsigned long long>(journal.pending().count));
    records::RecordTable table;
    journal.restorePending(table, core::Language::Chinese);
    records::PlainRecordSources sources;
    sources.probes = 60;
    const auto result = records::writeTableFile(table, sources, true, records::kTabFormat, file);
    return result.ok ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "record") return record(argv[2], std::strtoul(argv[3], nullptr, 10));
    if (argc == 4 && std::string(argv[1]) == "restore") return restore(argv[2], argv[3]);
    std::fprintf(stderr, "usage: journal_recorder record <directory> <rows> | restore <directory> <file>\n");
    return 2;
}

#pragma once
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "display/value_text.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "support/shown_numbers.h"

namespace gaugemon::exchange::test {

// One row to record: the value texts of its probes (8 characters each), the
// verdict, the code (GBK) and the time.
struct TestRow {
    TestRow(std::vector<std::string_view> values, bool ng = false, std::string_view code = {},
            core::LocalDateTime time = {2019, 11, 29, 13, 52, 30})
        : values(std::move(values)), ng(ng), code(code), time(time) {}

    std::vector<std::string_view> values;
    bool ng = false;
    std::string_view code;
    core::LocalDateTime time;
};

inline void fillTable(records::RecordTable& table, unsigned probes, bool codeColumn, core::Language language,
                      const std::vector<TestRow>& rows) {
    table.prepareColumns({probes, codeColumn, language});
    for (const TestRow& row : rows) {
        std::array<records::ProbeNumber, measure::kMaxProbes> numbers{};
        for (size_t k = 0; k < row.values.size(); ++k) numbers[k] = gaugemon::test::numberOfText(row.values[k]);
        const records::RowInput input{probes,
                                      codeColumn,
                                      measure::LengthUnit::Millimetre,
                                      row.ng,
                                      language,
                                      records::WorkpieceCode::fromGbk(row.code),
                                      row.time,
                                      {},
                                      nullptr,
                                      std::span(numbers).first(probes)};
        table.appendRow(input);
    }
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "gaugemon-exchange-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
    size_t entryCount() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
    }

private:
    std::filesystem::path path_;
};

// Files of this process cannot grow past `bytes` while it lives: a real
// "file too large" failure in the middle of a write.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

// Limits of 3.000 and 6.000 mm on every probe, two probes, English.
inline records::PlainRecordSources englishSources(unsigned probes) {
    records::PlainRecordSources sources;
    sources.probes = probes;
    sources.lang = core::Language::English;
    return sources;
}

}  // namespace gaugemon::exchange::test

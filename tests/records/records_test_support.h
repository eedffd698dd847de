#pragma once
#include <unistd.h>

#include <algorithm>
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

namespace gaugemon::records::test {

inline display::ValueText valueText(std::string_view eight) {
    display::ValueText text;
    std::memcpy(text.slot.data(), eight.data(), std::min<size_t>(eight.size(), 8));
    return text;
}

// The numbers a row shows as these value texts, unjudged.
struct ShownValues {
    std::array<ProbeNumber, measure::kMaxProbes> numbers{};
    ShownValues() = default;
    ShownValues(std::initializer_list<std::string_view> texts) {
        unsigned k = 0;
        for (const std::string_view text : texts) set(k++, text);
    }
    void set(unsigned index, std::string_view eight) { numbers[index] = gaugemon::test::numberOfText(eight); }
    std::span<const ProbeNumber> first(unsigned probes) const { return std::span(numbers).first(probes); }
};

// Sources whose readings show as these value texts, unjudged.
inline void showTexts(PlainRecordSources& sources, std::initializer_list<std::string_view> texts) {
    sources.withReadings = true;
    sources.judged = false;
    unsigned k = 0;
    for (const std::string_view text : texts) {
        const ProbeNumber n = gaugemon::test::numberOfText(text);
        sources.readings[k++] = gaugemon::test::lengthOf(n);
        sources.shownUnit = n.unit;
    }
}

// A row of the sources' probes showing `shown`.
inline RowInput rowShowing(const ShownValues& shown, unsigned probes, bool codes, bool ng, core::Language language,
                           const WorkpieceCode& code, const core::LocalDateTime& time) {
    return {probes, codes, measure::LengthUnit::Millimetre, ng, language, code, time, {}, nullptr, shown.first(probes)};
}

inline std::string zeros(size_t n) { return std::string(n, '\0'); }

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "gaugemon-records-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }
    // Names of the files in the directory, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace gaugemon::records::test

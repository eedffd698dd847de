#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "core/settings_store.h"
#include "measure/length_unit.h"
#include "records/atomic_file.h"
#include "records/record_table.h"
#include "statistics/process_statistics.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::statistics {

// The station's statistics and their two settings: how many of the newest
// rows count and the pre-warning share. The station keeps it in step with
// the record table (a row added, the table cleared) and the limits; the
// statistics window reads it and changes the settings through it.
class StatisticsKeeper {
public:
    // Reads both settings.
    explicit StatisticsKeeper(core::SettingsStore& store);

    // Rows taken in per step: a few milliseconds' work.
    static constexpr uint32_t kRowsPerStep = 10'000;
    // After anything that may have added rows or emptied the table; takes in
    // at most kRowsPerStep rows and tells whether every row is in (else the
    // caller comes back in a later step).
    bool rowsChanged(const records::RecordTable& table) { return statistics_.sync(table, kRowsPerStep); }
    void limitsChanged(const tolerance::ToleranceTable& limits, std::span<const records::LimitCounts> characteristics,
                       const records::RecordTable& table) {
        statistics_.setLimits(limits, characteristics, table);
    }

    uint32_t windowRows() const { return statistics_.window(); }
    // Stores the count (0: every row) and counts the rows again.
    void setWindowRows(uint32_t rows, const records::RecordTable& table);

    tolerance::PreWarning preWarning() const { return preWarning_; }
    // Stores the share; the station's verdict takes it from preWarning().
    void setPreWarning(tolerance::PreWarning preWarning);

    const ProcessStatistics& statistics() const { return statistics_; }

private:
    core::SettingsStore& store_;
    ProcessStatistics statistics_;
    tolerance::PreWarning preWarning_;
};

// What the statistics window reads from the station and asks of it. The
// keeper itself is changed only through the commands here.
class StatisticsSources {
public:
    virtual ~StatisticsSources() = default;
    virtual const records::RecordTable& recordTable() const = 0;
    virtual const StatisticsKeeper& statisticsKeeper() const = 0;
    virtual const tolerance::ToleranceTable& tolerances() const = 0;
    // The limits of the characteristics the rows hold
    // (records::characteristicLimitsOf); none by default.
    virtual void characteristicLimitsOfRows(std::span<records::LimitCounts> /*out*/) const {}
    // The unit of the value texts, which the figures follow.
    virtual measure::LengthUnit lengthUnit() const = 0;
    virtual core::Language language() const = 0;
    // The operator changed the pre-warning: store it (StatisticsKeeper),
    // judge the readings with it and redraw the chart.
    virtual void changePreWarning(tolerance::PreWarning preWarning) = 0;

    // Takes in a step of the rows recorded and the limits as they stand.
    void refreshStatistics();
    // The newest `rows` rows count (0: every row), stored for later runs.
    void setStatisticsWindow(uint32_t rows);
    // The table of figures as a CSV file; see statisticsCsv.
    records::FileWriteResult exportStatistics(const std::string& path) const;

protected:
    virtual StatisticsKeeper& changeableKeeper() = 0;
    // Hands the limits as they stand, the probes' and the characteristics',
    // to the statistics.
    void takeLimitsIntoStatistics();
};

}  // namespace gaugemon::statistics

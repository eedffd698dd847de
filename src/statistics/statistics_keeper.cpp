#include "statistics/statistics_keeper.h"

#include <array>

#include "statistics/statistics_export.h"

#include "statistics/statistics_settings.h"

namespace gaugemon::statistics {

StatisticsKeeper::StatisticsKeeper(core::SettingsStore& store)
    : store_(store), statistics_(loadWindowRows(store)), preWarning_(tolerance::loadPreWarning(store)) {
    statistics_.setPreWarning(preWarning_);
}

void StatisticsKeeper::setWindowRows(uint32_t rows, const records::RecordTable& table) {
    storeWindowRows(store_, rows);
    statistics_.setWindow(rows <= records::kMaxRows ? rows : 0, table);
}

void StatisticsKeeper::setPreWarning(tolerance::PreWarning preWarning) {
    preWarning_ = preWarning.on() ? preWarning : tolerance::PreWarning{};
    tolerance::storePreWarning(store_, preWarning_);
    statistics_.setPreWarning(preWarning_);
}

void StatisticsSources::refreshStatistics() {
    changeableKeeper().rowsChanged(recordTable());
    takeLimitsIntoStatistics();
}

void StatisticsSources::takeLimitsIntoStatistics() {
    std::array<records::LimitCounts, measure::kMaxCharacteristics> characteristics{};
    characteristicLimitsOfRows(characteristics);
    changeableKeeper().limitsChanged(tolerances(), characteristics, recordTable());
}

void StatisticsSources::setStatisticsWindow(uint32_t rows) { changeableKeeper().setWindowRows(rows, recordTable()); }

records::FileWriteResult StatisticsSources::exportStatistics(const std::string& path) const {
    return statistics::exportStatistics(path, statisticsKeeper().statistics(), recordTable(), language(), lengthUnit());
}

}  // namespace gaugemon::statistics

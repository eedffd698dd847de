#include <gtest/gtest.h>

#include "records/record_file.h"
#include "records/record_sources.h"
#include "records/table_file.h"
#include "support/memory_settings_store.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::records {
namespace {

// The Chinese header shows the limits the tolerance table judges with, in
// millimetres whatever unit the operator works in.
TEST(HeaderLimits, StoredInchLimitsAreShownInMillimetres) {
    core::MemorySettingsStore store;
    store.writeInt(core::lowerLimitKey(1), 11811);  // 0.11811 in
    store.writeInt(core::upperLimitKey(1), 23622);
    store.writeInt(core::lowerLimitKey(2), -197);  // -0.00197 in
    store.writeInt(core::upperLimitKey(2), 23622);
    tolerance::ToleranceTable tolerances;
    tolerances.load(store, measure::LengthUnit::Inch);

    PlainRecordSources sources;
    sources.probes = 2;
    for (unsigned probe = 1; probe <= 2; ++probe) {
        const tolerance::ProbeLimits& limits = tolerances.limits(probe);
        sources.limitTable[probe - 1] = {limits.lslCounts, limits.uslCounts};
    }

    RecordTable table;
    const std::string header = buildHeader(headerSpecFor(table, sources, false), kTabFormat);
    const std::string upper = "\xC9\xCF\xB9\xAB\xB2\xEE";
    const std::string lower = "\xCF\xC2\xB9\xAB\xB2\xEE";
    EXPECT_NE(header.find("01#    " + upper + "  +06.000 " + lower + "  +03.000"), std::string::npos);
    EXPECT_NE(header.find("02#    " + upper + "  +06.000 " + lower + "  -00.050"), std::string::npos);
}

// A characteristic's limits show its decimals; a name a spreadsheet would
// run as a formula, kept from before such names were refused, is not written.
TEST(HeaderLimits, CharacteristicsShowTheirOwnDecimalsAndNoFormula) {
    HeaderSpec spec;
    spec.characteristics = {{"Runout", 4}, {"=cmd|' /C calc'!A0", 3}, {"Dia", 2}};
    spec.characteristicLimits[0] = {0, 50};
    spec.characteristicLimits[1] = {-1, 1};
    spec.characteristicLimits[2] = {24990, 25015};
    const std::string header = buildHeader(spec, kTabFormat);
    const std::string upper = "\xC9\xCF\xB9\xAB\xB2\xEE";
    const std::string lower = "\xCF\xC2\xB9\xAB\xB2\xEE";
    EXPECT_NE(header.find("\tRunout    " + upper + "  +00.0500 " + lower + "  +00.0000\t"), std::string::npos);
    EXPECT_NE(header.find("\tC2    " + upper + "  +00.001 " + lower + "  -00.001\t"), std::string::npos);
    EXPECT_NE(header.find("\tDia    " + upper + "  +25.015 " + lower + "  +24.99\t"), std::string::npos);
}

}  // namespace
}  // namespace gaugemon::records

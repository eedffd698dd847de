#include <gtest/gtest.h>

#include "records/record_file.h"
#include "records/record_table.h"
#include "records/records_rig.h"

namespace gaugemon::records {
namespace {

using core::Language;
using tolerance::ToleranceTable;

constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

// The rows of a table, written as the export writes them.
std::string exportedRows(const RecordTable& table) {
    struct StringSink : ByteSink {
        std::string bytes;
        int writeOut(const char* data, size_t size) override {
            bytes.append(data, size);
            return 0;
        }
    } sink;
    EXPECT_TRUE(writeRows(table, kCommaFormat, sink));
    sink.flush();
    return sink.bytes;
}

struct NumbersFixture : ::testing::Test {
    test::ShownValues shown;
    std::array<measure::Length, measure::kMaxProbes> readings{};
    ToleranceTable limits;  // 3.000 .. 6.000 mm on every probe
    tolerance::Verdict verdict;

    RowInput input(unsigned probes, bool withNumbers) {
        verdict.judge(std::span(readings).first(probes), limits);
        RowInput in{probes, false, measure::LengthUnit::Millimetre, verdict.anyNg(), Language::English, {}, kTime};
        if (withNumbers) {
            in.readings = std::span(readings).first(probes);
            in.verdict = &verdict;
        }
        return in;
    }
};

TEST_F(NumbersFixture, EveryProbeKeepsItsCountResolutionAndZone) {
    RecordTable table;
    table.prepareColumns({60, false, Language::English});
    for (unsigned k = 0; k < 60; ++k) readings[k] = measure::micrometres(static_cast<int32_t>(4000 + 10 * k));
    readings[1] = measure::tenthMicrometres(45'001);      // 4.5001 mm on a fine probe: OK, not 45 mm
    readings[2] = measure::micrometres(-1);               // NG, below the band
    readings[3] = measure::tenthMicrometres(83'886'080);  // the largest the decoder yields
    readings[4] = measure::micrometres(-16'777'216);      // the most negative it yields
    readings[5] = measure::micrometres(INT32_MAX);        // beyond anything: kept at the storable end
    verdict.setPreWarning({80});
    readings[6] = measure::micrometres(5'950);  // inside the band, in its top 10 %
    ASSERT_EQ(table.appendRow(input(60, true)), AppendResult::Added);

    const RowView row = table.row(0);
    EXPECT_EQ(row.number(1).counts, 4000);
    EXPECT_EQ(row.number(1).zone, RecordedZone::Ok);
    EXPECT_EQ(row.number(2).tenthMicrometres(), 45'001);
    EXPECT_TRUE(row.number(2).fine);
    EXPECT_EQ(row.number(2).zone, RecordedZone::Ok);
    EXPECT_EQ(row.number(3).counts, -1);
    EXPECT_EQ(row.number(3).zone, RecordedZone::Ng);
    EXPECT_EQ(row.number(4).counts, 83'886'080);
    EXPECT_EQ(row.number(5).counts, -16'777'216);
    EXPECT_EQ(row.number(6).counts, ProbeNumber::kLargestCounts);
    EXPECT_EQ(row.number(7).zone, RecordedZone::Warning);
    EXPECT_EQ(row.number(60).counts, 4000 + 10 * 59);
    for (unsigned probe = 1; probe <= 60; ++probe) EXPECT_TRUE(row.number(probe).present) << probe;
}

TEST_F(NumbersFixture, ProbesBeyondTheReadingsAndRowsWithoutReadingsHoldNoNumber) {
    RecordTable table;
    table.prepareColumns({3, false, Language::English});
    RowInput in = input(3, true);
    in.readings = in.readings.first(2);
    in.verdict = nullptr;
    ASSERT_EQ(table.appendRow(in), AppendResult::Added);
    ASSERT_EQ(table.appendRow(input(3, false)), AppendResult::Added);
    EXPECT_TRUE(table.row(0).number(2).present);
    EXPECT_EQ(table.row(0).number(2).zone, RecordedZone::Unjudged);
    EXPECT_FALSE(table.row(0).number(3).present);
    EXPECT_FALSE(table.row(1).number(1).present);
}

// Rows taken from the readings write the same file as rows of the texts
// those readings were shown with.
TEST_F(NumbersFixture, ExportedRowsAreTheSameWithAndWithoutNumbers) {
    RecordTable with;
    RecordTable without;
    for (RecordTable* t : {&with, &without}) t->prepareColumns({4, true, Language::English});
    for (unsigned k = 0; k < 4; ++k) {
        shown.set(k, k == 2 ? " 0.4321 " : "  4.321 ");
        readings[k] = k == 2 ? measure::tenthMicrometres(4321) : measure::micrometres(4321);
    }
    for (int r = 0; r < 3; ++r) {
        RowInput a = input(4, true);
        RowInput b = input(4, false);
        b.numbers = shown.first(4);
        a.codeInput = b.codeInput = true;
        ASSERT_EQ(with.appendRow(a), AppendResult::Added);
        ASSERT_EQ(without.appendRow(b), AppendResult::Added);
    }
    EXPECT_EQ(exportedRows(with), exportedRows(without));
}

TEST_F(NumbersFixture, ARowCopiedOutAndBackKeepsItsNumbers) {
    RecordTable source;
    RecordTable copy;
    for (RecordTable* t : {&source, &copy}) t->prepareColumns({2, false, Language::English});
    readings[0] = measure::tenthMicrometres(-2500);
    readings[1] = measure::micrometres(7000);
    ASSERT_EQ(source.appendRow(input(2, true)), AppendResult::Added);
    ASSERT_EQ(copy.appendRowBytes(source.row(0).bytes()), AppendResult::Added);
    EXPECT_EQ(copy.row(0).number(1).tenthMicrometres(), -2500);
    EXPECT_EQ(copy.row(0).number(2).zone, RecordedZone::Ng);
}

TEST(RowNumbersMemory, FourBytesPerProbeAndAFullTableUnder350MB) {
    for (bool codes : {false, true}) {
        const RowShape with = RowShape::of({60, codes, Language::English});
        const RowShape one = RowShape::of({1, codes, Language::English});
        EXPECT_EQ(with.stride - one.stride, 59 * kProbeNumberBytes);
        EXPECT_LE(with.stride, 320u);
        const size_t chunks = (kMaxRows + RecordTable::kRowsPerChunk - 1) / RecordTable::kRowsPerChunk;
        EXPECT_LT(chunks * RecordTable::kRowsPerChunk * with.stride, size_t{350'000'000});
    }
}

TEST(RecorderNumbers, TheRowTakesTheReadingsAndVerdictTheSourcesShow) {
    test::RecordsRig rig;
    rig.sources.withReadings = true;
    rig.sources.judged = true;
    rig.sources.readings[0] = measure::micrometres(3001);
    rig.sources.readings[1] = measure::tenthMicrometres(-520);
    ToleranceTable limits;
    rig.sources.verdict.judge(rig.sources.shownReadings(), limits);
    rig.connect();
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).number(1).counts, 3001);
    EXPECT_EQ(rig.table().row(0).number(1).zone, RecordedZone::Ok);
    EXPECT_EQ(rig.table().row(0).number(2).tenthMicrometres(), -520);
    EXPECT_EQ(rig.table().row(0).number(2).zone, RecordedZone::Ng);
}

}  // namespace
}  // namespace gaugemon::records

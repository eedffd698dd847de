#include "records/record_file.h"

#include <gtest/gtest.h>

#include "records/table_file.h"
#include "records_test_support.h"

namespace gaugemon::records {
namespace {

using core::Language;
using namespace std::string_literals;
using test::zeros;

constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

// GBK bytes of the Chinese header words, spelled out here by hand.
const std::string kNumZh = "\xD0\xF2\xBA\xC5";
const std::string kCodeZh = "\xB1\xE0\xC2\xEB";
const std::string kResultZh = "\xBD\xE1\xB9\xFB";
const std::string kTimeZh = "\xCA\xB1\xBC\xE4";
const std::string kUpperZh = "\xC9\xCF\xB9\xAB\xB2\xEE";
const std::string kLowerZh = "\xCF\xC2\xB9\xAB\xB2\xEE";
const std::string kOkZh = "\xBA\xCF\xB8\xF1";

struct FileFixture : ::testing::Test {
    RecordTable table;
    PlainRecordSources sources;
    test::ShownValues shown{"  3.001 ", "- 0.052 "};

    void record(bool codes = false, std::string_view code = {}, Language language = Language::English) {
        table.appendRow(
            test::rowShowing(shown, sources.probes, codes, sources.ng, language, WorkpieceCode::fromGbk(code), kTime));
    }
    std::string file(RecordFileFormat format) {
        StringSink sink;
        sink.write(buildHeader(headerSpecFor(table, sources, false), format));
        EXPECT_TRUE(writeRows(table, format, sink));
        return sink.bytes();
    }
};

TEST_F(FileFixture, EnglishTabFileOfTwoProbes) {
    sources.lang = Language::English;
    sources.probes = 2;
    table.prepareColumns({2, false, Language::English});
    record();
    sources.ng = true;
    record();
    const std::string expected = "Num\tS01\tS02\tResult\tTime\n"s + "000001" + zeros(1) + "\t  3.001 \t- 0.052 \t OK " +
                                 zeros(4) + "\t2019-11-29; 13:52:30\n" + "000002" + zeros(1) +
                                 "\t  3.001 \t- 0.052 \t NG " + zeros(4) + "\t2019-11-29; 13:52:30\n";
    EXPECT_EQ(file(kTabFormat), expected);
}

TEST_F(FileFixture, SameTableAsCommaFileWithCrLf) {
    sources.lang = Language::English;
    sources.probes = 2;
    table.prepareColumns({2, false, Language::English});
    record();
    const std::string expected = "Num,S01,S02,Result,Time\r\n"s + "000001" + zeros(1) + ",  3.001 ,- 0.052 , OK " +
                                 zeros(4) + ",2019-11-29; 13:52:30\r\n";
    EXPECT_EQ(file(kCommaFormat), expected);
}

TEST(ExportFilters, OnlyTheFirstWritesTabs) {
    EXPECT_EQ(formatForFilter(0).separator, '\t');
    EXPECT_EQ(formatForFilter(0).lineEnd, "\n");
    for (int index : {1, 2, 7}) {
        EXPECT_EQ(formatForFilter(index).separator, ',') << index;
        EXPECT_EQ(formatForFilter(index).lineEnd, "\r\n") << index;
    }
}

TEST_F(FileFixture, ChineseHeaderCarriesBothLimitsOfEveryProbe) {
    sources.lang = Language::Chinese;
    sources.probes = 2;
    sources.limitTable[0] = {3000, 6000};
    sources.limitTable[1] = {-50, 6000};
    table.prepareColumns({2, false, Language::Chinese});
    const std::string expected = kNumZh + "\t01#    " + kUpperZh + "  +06.000 " + kLowerZh + "  +03.000" + "\t02#    " +
                                 kUpperZh + "  +06.000 " + kLowerZh + "  -00.050" + "\t" + kResultZh + "\t" + kTimeZh +
                                 "\n";
    EXPECT_EQ(file(kTabFormat), expected);
}

TEST_F(FileFixture, ChineseRowWithAllDigitCode) {
    sources.lang = Language::Chinese;
    sources.probes = 1;
    table.prepareColumns({1, true, Language::Chinese});
    record(true, "0123", Language::Chinese);
    const std::string expected = kNumZh + "\t" + kCodeZh + "\t01#    " + kUpperZh + "  +06.000 " + kLowerZh +
                                 "  +03.000\t" + kResultZh + "\t" + kTimeZh + "\n" + "000001" + zeros(1) + "\t/0123" +
                                 zeros(31) + "\t  3.001 \t" + kOkZh + zeros(4) + "\t2019-11-29; 13:52:30\n";
    EXPECT_EQ(file(kTabFormat), expected);
}

TEST_F(FileFixture, EveryDataLineHasTheSameLength) {
    sources.probes = 2;
    table.prepareColumns({2, true, Language::English});
    record(true, "");
    record(true, "A-17/x");
    record(true, std::string(kMaxCodeBytes, 'Z'));
    const std::string bytes = file(kCommaFormat);
    const size_t line = 2 * 9 + 37 + 37 + 2;
    ASSERT_EQ(lineBytes(table.shape(), kCommaFormat), line);
    const size_t header = bytes.find("\r\n") + 2;
    ASSERT_EQ(bytes.size(), header + 3 * line);
    for (size_t r = 0; r < 3; ++r) EXPECT_EQ(bytes.substr(header + r * line + line - 2, 2), "\r\n");
}

TEST_F(FileFixture, HeaderFollowsTheRowsHeldNotANewerConnection) {
    sources.lang = Language::English;
    sources.probes = 2;
    table.prepareColumns({2, false, Language::English});
    record();
    // Connected now to a 5-probe instrument with code input on; the rows
    // still have two values and no code.
    table.prepareColumns({5, true, Language::English});
    sources.probes = 5;
    const std::string bytes = file(kTabFormat);
    EXPECT_EQ(bytes.substr(0, bytes.find('\n')), "Num\tS01\tS02\tResult\tTime");
}

TEST_F(FileFixture, EmptyTableGivesTheHeaderOnly) {
    sources.lang = Language::English;
    sources.probes = 3;
    EXPECT_EQ(file(kTabFormat), "Num\tS01\tS02\tS03\tResult\tTime\n");
}

TEST_F(FileFixture, LanguageOfTheMomentForTheHeaderResultsOfRecording) {
    sources.probes = 1;
    table.prepareColumns({1, false, Language::English});
    record(false, {}, Language::English);
    sources.lang = Language::Chinese;
    const std::string bytes = file(kTabFormat);
    EXPECT_EQ(bytes.substr(0, 4), kNumZh);
    EXPECT_NE(bytes.find("\t OK "), std::string::npos);
}

TEST(MaximumTable, AllRowsAreWrittenToTheFile) {
    RecordTable table;
    PlainRecordSources sources;
    sources.lang = Language::English;
    sources.probes = 1;
    const test::ShownValues shown{"  1.000 "};
    table.prepareColumns({1, false, Language::English});
    for (uint32_t r = 0; r < kMaxRows; ++r)
        ASSERT_EQ(table.appendRow(test::rowShowing(shown, 1, false, false, Language::English, {}, kTime)),
                  AppendResult::Added);

    test::TempDir dir;
    const auto path = dir / "all.xls";
    ASSERT_TRUE(writeTableFile(table, sources, false, kTabFormat, path.string()).ok);
    const std::string bytes = test::readFile(path);
    const std::string header = "Num\tS01\tResult\tTime\n";
    const size_t line = 7 + 9 + 9 + 21 + 1;
    ASSERT_EQ(bytes.size(), header.size() + size_t{kMaxRows} * line);
    EXPECT_EQ(bytes.substr(header.size() + size_t{kMaxRows - 1} * line, 6), "999999");
    EXPECT_EQ(bytes.substr(header.size() + size_t{274'192} * line, 6), "274193");
    EXPECT_FALSE(table.hasUnsavedRows());
}

}  // namespace
}  // namespace gaugemon::records

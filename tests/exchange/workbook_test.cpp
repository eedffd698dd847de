#include <gtest/gtest.h>

#include <clocale>
#include <optional>

#include "display/value_text.h"
#include "exchange/exchange.h"
#include "exchange_test_support.h"
#include "support/memory_settings_store.h"
#include "tolerance/verdict.h"
#include "workbook_reader.h"

namespace gaugemon::exchange {
namespace {

using test::TempDir;
using test::TestRow;

constexpr const char* kRed = "9C0006";
constexpr const char* kRedFill = "FFC7CE";

void expectText(const test::ReadWorkbook& book, const std::string& at, const std::string& text) {
    ASSERT_TRUE(book.has(at)) << at;
    EXPECT_EQ(book.cells.at(at).type, "s") << at;
    EXPECT_EQ(book.cells.at(at).value, "'" + text + "'") << at;
}

void expectNumber(const test::ReadWorkbook& book, const std::string& at, double value, const std::string& format,
                  bool red = false) {
    ASSERT_TRUE(book.has(at)) << at;
    const test::ReadCell& cell = book.cells.at(at);
    EXPECT_EQ(cell.type, "n") << at;
    EXPECT_DOUBLE_EQ(std::stod(cell.value), value) << at;
    EXPECT_EQ(cell.format, format) << at;
    EXPECT_EQ(cell.font, red ? kRed : "-") << at;
    EXPECT_EQ(cell.fill, red ? kRedFill : "-") << at;
}

void expectTime(const test::ReadWorkbook& book, const std::string& at, const std::string& moment) {
    ASSERT_TRUE(book.has(at)) << at;
    EXPECT_EQ(book.cells.at(at).type, "d") << at;
    EXPECT_EQ(book.cells.at(at).value, moment) << at;
    EXPECT_EQ(book.cells.at(at).format, "yyyy-mm-dd hh:mm:ss") << at;
}

ExchangeResult writeWorkbookFile(records::RecordTable& table, const records::RecordSources& sources,
                                 const std::string& path, LengthUnit unit = LengthUnit::Millimetre) {
    ExchangeOptions options;
    options.unit = unit;
    return writeExchangeFile(ExchangeFormat::Workbook, table, sources, false, options, path);
}

TEST(Workbook, ASpreadsheetReaderFindsNumbersLimitsVerdictsColoursTimesAndAFrozenHeader) {
    records::RecordTable table;
    test::fillTable(table, 2, true, core::Language::English,
                    {
                        TestRow{{"  4.000 ", "  0.020 "}, false, "00123", {2019, 11, 29, 13, 52, 30}},
                        TestRow{{"  6.001 ", " -0.060 "}, true, "A12", {2020, 2, 29, 23, 59, 59}},
                        TestRow{{" 1.2345 ", std::string_view("\0\0\0\0\0\0\0\0", 8)}, true, "", {}},
                    });
    auto sources = test::englishSources(2);
    sources.limitTable[1] = {-50, 50};
    TempDir dir;
    const ExchangeResult result = writeWorkbookFile(table, sources, (dir / "day.xlsx").string());
    ASSERT_TRUE(result.ok()) << exchangeMessage(result, core::Language::English);
    EXPECT_FALSE(table.hasUnsavedRows());

    const test::ReadWorkbook book = test::readWorkbook((dir / "day.xlsx").string());
    ASSERT_FALSE(book.cells.empty()) << book.transcript();
    EXPECT_EQ(book.sheet, "Records");
    EXPECT_EQ(book.freeze, "A4");
    expectText(book, "A1", "Num");
    expectText(book, "B1", "Code");
    expectText(book, "C1", "S01 (mm)");
    expectText(book, "D1", "S02 (mm)");
    expectText(book, "E1", "Result");
    expectText(book, "F1", "Time");
    expectText(book, "A2", "USL");
    expectNumber(book, "C2", 6.0, "0.000");
    expectNumber(book, "D2", 0.05, "0.000");
    expectText(book, "A3", "LSL");
    expectNumber(book, "C3", 3.0, "0.000");
    expectNumber(book, "D3", -0.05, "0.000");

    expectNumber(book, "A4", 1, "000000");
    expectText(book, "B4", "00123");  // the code as typed, without the '/' the record files put in front
    expectNumber(book, "C4", 4.0, "0.000");
    expectNumber(book, "D4", 0.02, "0.000");
    expectText(book, "E4", "OK");
    EXPECT_EQ(book.cells.at("E4").font, "-");
    expectTime(book, "F4", "2019-11-29 13:52:30");

    expectText(book, "B5", "A12");
    expectNumber(book, "C5", 6.001, "0.000", true);
    expectNumber(book, "D5", -0.06, "0.000", true);
    expectText(book, "E5", "NG");
    EXPECT_EQ(book.cells.at("E5").font, kRed);
    expectTime(book, "F5", "2020-02-29 23:59:59");

    expectNumber(book, "A6", 3, "000000");
    EXPECT_FALSE(book.has("B6"));  // no code typed
    expectNumber(book, "C6", 1.2345, "0.0000", true);
    EXPECT_FALSE(book.has("D6"));  // a slot without a number stays empty
    EXPECT_FALSE(book.has("A7"));
}

TEST(Workbook, ValuesOfEitherUnitAreWrittenInTheUnitChosenUnderChineseTitles) {
    records::RecordTable table;
    test::fillTable(table, 1, false, core::Language::Chinese,
                    {TestRow{{"  2.345 "}, false}, TestRow{{" 0.48600"}, true},
                     TestRow{{"  4.000 "}, false, "", {2019, 13, 40, 25, 0, 0}}});
    records::PlainRecordSources sources;  // Chinese, limits 3.000 and 6.000 mm
    TempDir dir;
    ASSERT_TRUE(writeWorkbookFile(table, sources, (dir / "in.xlsx").string(), LengthUnit::Inch).ok());

    const test::ReadWorkbook book = test::readWorkbook((dir / "in.xlsx").string());
    EXPECT_EQ(book.sheet, "记录");
    expectText(book, "A1", "序号");
    expectText(book, "B1", "测头01 (in)");
    expectText(book, "C1", "结果");
    expectText(book, "D1", "时间");
    expectText(book, "A2", "上公差");
    expectNumber(book, "B2", 0.23622, "0.00000");
    expectNumber(book, "B3", 0.11811, "0.00000");
    expectNumber(book, "B4", 0.09232, "0.00000", true);  // 2.345 mm, below 3 mm
    expectNumber(book, "B5", 0.486, "0.00000", true);    // recorded in inch, above 0.23622 in
    expectText(book, "C4", "合格");
    expectText(book, "C5", "超差");
    EXPECT_EQ(book.cells.at("C5").fill, kRedFill);
    expectText(book, "D6", "2019-13-40; 25:00:00");  // a stamp that is no real moment stays as recorded
}

// The "合格 with a red cell" fault: a cell was judged with the limits of the
// moment of saving while the Result column kept the verdict of recording.
TEST(Workbook, ACellKeepsItsRecordedJudgementAfterALimitChange) {
    core::MemorySettingsStore store;
    tolerance::ToleranceTable limits;
    limits.load(store, LengthUnit::Millimetre);  // 3.000 .. 6.000 mm
    records::RecordTable table;
    table.prepareColumns({1, false, core::Language::Chinese});
    for (const int32_t counts : {5500, 6500}) {
        const std::array<measure::Length, 1> readings{measure::micrometres(counts)};
        tolerance::Verdict verdict;
        verdict.judge(readings, limits);
        records::RowInput in{
            1, false, LengthUnit::Millimetre, verdict.anyNg(), core::Language::Chinese, {}, {2026, 12, 8, 7, 0, 0}};
        in.readings = readings;
        in.verdict = &verdict;
        ASSERT_EQ(table.appendRow(in), records::AppendResult::Added);
    }
    records::PlainRecordSources sources;
    sources.limitTable[0] = {3000, 5000};  // narrowed after recording: 5.500 is beyond, 6.500 too
    TempDir dir;
    ASSERT_TRUE(writeWorkbookFile(table, sources, (dir / "day.xlsx").string()).ok());
    test::ReadWorkbook book = test::readWorkbook((dir / "day.xlsx").string());
    expectNumber(book, "B4", 5.5, "0.000");
    expectText(book, "C4", "合格");
    expectNumber(book, "B5", 6.5, "0.000", true);
    expectText(book, "C5", "超差");

    sources.limitTable[0] = {3000, 7000};  // widened: 6.500 is within now, and still recorded NG
    ASSERT_TRUE(writeWorkbookFile(table, sources, (dir / "day.xlsx").string()).ok());
    book = test::readWorkbook((dir / "day.xlsx").string());
    expectNumber(book, "B4", 5.5, "0.000");
    expectNumber(book, "B5", 6.5, "0.000", true);
    expectText(book, "C5", "超差");
}

TEST(Workbook, AWorkbookCutShortByAFileSizeLimitFailsAndLeavesThePreviousFileAlone) {
    records::RecordTable table;
    std::vector<TestRow> rows(3000, TestRow{{"  4.000 ", "  5.000 ", "  6.500 ", "  2.000 "}, true});
    test::fillTable(table, 4, false, core::Language::English, rows);
    const auto sources = test::englishSources(4);
    TempDir dir;
    const auto target = dir / "day.xlsx";
    test::writeFile(target, "previous");

    ExchangeResult result;
    {
        test::FileSizeLimit limit(32 * 1024);
        result = writeWorkbookFile(table, sources, target.string());
    }
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.file.error, 0);
    EXPECT_EQ(test::readFile(target), "previous");
    EXPECT_EQ(dir.entryCount(), 1u);
    EXPECT_TRUE(table.hasUnsavedRows());
    EXPECT_NE(exchangeMessage(result, core::Language::English).find("previous file"), std::string::npos);
}

TEST(Workbook, NumbersReadBackAsNumbersUnderALocaleWithADecimalComma) {
    records::RecordTable table;
    test::fillTable(table, 1, false, core::Language::English, {TestRow{{"  4.321 "}}});
    TempDir dir;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    const ExchangeResult result = writeWorkbookFile(table, test::englishSources(1), (dir / "de.xlsx").string());
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(result.ok());
    const test::ReadWorkbook book = test::readWorkbook((dir / "de.xlsx").string());
    expectNumber(book, "B4", 4.321, "0.000");
    expectNumber(book, "B2", 6.0, "0.000");
    expectTime(book, "D4", "2019-11-29 13:52:30");
}

TEST(ExchangeFilters, FollowTheRecordFileFiltersInTheSaveDialog) {
    EXPECT_FALSE(exchangeFormatForFilter(2, 3));
    EXPECT_EQ(exchangeFormatForFilter(3, 3), ExchangeFormat::Workbook);
    EXPECT_EQ(exchangeFormatForFilter(4, 3), ExchangeFormat::Aqdef);
    EXPECT_FALSE(exchangeFormatForFilter(6, 3));
    EXPECT_FALSE(exchangeFormatForFilter(-1, 3));
    EXPECT_EQ(exchangeFormatForFilter(5, 3), ExchangeFormat::Utf8Csv);
}

// "wrong.xlsx" under the .xls filter was tab-separated text, and a workbook
// chosen by its filter was written under a name without a suffix.
TEST(ExchangeFilters, TheTypedExtensionAndTheWrittenFormatAgree) {
    struct Case {
        int filter;
        const char* name;
        std::optional<ExchangeFormat> format;  // nothing: a record file of the filter
        const char* written;
    };
    const Case cases[] = {
        {0, "wrong.xlsx", ExchangeFormat::Workbook, "wrong.xlsx"},
        {1, "day.DFQ", ExchangeFormat::Aqdef, "day.DFQ"},
        {2, "/data/v1.2/day.Xlsx", ExchangeFormat::Workbook, "/data/v1.2/day.Xlsx"},
        {4, "day.xlsx", ExchangeFormat::Workbook, "day.xlsx"},
        {3, "noext", ExchangeFormat::Workbook, "noext.xlsx"},
        {4, "/data/v1.2/noext", ExchangeFormat::Aqdef, "/data/v1.2/noext.dfq"},
        {5, "noext", ExchangeFormat::Utf8Csv, "noext.csv"},
        {5, "day.txt", ExchangeFormat::Utf8Csv, "day.txt"},
        {3, ".hidden", ExchangeFormat::Workbook, ".hidden.xlsx"},
        {0, "day.csv", std::nullopt, ""},  // the record files follow their filter alone
        {1, "day.xls", std::nullopt, ""},
        {0, "noext", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const auto save = exchangeSaveFor(core::SaveChoice{c.name, c.filter}, 3);
        ASSERT_EQ(save.has_value(), c.format.has_value()) << c.name;
        if (!save) continue;
        EXPECT_EQ(save->format, *c.format) << c.name;
        EXPECT_EQ(save->path, c.written) << c.name;
    }
}

}  // namespace
}  // namespace gaugemon::exchange

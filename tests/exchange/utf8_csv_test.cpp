#include <gtest/gtest.h>

#include "exchange/exchange.h"
#include "exchange_test_support.h"

namespace gaugemon::exchange {
namespace {

using test::TempDir;
using test::TestRow;

std::string writeCsv(records::RecordTable& table, const records::PlainRecordSources& sources, bool codes,
                     LengthUnit unit = LengthUnit::Millimetre) {
    TempDir dir;
    ExchangeOptions options;
    options.unit = unit;
    const ExchangeResult result =
        writeExchangeFile(ExchangeFormat::Utf8Csv, table, sources, codes, options, (dir / "day.csv").string());
    EXPECT_TRUE(result.ok()) << exchangeMessage(result, core::Language::English);
    return test::readFile(dir / "day.csv");
}

// What a spreadsheet needs to open it without being asked: the mark of
// UTF-8, commas, plain numbers, date-times it recognises, quotes only where a
// field needs them; and a code cannot smuggle a formula in.
TEST(Utf8Csv, CarriesTheMarkPlainNumbersIsoTimesAndQuotedCodes) {
    records::RecordTable table;
    test::fillTable(
        table, 2, true, core::Language::English,
        {
            TestRow{{"  4.000 ", " 0.48600"}, false, "A,\"1\"", {2019, 11, 29, 13, 52, 30}},
            TestRow{{" 1.2345 ", std::string_view("\0\0\0\0\0\0\0\0", 8)}, true, "=1+2", {2019, 13, 1, 0, 0, 0}},
            TestRow{{" -0.060 ", "  0.000 "}, false, "\xB1\xE0\xC2\xEB", {2020, 2, 29, 23, 59, 59}},
        });
    EXPECT_EQ(writeCsv(table, test::englishSources(2), true),
              "\xEF\xBB\xBF"
              "Num,Code,S01 (mm),S02 (mm),Result,Time\r\n"
              "1,\"A,\"\"1\"\"\",4.000,12.344,OK,2019-11-29 13:52:30\r\n"
              "2,\"'=1+2\",1.2345,,NG,2019-13-01; 00:00:00\r\n"
              "3,编码,-0.060,0.000,OK,2020-02-29 23:59:59\r\n");
}

TEST(Utf8Csv, ChineseTitlesAndInchValuesWithoutACodeColumn) {
    records::RecordTable table;
    test::fillTable(table, 1, false, core::Language::Chinese, {TestRow{{"  2.345 "}, true}});
    records::PlainRecordSources sources;
    EXPECT_EQ(writeCsv(table, sources, false, LengthUnit::Inch),
              "\xEF\xBB\xBF"
              "序号,测头01 (in),结果,时间\r\n"
              "1,0.09232,超差,2019-11-29 13:52:30\r\n");
}

}  // namespace
}  // namespace gaugemon::exchange

#include <gtest/gtest.h>

#include "aqdef_reader.h"
#include "exchange/exchange.h"
#include "exchange_test_support.h"
#include "workbook_reader.h"

namespace gaugemon::exchange {
namespace {

using test::TempDir;

TEST(FullTable, AllOfItsRowsGoIntoEveryExchangeFormat) {
    records::RecordTable table;
    test::fillTable(table, 1, true, core::Language::English, {});
    const std::array<measure::Length, 1> reading{measure::micrometres(4321)};
    const records::RowInput input{1,
                                  true,
                                  LengthUnit::Millimetre,
                                  false,
                                  core::Language::English,
                                  records::WorkpieceCode::fromGbk("W-7"),
                                  {2019, 11, 29, 13, 52, 30},
                                  reading};
    while (table.appendRow(input) == records::AppendResult::Added) {
    }
    ASSERT_EQ(table.rowCount(), records::kMaxRows);
    const auto sources = test::englishSources(1);
    ExchangeOptions options;
    options.partNumber = "P";
    TempDir dir;

    ASSERT_TRUE(
        writeExchangeFile(ExchangeFormat::Aqdef, table, sources, true, options, (dir / "all.dfq").string()).ok());
    const test::AqdefFile file = test::readAqdef(test::readFile(dir / "all.dfq"));
    ASSERT_EQ(file.parts.size(), records::kMaxRows);
    EXPECT_EQ(file.parts.back().values.at(0).text, "4.321");
    EXPECT_EQ(file.parts.back().fields.at("K0014"), "W-7");

    ASSERT_TRUE(
        writeExchangeFile(ExchangeFormat::Workbook, table, sources, true, options, (dir / "all.xlsx").string()).ok());
    const auto lines = test::runReader("rows", (dir / "all.xlsx").string());
    ASSERT_EQ(lines.size(), 2u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "rows\t1000002");  // three header rows and every recorded row
    // Row number, code, value, verdict and the time as a day number: 2019-11-29 13:52:30.
    EXPECT_EQ(lines[1], "last\t999999\tW-7\t4.321\tOK\t43798.578125");
}

}  // namespace
}  // namespace gaugemon::exchange

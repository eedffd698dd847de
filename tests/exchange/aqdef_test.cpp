#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <locale>
#include <mutex>
#include <optional>

#include "aqdef_reader.h"
#include "exchange/aqdef_export.h"
#include "exchange/exchange.h"
#include "exchange/workbook_export.h"
#include "exchange_test_support.h"

namespace gaugemon::exchange {
namespace {

using test::TempDir;
using test::TestRow;

ExchangeOptions partOptions(LengthUnit unit = LengthUnit::Millimetre) {
    ExchangeOptions options;
    options.unit = unit;
    options.partNumber = "4711-A";
    options.partDescription = "Shaft 20 h6";
    return options;
}

// Two probes with codes: limits 3.000..6.000 and -0.050..0.051 mm.
struct CodedDay {
    records::RecordTable table;
    records::PlainRecordSources sources = test::englishSources(2);
    CodedDay() {
        sources.limitTable[1] = {-50, 51};
        test::fillTable(table, 2, true, core::Language::English,
                        {
                            TestRow{{"  4.000 ", "  0.020 "}, false, "00123", {2019, 11, 29, 13, 52, 30}},
                            TestRow{{"  6.001 ", " -0.060 "}, true, "", {2020, 2, 29, 23, 59, 59}},
                            TestRow{{" 1.2345 ", std::string_view("\0\0\0\0\0\0\0\0", 8)},
                                    true,
                                    "\xB1\xE0\xC2\xEB",
                                    {2019, 13, 1, 0, 0, 0}},
                        });
    }
};

TEST(Aqdef, AReaderOfTheFormatFindsThePartEveryCharacteristicsLimitsAndEveryValue) {
    CodedDay day;
    TempDir dir;
    const auto target = dir / "day.dfq";
    const ExchangeResult result =
        writeExchangeFile(ExchangeFormat::Aqdef, day.table, day.sources, true, partOptions(), target.string());
    ASSERT_TRUE(result.ok()) << exchangeMessage(result, core::Language::English);
    EXPECT_FALSE(day.table.hasUnsavedRows());

    const test::AqdefFile file = test::readAqdef(test::readFile(target));
    EXPECT_TRUE(file.problems.empty());
    EXPECT_TRUE(file.utf8Marked);
    EXPECT_EQ(file.partFields.at("K0100"), "2");
    EXPECT_EQ(file.partFields.at("K1001"), "4711-A");
    EXPECT_EQ(file.partFields.at("K1002"), "Shaft 20 h6");

    ASSERT_EQ(file.characteristics.size(), 2u);
    const auto& first = file.characteristics.at(1);
    EXPECT_EQ(first.at("K2001"), "S01");
    EXPECT_EQ(first.at("K2002"), "Probe 01");
    EXPECT_EQ(first.at("K2022"), "4");  // 1.2345 from a fine probe
    EXPECT_EQ(first.at("K2101"), "4.500");
    EXPECT_EQ(first.at("K2110"), "3.000");
    EXPECT_EQ(first.at("K2111"), "6.000");
    EXPECT_EQ(first.at("K2142"), "mm");
    const auto& second = file.characteristics.at(2);
    EXPECT_EQ(second.at("K2001"), "S02");
    EXPECT_EQ(second.at("K2022"), "3");
    EXPECT_EQ(second.at("K2101"), "0.0005");  // the middle of -0.050..0.051 needs a fourth decimal
    EXPECT_EQ(second.at("K2110"), "-0.050");
    EXPECT_EQ(second.at("K2111"), "0.051");

    ASSERT_EQ(file.parts.size(), 3u);
    const std::vector<std::vector<std::string>> values{{"4.000", "0.020"}, {"6.001", "-0.060"}, {"1.2345", ""}};
    const std::vector<std::string> times{"29.11.2019/13:52:30", "29.02.2020/23:59:59", ""};
    for (size_t p = 0; p < 3; ++p) {
        ASSERT_EQ(file.parts[p].values.size(), 2u) << p;
        for (size_t k = 0; k < 2; ++k) {
            const test::AqdefValue& value = file.parts[p].values[k];
            EXPECT_EQ(value.text, values[p][k]) << p << k;
            EXPECT_EQ(value.number.has_value(), !values[p][k].empty()) << p << k;
            EXPECT_EQ(value.attribute, values[p][k].empty() ? 255 : 0) << p << k;
            EXPECT_EQ(value.dateTime, times[p]) << p << k;
        }
    }
    EXPECT_EQ(file.parts[0].fields.at("K0014"), "00123");
    EXPECT_EQ(file.parts[1].fields.count("K0014"), 0u);  // no code typed
    EXPECT_EQ(file.parts[2].fields.at("K0014"), "编码");
}

// Readers file the parts by K1001: without a part number it names the station.
TEST(Aqdef, ThePartNumberIsNeverEmpty) {
    const struct {
        const char* partNumber;
        const char* stationName;
        const char* k1001;
    } cases[] = {{"4711-A", "line-3", "4711-A"}, {"", "line-3", "line-3"}, {"", "", "station"}};
    for (const auto& c : cases) {
        CodedDay day;
        TempDir dir;
        ExchangeOptions options = partOptions();
        options.partNumber = c.partNumber;
        options.stationName = c.stationName;
        ASSERT_TRUE(
            writeExchangeFile(ExchangeFormat::Aqdef, day.table, day.sources, true, options, (dir / "p.dfq").string())
                .ok());
        EXPECT_EQ(test::readAqdef(test::readFile(dir / "p.dfq")).partFields.at("K1001"), c.k1001);
    }
}

TEST(Aqdef, InchFilesConvertEveryValueAndLimit) {
    records::RecordTable table;
    test::fillTable(table, 1, false, core::Language::Chinese, {TestRow{{"  2.345 "}}, TestRow{{" 0.48600"}}});
    records::PlainRecordSources sources;
    TempDir dir;
    ASSERT_TRUE(writeExchangeFile(ExchangeFormat::Aqdef, table, sources, false, partOptions(LengthUnit::Inch),
                                  (dir / "in.dfq").string())
                    .ok());
    const test::AqdefFile file = test::readAqdef(test::readFile(dir / "in.dfq"));
    EXPECT_EQ(file.characteristics.at(1).at("K2002"), "测头01");
    EXPECT_EQ(file.characteristics.at(1).at("K2110"), "0.11811");
    EXPECT_EQ(file.characteristics.at(1).at("K2111"), "0.23622");
    EXPECT_EQ(file.characteristics.at(1).at("K2142"), "in");
    EXPECT_EQ(file.characteristics.at(1).at("K2022"), "5");
    ASSERT_EQ(file.parts.size(), 2u);
    EXPECT_EQ(file.parts[0].values[0].text, "0.09232");
    EXPECT_EQ(file.parts[1].values[0].text, "0.48600");
    EXPECT_TRUE(file.parts[0].fields.empty());  // no code column, no part ident
}

TEST(Aqdef, NumbersKeepTheirDecimalPointUnderALocaleWithADecimalComma) {
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!german) GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    std::locale::global(std::locale("de_DE.UTF-8"));
    CodedDay day;
    TempDir dir;
    const ExchangeResult result = writeExchangeFile(ExchangeFormat::Aqdef, day.table, day.sources, true, partOptions(),
                                                    (dir / "de.dfq").string());
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(result.ok());
    const test::AqdefFile file = test::readAqdef(test::readFile(dir / "de.dfq"));
    EXPECT_EQ(file.characteristics.at(2).at("K2110"), "-0.050");
    EXPECT_EQ(file.parts.at(1).values.at(0).text, "6.001");
    EXPECT_EQ(test::readFile(dir / "de.dfq").find(','), std::string::npos);
}

TEST(Aqdef, CodesAndPartTextsTheFormatCannotCarryAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const auto target = dir / "day.dfq";
    for (std::string_view code : {std::string_view("A\nB"),
                                  std::string_view("A\x0F"
                                                   "B"),
                                  std::string_view("\xFF\xFF")}) {
        records::RecordTable table;
        test::fillTable(table, 1, true, core::Language::English,
                        {TestRow{{"  4.000 "}, false, "fine"}, TestRow{{"  4.000 "}, false, code}});
        test::writeFile(target, "previous");
        const ExchangeResult result = writeExchangeFile(ExchangeFormat::Aqdef, table, test::englishSources(1), true,
                                                        partOptions(), target.string());
        EXPECT_FALSE(result.ok());
        EXPECT_NE(result.refusal.find("row 000002"), std::string::npos) << result.refusal;
        EXPECT_EQ(exchangeMessage(result, core::Language::English), result.refusal);
        EXPECT_EQ(test::readFile(target), "previous");
        EXPECT_EQ(dir.entryCount(), 1u);
        EXPECT_TRUE(table.hasUnsavedRows());
    }
    records::RecordTable table;
    test::fillTable(table, 1, false, core::Language::English, {TestRow{{"  4.000 "}}});
    ExchangeOptions options = partOptions();
    options.partDescription = "two\r\nlines";
    const ExchangeResult result =
        writeExchangeFile(ExchangeFormat::Aqdef, table, test::englishSources(1), false, options, target.string());
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.refusal.find("part description"), std::string::npos);
    EXPECT_EQ(test::readFile(target), "previous");
}

// The writer's thread: the same bytes as a write on the spot, a refusal told
// beside the file's result, and a stop that leaves the previous file.
TEST(ExchangeOnTheWriter, WritesTheBytesOfAWriteOnTheSpotAndTellsARefusalWhenDone) {
    std::vector<std::function<void()>> posted;
    std::mutex mutex;
    records::SnapshotWriter writer([&](std::function<void()> call) {
        const std::lock_guard lock(mutex);
        posted.push_back(std::move(call));
    });
    const auto deliver = [&] {
        writer.finishWrite();
        for (auto& call : posted) call();
        posted.clear();
    };
    CodedDay day;
    TempDir dir;
    ASSERT_TRUE(writeExchangeFile(ExchangeFormat::Aqdef, day.table, day.sources, true, partOptions(),
                                  (dir / "spot.dfq").string())
                    .ok());
    std::optional<ExchangeResult> told;
    const auto tell = [&told](const ExchangeResult& result) { told = result; };
    ASSERT_TRUE(startExchangeFile(writer, ExchangeFormat::Aqdef, day.table, day.sources, true, partOptions(),
                                  (dir / "writer.dfq").string(), tell));
    EXPECT_FALSE(told);
    deliver();
    ASSERT_TRUE(told && told->ok());
    EXPECT_EQ(test::readFile(dir / "writer.dfq"), test::readFile(dir / "spot.dfq"));

    ASSERT_TRUE(day.table.updateCode(1, records::WorkpieceCode::fromGbk("A\tB")));
    test::writeFile(dir / "writer.dfq", "previous");
    told.reset();
    ASSERT_TRUE(startExchangeFile(writer, ExchangeFormat::Aqdef, day.table, day.sources, true, partOptions(),
                                  (dir / "writer.dfq").string(), tell));
    deliver();
    ASSERT_TRUE(told);
    EXPECT_FALSE(told->ok());
    EXPECT_NE(told->refusal.find("row 000002"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "writer.dfq"), "previous");
    EXPECT_TRUE(day.table.hasUnsavedRows());
}

TEST(ExchangeOnTheWriter, AStoppedWriteOfEitherFormatLeavesThePreviousFile) {
    CodedDay day;
    records::CodeSlotCopy codes;
    const records::TableSnapshot rows(day.table, codes);
    const ExportPlan plan = planExport(day.table, day.sources, true, LengthUnit::Millimetre);
    records::WriteControl control(rows.rowCount(), [](std::function<void()>) {}, {});
    control.requestStop();
    TempDir dir;
    test::writeFile(dir / "day.xlsx", "previous");
    test::writeFile(dir / "day.dfq", "previous");
    EXPECT_EQ(writeWorkbook(rows, plan, (dir / "day.xlsx").string(), &control).error, ECANCELED);
    EXPECT_FALSE(writeAqdef(rows, plan, partOptions(), (dir / "day.dfq").string(), &control).ok());
    EXPECT_EQ(test::readFile(dir / "day.xlsx"), "previous");
    EXPECT_EQ(test::readFile(dir / "day.dfq"), "previous");
    EXPECT_EQ(dir.entryCount(), 2u);
}

}  // namespace
}  // namespace gaugemon::exchange

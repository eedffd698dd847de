#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "measure/characteristic_editor.h"
#include "measure/characteristic_settings.h"
#include "measure/characteristic_validation.h"
#include "measure/setup_text.h"
#include "support/memory_settings_store.h"
#include "support/memory_text_settings.h"
#include "tolerance/verdict.h"

using namespace gaugemon::measure;
using gaugemon::core::Language;

namespace {

constexpr LengthUnit mm = LengthUnit::Millimetre;
constexpr LengthUnit in = LengthUnit::Inch;
constexpr uint64_t kAllUsable = ~uint64_t{0};

CharacteristicDefinition defined(const std::string& name, const std::string& formula, const std::string& lower = "-1",
                                 const std::string& upper = "1") {
    const FieldsOutcome read = definitionFromFields({name, "3", lower, upper, formula}, mm);
    EXPECT_FALSE(read.refusal) << formula;
    return read.definition;
}

std::optional<Length> evaluateOne(const std::string& formula, std::span<const Length> probes, uint64_t usable) {
    CharacteristicEvaluator evaluator;
    evaluator.compile({mm, {defined("c", formula)}});
    CharacteristicValues values;
    evaluator.evaluate(probes, usable, values);
    return values.values[0];
}

// The tolerance layer still has its own copy of the unit.
gaugemon::measure::LengthUnit toleranceUnit(LengthUnit unit) {
    return static_cast<gaugemon::measure::LengthUnit>(lengthUnitSetting(unit));
}

}  // namespace

TEST(CharacteristicEvaluation, FormulasOverStandardFineAndAbsentProbes) {
    const std::vector<Length> probes{micrometres(12500), micrometres(12480), tenthMicrometres(125003),
                                     micrometres(-20),   micrometres(15),    micrometres(-7)};
    const uint64_t usable = 0b011111;  // p6 is not fresh
    const struct {
        const char* formula;
        std::optional<Length> expected;
    } cases[] = {
        {"p1 + p2 + 25", micrometres(49980)},
        {"p1 - p2", micrometres(20)},
        {"2*p1 - p2", micrometres(12520)},
        {"p1 + p3", tenthMicrometres(250003)},  // a fine probe makes the value fine, exactly
        {"0.5*p1 + 0.5*p2", tenthMicrometres(124900)},
        {"0.5*p4 + 0.5*p5", tenthMicrometres(-25)},
        {"p1 - 0.0005", tenthMicrometres(124995)},
        {"mean(p4, p5)", tenthMicrometres(-25)},
        {"mean(p4, p5, p5)", tenthMicrometres(33)},
        {"mean(p1)", micrometres(12500)},
        {"max(p1..p5)", tenthMicrometres(125003)},
        {"min(p1, p2, p4)", micrometres(-20)},
        {"range(p4, p5)", micrometres(35)},
        {"range(p1, p3)", tenthMicrometres(3)},
        {"p1 + p6", std::nullopt},  // never 0 for a stale probe
        {"max(p1..p6)", std::nullopt},
        {"p1 + p7", std::nullopt},  // beyond the probes given
    };
    for (const auto& c : cases) EXPECT_EQ(evaluateOne(c.formula, probes, usable), c.expected) << c.formula;
}

// A probe read beyond its full scale can still drive a value beyond what a
// row keeps: it is no value rather than a saturated one that each view shows
// differently.
TEST(CharacteristicEvaluation, ValuesBeyondWhatARowHoldsAreAbsent) {
    const auto largest = static_cast<int32_t>(kMaxValueCounts);
    const std::vector<Length> highest{micrometres(INT32_MAX), micrometres(INT32_MAX)};
    EXPECT_EQ(evaluateOne("p1", std::vector{micrometres(largest)}, kAllUsable), micrometres(largest));
    EXPECT_EQ(evaluateOne("-p1", std::vector{tenthMicrometres(largest)}, kAllUsable), tenthMicrometres(-largest));
    EXPECT_EQ(evaluateOne("p1", std::vector{micrometres(largest + 1)}, kAllUsable), std::nullopt);
    EXPECT_EQ(evaluateOne("-p1", std::vector{tenthMicrometres(largest + 1)}, kAllUsable), std::nullopt);
    EXPECT_EQ(evaluateOne("p1 + p2", highest, kAllUsable), std::nullopt);
    EXPECT_EQ(evaluateOne("mean(p1, p2)", highest, kAllUsable), std::nullopt);
    EXPECT_EQ(evaluateOne("range(p1, p2)", std::vector{micrometres(INT32_MAX), micrometres(INT32_MIN)}, kAllUsable),
              std::nullopt);
}

TEST(CharacteristicEvaluation, ARefusedDefinitionKeepsItsPlaceWithoutAValue) {
    CharacteristicDefinition broken = defined("b", "p1");
    broken.formula.terms[0].weight = std::nan("");
    CharacteristicEvaluator evaluator;
    evaluator.compile({mm, {broken, defined("d", "p1 + p1")}});
    CharacteristicValues values;
    const std::vector<Length> probes{micrometres(5)};
    evaluator.evaluate(probes, kAllUsable, values);
    EXPECT_EQ(values.count, 2u);
    EXPECT_FALSE(values.values[0]);
    EXPECT_EQ(values.values[1], micrometres(10));
}

// A characteristic with a probe's limits gives the probe's zone for every
// value, standard or fine, in both units and with pre-warning on.
TEST(CharacteristicJudgement, IsThatOfAProbeWithTheSameLimits) {
    using gaugemon::tolerance::PreWarning;
    using gaugemon::tolerance::ToleranceTable;
    const struct {
        LengthUnit unit;
        int32_t lower, upper;
    } bands[] = {{mm, 3000, 6000}, {mm, -50, 50}, {mm, 7, 7}, {in, 11811, 23622}, {in, -197, 393}};
    for (const auto& band : bands) {
        gaugemon::core::MemorySettingsStore store;
        ToleranceTable table;
        table.setDisplayLimits(1, band.lower, band.upper, toleranceUnit(band.unit), store);
        CharacteristicDefinition d = defined("c", "p1");
        d.lowerStored = band.lower;
        d.upperStored = band.upper;
        CharacteristicEvaluator evaluator;
        evaluator.compile({band.unit, {d}});
        const int32_t from = table.limits(1).lslCounts - 40, to = table.limits(1).uslCounts + 40;
        for (int32_t v = from; v <= to; ++v) {
            for (const bool fine : {false, true}) {
                const int32_t raw = fine ? v * 10 + 3 : v;
                const Length value = fine ? tenthMicrometres(raw) : micrometres(raw);
                const auto probe = gaugemon::tolerance::zoneOf(table, 1, value, PreWarning{80});
                const Zone zone = evaluator.judge(0, value, 80);
                ASSERT_EQ(static_cast<int>(zone), static_cast<int>(probe)) << band.lower << " " << raw;
            }
        }
    }
}

TEST(CharacteristicLimits, FollowTheUnitSwitchAsAProbesLimitsDo) {
    const int32_t stored[] = {3000, -1, 1, 6, 999999, -999999, 12345};
    for (const int32_t lower : stored) {
        gaugemon::core::MemorySettingsStore store;
        gaugemon::tolerance::ToleranceTable table;
        table.setDisplayLimits(1, lower, 999999, toleranceUnit(mm), store);
        CharacteristicSetup setup{mm, {defined("c", "p1")}};
        setup.definitions[0].lowerStored = lower;
        setup.definitions[0].upperStored = 999999;
        for (const LengthUnit unit : {in, mm, in}) {
            table.convertLimitsForUnit(toleranceUnit(unit), store);
            convertLimits(setup, unit);
            EXPECT_EQ(setup.definitions[0].lowerStored, table.limits(1).lslDisplay) << lower;
            EXPECT_EQ(setup.definitions[0].upperStored, table.limits(1).uslDisplay);
        }
        EXPECT_EQ(setup.definitions[0].lowerStored, limitStoredFromCounts(lower, in));
    }
}

TEST(CharacteristicRefusals, EachFaultOfTheFieldsIsNamed) {
    CharacteristicEditor editor({mm, {defined("Diameter", "p1 + p2")}}, 40);
    const struct {
        DefinitionFields fields;
        RefusalReason reason;
        unsigned probe = 0;
    } cases[] = {
        {{"", "3", "0", "1", "p1"}, RefusalReason::EmptyName},
        {{std::string(33, 'x'), "3", "0", "1", "p1"}, RefusalReason::NameTooLong},
        {{"a;b", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},
        {{"#1", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},
        {{"a\tb", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},
        {{"\xE7\x9B", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},       // cut UTF-8
        {{"a\xE0\x80\xAF", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},  // overlong "/"
        {{"a\xED\xA0\x80", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},  // a surrogate
        {{"a\xC2\x85", "3", "0", "1", "p1"}, RefusalReason::NameNotAllowed},      // a C1 control
        {{"=cmd|' /C calc'!A0", "3", "0", "1", "p1"}, RefusalReason::NameLikeFormula},
        {{"+1+1", "3", "0", "1", "p1"}, RefusalReason::NameLikeFormula},
        {{"-2", "3", "0", "1", "p1"}, RefusalReason::NameLikeFormula},
        {{"@SUM(A1)", "3", "0", "1", "p1"}, RefusalReason::NameLikeFormula},
        {{"ab\xE2\x80\xAE", "3", "0", "1", "p1"}, RefusalReason::NameInvisible},  // right-to-left override
        {{"b\xE2\x81\xA6", "3", "0", "1", "p1"}, RefusalReason::NameInvisible},   // left-to-right isolate
        {{"b\xE2\x80\x8B", "3", "0", "1", "p1"}, RefusalReason::NameInvisible},   // zero width space
        {{"x\xEF\xBB\xBF", "3", "0", "1", "p1"}, RefusalReason::NameInvisible},   // zero width no-break space
        {{"Diameter", "3", "0", "1", "p1"}, RefusalReason::NameAlreadyUsed},
        {{"c", "5", "0", "1", "p1"}, RefusalReason::BadDecimals},
        {{"c", "-1", "0", "1", "p1"}, RefusalReason::BadDecimals},
        {{"c", "3", "1.0001", "2", "p1"}, RefusalReason::LimitDecimals},
        {{"c", "3", "0", "0.0001", "p1"}, RefusalReason::LimitDecimals},
        {{"c", "3", "0", "1.0001x", "p1"}, RefusalReason::BadLimit},
        {{"c", "3", "0", "1000", "p1"}, RefusalReason::BadLimit},
        {{"c", "3", "nan", "1", "p1"}, RefusalReason::BadLimit},
        {{"c", "3", "2", "1", "p1"}, RefusalReason::LowerAboveUpper},
        {{"c", "3", "0", "1", "max()"}, RefusalReason::EmptyList},
        {{"c", "3", "0", "1", "25"}, RefusalReason::EmptyList},
        {{"c", "3", "0", "1", "p61"}, RefusalReason::UnknownProbe, 61},
        {{"c", "3", "0", "1", "p1 - p0"}, RefusalReason::UnknownProbe, 0},
        {{"c", "3", "0", "1", "p99999999999"}, RefusalReason::ProbeNumberTooLarge},
        {{"c", "3", "0", "1", "max(p1..p99999999999999)"}, RefusalReason::ProbeNumberTooLarge},
        {{"c", "3", "0", "1", "p41"}, RefusalReason::ProbeBeyondCount, 41},
        {{"c", "3", "0", "1", "range(p30..p45)"}, RefusalReason::ProbeBeyondCount, 41},
        {{"c", "3", "0", "1", "range(p1..p40, p1..p21)"}, RefusalReason::TooManyTerms},
        {{"c", "3", "0", "1", "nan*p1"}, RefusalReason::BadWeight},
        {{"c", "3", "0", "1", "inf*p1"}, RefusalReason::BadWeight},
        {{"c", "3", "0", "1", "1001*p1"}, RefusalReason::BadWeight},
        {{"c", "3", "0", "1", "p1 + NaN"}, RefusalReason::BadConstant},
        {{"c", "3", "0", "1", "p1 - inf"}, RefusalReason::BadConstant},
        {{"c", "3", "0", "1", "p1 + 1000"}, RefusalReason::BadConstant},
        {{"c", "3", "0", "1", "p1 + 0.00001"}, RefusalReason::BadConstant},
        {{"c", "3", "0", "1", "p1 +"}, RefusalReason::BadFormula},
        {{"c", "3", "0", "1", "p1 p2"}, RefusalReason::BadFormula},
        {{"c", "3", "0", "1", "sqrt(p1)"}, RefusalReason::BadFormula},
        {{"c", "3", "0", "1", "range(p5..p3)"}, RefusalReason::BadFormula},
        {{"c", "3", "0", "1", "max(p1) + 1"}, RefusalReason::BadFormula},
        {{"c", "3", "0", "1", "p1x"}, RefusalReason::BadFormula},
    };
    for (const auto& c : cases) {
        const std::optional<Refusal> refusal = editor.add(c.fields);
        ASSERT_TRUE(refusal) << c.fields.formula;
        EXPECT_EQ(refusal->reason, c.reason) << c.fields.name << " " << c.fields.formula;
        EXPECT_EQ(refusal->probe, c.probe) << c.fields.formula;
    }
    EXPECT_EQ(editor.size(), 1u);
}

// With every probe anywhere within 999.999 mm, a formula's value must stay
// within the 13421.7727 mm a row keeps.
TEST(CharacteristicRefusals, AFormulaMustStayWithinWhatARowHoldsAtFullScale) {
    const struct {
        const char* formula;
        bool taken;
    } cases[] = {
        {"13*p1 + 421", true},
        {"13*p1 + 422", false},
        {"-13*p1 - 421", true},
        {"p1 + p2 + p3 + p4 + p5 + p6 + p7 + p8 + p9 + p10 + p11 + p12 + p13", true},
        {"p1 + p2 + p3 + p4 + p5 + p6 + p7 + p8 + p9 + p10 + p11 + p12 + p13 + p14", false},
        {"14*p1", false},
        {"6.5*p1 - 6.5*p2 + 421", true},
        {"6.5*p1 - 6.5*p2 + 422", false},
        {"1000*p1 + 1000*p2", false},
        {"mean(p1..p60)", true},
        {"max(p1..p60)", true},
        {"range(p1..p60)", true},
    };
    for (const auto& c : cases) {
        const FieldsOutcome read = definitionFromFields({"c", "4", "0", "1", c.formula}, mm);
        ASSERT_FALSE(read.refusal) << c.formula;
        const std::optional<Refusal> refusal = definitionRefusal(read.definition, {}, 60);
        EXPECT_EQ(refusal, c.taken ? std::nullopt : std::optional(Refusal{RefusalReason::ValueBeyondRange}))
            << c.formula;
    }
}

TEST(CharacteristicRefusals, TextsNameTheLineAndTheProbeInBothLanguages) {
    const Refusal refusal{RefusalReason::UnknownProbe, 4, 61};
    EXPECT_EQ(refusalText(refusal, Language::English), "Line 4: Probe 61 does not exist (p1..p60).");
    EXPECT_EQ(refusalText(refusal, Language::Chinese), "第4行：测头61不存在（p1..p60）。");
    for (unsigned r = 0; r < kRefusalReasons; ++r) {
        const Refusal each{static_cast<RefusalReason>(r)};
        EXPECT_NE(refusalText(each, Language::English), refusalText(each, Language::Chinese)) << r;
    }
}

TEST(CharacteristicEditing, ReplaceAddRemoveImportAndPreview) {
    CharacteristicEditor editor({mm, {}}, 60);
    EXPECT_FALSE(editor.add({"Diameter", "3", "49.9", "50.1", "p1 + p2 + 25"}));
    EXPECT_FALSE(editor.add({"Runout", "3", "0", "0.020", "range(p1..p4)"}));
    // Its own name is no conflict; another's is.
    EXPECT_FALSE(editor.replace(0, {"Diameter", "3", "49.95", "50.1", "p1 + p2 + 25"}));
    EXPECT_EQ(editor.replace(0, {"Runout", "3", "0", "1", "p1"})->reason, RefusalReason::NameAlreadyUsed);
    EXPECT_EQ(editor.fields(0).lower, "49.950");

    const std::vector<Length> probes{micrometres(12500), micrometres(12480), micrometres(12510), micrometres(12495)};
    const CharacteristicValues& values = editor.preview(probes, 0b1111);
    EXPECT_EQ(values.values[0], micrometres(49980));
    EXPECT_EQ(values.values[1], micrometres(30));
    EXPECT_EQ(editor.previewZone(0, 0), Zone::Ok);
    EXPECT_EQ(editor.previewZone(1, 0), Zone::Ng);

    // A text without a valid line keeps the list; a text in inches is taken in the editor's unit.
    EXPECT_EQ(editor.importText("garbage\n").at(0), (Refusal{RefusalReason::BadLine, 1}));
    EXPECT_EQ(editor.size(), 2u);
    EXPECT_TRUE(editor.importText("unit in\nTaper; 4; -0.00100; 0.00100; p1 - p2\n").empty());
    ASSERT_EQ(editor.size(), 1u);
    EXPECT_EQ(editor.setup().definitions[0].lowerStored, -25);  // 0.001 in
    editor.remove(0);
    EXPECT_EQ(editor.size(), 0u);
}

TEST(SetupText, WritesAndReadsBackEveryFormExactly) {
    CharacteristicSetup setup{in, {}};
    const auto add = [&setup](const std::string& name, unsigned decimals, int32_t lower, int32_t upper, Formula f) {
        setup.definitions.push_back({name, decimals, lower, upper, std::move(f)});
    };
    add("直径", 4, 98425, 98500, {FormulaKind::Sum, {{1, 1.0}, {2, 1.0}}, tenthMicrometres(250000)});
    add("Taper", 3, -500, 500, {FormulaKind::Sum, {{3, 0.1}, {4, -2.5}, {5, 1e-05}}, tenthMicrometres(-5)});
    add("Runout 1", 2, 0, 2000,
        {FormulaKind::Range, {{1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {10}, {12}, {13}}, tenthMicrometres(0)});
    add("Mean", 0, -999999, 999999, {FormulaKind::Mean, {{60}}, tenthMicrometres(0)});
    add("Low", 1, 0, 0, {FormulaKind::Min, {{9}, {9}, {8}, {9}, {10}, {11}}, tenthMicrometres(0)});
    add("High", 1, 5, 7, {FormulaKind::Max, {{2}, {1}}, tenthMicrometres(0)});

    const std::string text = writeSetupText(setup);
    const SetupParse parsed = parseSetupText(text, 60);
    EXPECT_TRUE(parsed.refusals.empty()) << refusalText(parsed.refusals.at(0), Language::English);
    EXPECT_EQ(parsed.setup, setup);
    EXPECT_EQ(writeSetupText(parsed.setup), text);
    EXPECT_NE(text.find("Runout 1; 2; 0.00000; 0.02000; range(p1..p8, p10, p12, p13)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("0.1*p3 - 2.5*p4 + 1e-05*p5 - 0.0005\n"), std::string::npos) << text;
}

TEST(SetupText, HostileTextsAreRefusedByLine) {
    std::string manyTerms = "big; 3; 0; 1; p1";
    for (int i = 0; i < 9999; ++i) manyTerms += " + p1";
    std::string overflowing = "huge; 3; 0; 1; 1000*p1";
    for (int p = 2; p <= 60; ++p) overflowing += " + 1000*p" + std::to_string(p);
    overflowing += " + 999.9999";
    std::string tooMany = "unit mm\n";
    for (int i = 0; i < 33; ++i) tooMany += "c" + std::to_string(i) + "; 3; 0; 1; p1\n";
    const struct {
        std::string text;
        size_t taken;
        Refusal first;
    } cases[] = {
        {"x", 0, {RefusalReason::BadLine, 1}},
        {"a; 3; 0; 1; p1; p2", 0, {RefusalReason::BadLine, 1}},
        {"unit furlong", 0, {RefusalReason::BadUnit, 1}},
        {"a; 3; 0; 1; p1\nunit in", 1, {RefusalReason::BadUnit, 2}},
        {"\n\n" + manyTerms, 0, {RefusalReason::TooManyTerms, 3}},
        {"a; 3; 0; 1; p1 + nan\nb; 3; 0; 1; -inf*p2", 0, {RefusalReason::BadConstant, 1}},
        {"a; 3; 0; 1; p1\na; 3; 0; 1; p2", 1, {RefusalReason::NameAlreadyUsed, 2}},
        {"=1+1; 3; 0; 1; p1\nb; 3; 0; 1; p2", 1, {RefusalReason::NameLikeFormula, 1}},
        {"a; 3; 0; 1; p1\n" + overflowing, 1, {RefusalReason::ValueBeyondRange, 2}},
        {tooMany, 32, {RefusalReason::TooManyCharacteristics, 34}},
        {std::string(kMaxSetupTextBytes + 1, '#'), 0, {RefusalReason::TextTooLarge, 0}},
        {"\xEF\xBB\xBF"
         "a; 3; 0; 1; p1\r\n# note\r\n\r\nb;3;-0.5;0.5;max(p1,p2)\r\n",
         2,
         {}},
    };
    for (const auto& c : cases) {
        const SetupParse parsed = parseSetupText(c.text, 60);
        EXPECT_EQ(parsed.setup.definitions.size(), c.taken) << c.text.substr(0, 40);
        if (c.first.line > 0 || c.first.reason == RefusalReason::TextTooLarge) {
            ASSERT_FALSE(parsed.refusals.empty()) << c.text.substr(0, 40);
            EXPECT_EQ(parsed.refusals[0], c.first) << c.text.substr(0, 40);
        } else {
            EXPECT_TRUE(parsed.refusals.empty());
        }
        EXPECT_LE(parsed.refusals.size(), kMaxReportedRefusals);
    }
}

// Damaged texts give valid definitions or refusals, and what is taken writes
// and reads back unchanged.
TEST(SetupText, DamagedTextsNeverYieldAnInvalidDefinition) {
    const std::string valid =
        "unit mm\nD; 3; 49.9; 50.1; p1 + p2 + 25\nR; 3; 0; 0.02; range(p1..p8, p10)\nT; 4; -1; 1; 0.5*p3 - 0.5*p4\n";
    std::mt19937 random(24);
    for (int round = 0; round < 3000; ++round) {
        std::string text = valid;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % text.size();
            const char byte = static_cast<char>(random() % 256);
            if (random() % 2) {
                text[at] = byte;
            } else {
                text.insert(at, 1, byte);
            }
        }
        const SetupParse parsed = parseSetupText(text, 60);
        for (size_t i = 0; i < parsed.setup.definitions.size(); ++i) {
            ASSERT_FALSE(definitionRefusal(parsed.setup.definitions[i], {}, 60)) << text;
        }
        ASSERT_EQ(parseSetupText(writeSetupText(parsed.setup), 60).setup, parsed.setup) << text;
    }
}

TEST(SetupFile, IsReadWithinItsSizeLimit) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::filesystem::path small = dir / "gaugemon_characteristics_small.txt";
    const std::filesystem::path large = dir / "gaugemon_characteristics_large.txt";
    // Binary, so that Windows writes the line end as it stands.
    std::ofstream(small, std::ios::binary) << "a; 3; 0; 1; p1\n";
    std::ofstream(large, std::ios::binary) << std::string(kMaxSetupTextBytes + 1, 'x');
    std::string text;
    EXPECT_FALSE(readSetupFile(small, text));
    EXPECT_EQ(text, "a; 3; 0; 1; p1\n");
    EXPECT_EQ(readSetupFile(large, text)->reason, RefusalReason::TextTooLarge);
    EXPECT_EQ(readSetupFile(dir / "gaugemon_no_such_file.txt", text)->reason, RefusalReason::CannotRead);
    std::filesystem::remove(small);
    std::filesystem::remove(large);
}

TEST(CharacteristicSettings, StoredAsOneTextAndLoadedInTheStationsUnit) {
    gaugemon::core::MemoryTextSettings settings;
    EXPECT_TRUE(loadCharacteristics(settings, in).setup.definitions.empty());
    CharacteristicSetup setup{mm, {defined("D", "p1 + p2", "3", "6")}};
    ASSERT_TRUE(storeCharacteristics(settings, setup));
    EXPECT_EQ(settings.writeCount(), 1);

    const SetupParse loaded = loadCharacteristics(settings, in);
    EXPECT_EQ(loaded.setup.unit, in);
    EXPECT_EQ(loaded.setup.definitions.at(0).lowerStored, 11811);
    EXPECT_EQ(loaded.setup.definitions.at(0).upperStored, 23622);

    settings.setWritesFail(true);
    EXPECT_FALSE(storeCharacteristics(settings, {mm, {}}));
    EXPECT_EQ(loadCharacteristics(settings, mm).setup, setup);
}

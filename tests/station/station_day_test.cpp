// A working day in miniature through the station alone: no window, no
// widgets, the simulated instrument on an in-process line in virtual time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "exchange/workbook_reader.h"
#include "measure/limit_counts.h"
#include "measure/setup_text.h"
#include "records/record_texts.h"
#include "sim/simulated_ports.h"
#include "station/station.h"
#include "support/memory_settings_store.h"
#include "support/memory_text_settings.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"
#include "working_day.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

struct CountingObserver : station::StationObserver {
    void linkViewChanged() override { ++linkViews; }
    void readingsShown(const display::ChartPlan* redraw) override {
        ++readings;
        if (redraw) ++redraws;
    }
    void recordControlsChanged() override { ++recordControls; }
    void probeNumberChosen(unsigned probe) override { chosenProbe = probe; }
    int linkViews = 0;
    int readings = 0;
    int redraws = 0;
    int recordControls = 0;
    unsigned chosenProbe = 0;
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class StationDay : public ::testing::Test {
protected:
    StationDay() {
        directory_ = std::filesystem::temp_directory_path() / ("gaugemon-station-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", WorkingDay::kComId);
        ports.place(WorkingDay::kPort, WorkingDay::instrument());
        openStation();
    }
    void openStation(std::string journalDirectory = {}) {
        station.reset();
        station = std::make_unique<station::Station>(
            station::StationSeams{settings, timers, clock, line, prompts, directory_.string() + "/",
                                  std::move(journalDirectory), &texts},
            observer);
    }
    void recordTheDay() {
        station->connect();
        ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
        clock.advanceBy(500);
        station->recordOne();
        clock.advanceBy(20);
        ASSERT_EQ(station->setAutomatic(true, WorkingDay::kAutoPeriodSeconds), records::AutoOutcome::Started);
        clock.advanceBy(1000);
        station->setAutomatic(false, 0);
        ASSERT_EQ(station->recordTable().rowCount(), 3u);
    }
    ~StationDay() override {
        station.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    core::MemoryTextSettings texts;
    RecordingPrompts prompts;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    CountingObserver observer;
    std::unique_ptr<station::Station> station;
    std::filesystem::path directory_;
};

TEST_F(StationDay, DiscoveryPollingRecordingAndExportRunWithoutAWindow) {
    station->connect();
    ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    EXPECT_EQ(station->linkView().commStatus, "COM03 19200,8,N,1");
    EXPECT_EQ(observer.chosenProbe, 1u);

    clock.advanceBy(500);
    EXPECT_GT(observer.readings, 0);
    EXPECT_GT(observer.redraws, 0);
    EXPECT_EQ(station->display().valueTexts()[0].text(), "  3.990 ");
    EXPECT_TRUE(station->display().anyNg());

    station->recordOne();
    clock.advanceBy(20);
    ASSERT_EQ(station->recordTable().rowCount(), 1u);

    ASSERT_EQ(station->setAutomatic(true, WorkingDay::kAutoPeriodSeconds), records::AutoOutcome::Started);
    clock.advanceBy(1000);
    station->setAutomatic(false, 0);
    ASSERT_EQ(station->recordTable().rowCount(), 3u);

    const std::filesystem::path path = directory_ / "day.xls";
    prompts.saveChoices.push_back(core::SaveChoice{path.string(), 0});
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_EQ(readFile(path), WorkingDay::expectedExport());
    EXPECT_FALSE(station->recordTable().hasUnsavedRows());
}

// A row keeps the texts of the unit it was recorded in: switching to inch
// after recording changes neither the file of the day nor its limits.
TEST_F(StationDay, AUnitSwitchAfterRecordingChangesNoRecordedText) {
    recordTheDay();
    station->setUnit(1);
    clock.advanceBy(500);
    ASSERT_EQ(station->lengthUnit(), measure::LengthUnit::Inch);
    ASSERT_NE(station->display().valueTexts()[0].text(), "  3.990 ") << "the screen shows inches now";
    const std::filesystem::path path = directory_ / "day.xls";
    prompts.saveChoices.push_back(core::SaveChoice{path.string(), 0});
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_EQ(readFile(path), WorkingDay::expectedExport());
}

// The Save dialog's further filters write a workbook, a transfer file and UTF-8 text.
TEST_F(StationDay, SaveWritesTheWorkbookAndTheTransferFileOfTheFurtherFilters) {
    recordTheDay();
    const std::filesystem::path workbook = directory_ / "day.xlsx";
    const std::filesystem::path transfer = directory_ / "day.dfq";
    prompts.saveChoices.push_back(core::SaveChoice{workbook.string(), 3});
    prompts.saveChoices.push_back(core::SaveChoice{transfer.string(), 4});
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_TRUE(readFile(workbook).starts_with("PK\x03\x04"));
    EXPECT_FALSE(station->recordTable().hasUnsavedRows());
    station->setTransferPart("4711-A", "轴 20 h6");
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_NE(readFile(transfer).find("K1001 4711-A\r\nK1002 轴 20 h6\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(directory_ / "day.xls"));

    // The name's extension of a further format wins over a record file's filter;
    // a name without one gets the extension of the format chosen.
    prompts.saveChoices.push_back(core::SaveChoice{(directory_ / "wrong.xlsx").string(), 0});
    prompts.saveChoices.push_back(core::SaveChoice{(directory_ / "plain").string(), 5});
    station->exportRecords();
    station->finishFileWrites();
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_TRUE(readFile(directory_ / "wrong.xlsx").starts_with("PK\x03\x04"));
    EXPECT_TRUE(readFile(directory_ / "plain.csv").starts_with("\xEF\xBB\xBF"));
    EXPECT_FALSE(std::filesystem::exists(directory_ / "plain"));
}

// The part and the broker the operator sets are kept in the station's text
// settings for the next run; a refused broker address changes nothing.
TEST_F(StationDay, ThePartAndTheBrokerAreStoredThroughTheStation) {
    station->setTransferPart("4711-A", "轴 20 h6");
    EXPECT_EQ(station->setBroker("tcp://127.0.0.1:1883"), "");
    EXPECT_NE(station->setBroker("http://127.0.0.1:1883"), "");
    openStation();
    EXPECT_EQ(station->partNumber(), "4711-A");
    EXPECT_EQ(station->partDescription(), "轴 20 h6");
    EXPECT_EQ(station->brokerUrl(), "tcp://127.0.0.1:1883");
    EXPECT_EQ(texts.readText("Mqtt", "Url"), "tcp://127.0.0.1:1883");
}

// A run that ends with rows in no file leaves them in the journal; the next
// run restores them and its export is the one the first run would have made.
TEST_F(StationDay, RowsLeftInNoFileAreRestoredByTheNextRunByteForByte) {
    const std::string journalDirectory = (directory_ / "journal").string();
    openStation(journalDirectory);
    station->startJournal();
    recordTheDay();
    station->flushJournal();
    EXPECT_EQ(station->journal().writtenRows(), 3u);

    openStation(journalDirectory);
    prompts.yesNoAnswers = {true};
    station->startJournal();
    EXPECT_TRUE(station->restoring());
    station->finishRestore();
    ASSERT_EQ(station->recordTable().rowCount(), 3u);
    const std::filesystem::path path = directory_ / "restored.xls";
    prompts.saveChoices.push_back(core::SaveChoice{path.string(), 0});
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_EQ(readFile(path), WorkingDay::expectedExport());

    // Exported: nothing is offered again.
    openStation(journalDirectory);
    const size_t questionsBefore = prompts.questions.size();
    station->startJournal();
    EXPECT_EQ(prompts.questions.size(), questionsBefore);
    EXPECT_EQ(station->recordTable().rowCount(), 0u);
}

// Rows recorded faster than the watchdog notices a silent instrument copy
// no frozen readings: at most the row of the cycle after the last answer,
// the operator told once, and recording resumes with the readings.
TEST_F(StationDay, ASilentInstrumentLeavesNoRowsOfItsLastReadings) {
    station->connect();
    ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    clock.advanceBy(500);
    ASSERT_EQ(station->setAutomatic(true, 0.1f), records::AutoOutcome::Started);
    clock.advanceBy(1000);
    const uint32_t before = station->recordTable().rowCount();
    ASSERT_GE(before, 9u);
    ports.instrumentAt(WorkingDay::kPort)->scheduleFault(sim::FaultKind::Silent, clock.nowMs(), clock.nowMs() + 3000);
    clock.advanceBy(3000);
    EXPECT_LE(station->recordTable().rowCount(), before + 2);
    const auto told = std::ranges::count(prompts.messages, std::string(records::text::kNoReadingsZh));
    EXPECT_EQ(told, 1);
    clock.advanceBy(1000);
    EXPECT_GE(station->recordTable().rowCount(), before + 9);
}

}  // namespace

// A view that leaves from inside a notification (a window closing on the
// readings it was shown) neither stops the others hearing nor is told again.
TEST_F(StationDay, EveryViewHearsTheStationAndOneMayLeaveInsideANotification) {
    struct LeavingView : CountingObserver {
        station::Station* station = nullptr;
        void readingsShown(const display::ChartPlan* redraw) override {
            CountingObserver::readingsShown(redraw);
            station->removeObserver(*this);
        }
    } leaving;
    leaving.station = station.get();
    CountingObserver later;
    station->addObserver(leaving);
    station->addObserver(later);

    station->connect();
    ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    clock.advanceBy(500);
    EXPECT_EQ(leaving.readings, 1);
    EXPECT_EQ(later.readings, observer.readings);
    EXPECT_GT(later.readings, 1);
    station->removeObserver(later);
}

// The chart is laid out and the texts formatted for the views that show
// them: a station watched by none has neither made, and the first view that
// shows the chart gets it whole though no reading moved.
TEST_F(StationDay, TheDisplayIsMadeOnlyForTheViewsThatShowIt) {
    struct Unwatched : CountingObserver {
        display::Shown shown() const override { return display::Shown::Nothing; }
    } unwatched;
    station->removeObserver(observer);
    station->addObserver(unwatched);
    station->connect();
    ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    clock.advanceBy(500);
    EXPECT_GT(unwatched.readings, 1);
    EXPECT_EQ(unwatched.redraws, 0);
    EXPECT_EQ(station->display().valueTexts()[0], display::ValueText{});

    station->addObserver(observer);
    clock.advanceBy(500);
    EXPECT_GT(observer.redraws, 0);
    EXPECT_EQ(station->display().valueTexts()[0].text(), "  3.990 ");
    station->removeObserver(unwatched);
}

// Waiting for a file inside a step (Clear, the headless export, the stop)
// takes its outcome in at once, but a message box it brings opens only after
// the step: a box inside it would run the timers on half-changed state.
TEST_F(StationDay, AFileOutcomeTakenInInsideAStepShowsItsMessageAfterIt) {
    recordTheDay();
    prompts.saveChoices.push_back(core::SaveChoice{(directory_ / "no such folder" / "day.xls").string(), 0});
    station->exportRecords();
    station->finishFileWrites();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(station->recordTable().hasUnsavedRows());
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(prompts.messages.size(), 1u);
}

namespace {

measure::CharacteristicSetup setupOf(std::string_view text) {
    measure::SetupParse parsed = measure::parseSetupText(text, measure::kMaxProbes);
    EXPECT_TRUE(parsed.refusals.empty());
    return parsed.setup;
}

}  // namespace

// With every probe inside its limits, a characteristic outside its own makes
// the verdict (the box, the rows' result) NG; one over a probe the
// instrument lacks has no value, not 0 (which its limits would pass), and
// cannot pass either.
TEST_F(StationDay, ACharacteristicDecidesTheVerdictWhileEveryProbeIsOk) {
    ASSERT_TRUE(station->setLimits(8, 3.0f, 7.0f).stored);
    ASSERT_FALSE(station->setCharacteristics(setupOf("Sum; 3; 7.000; 8.500; p1 + p2\n")));
    station->connect();
    ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    clock.advanceBy(500);
    ASSERT_EQ(station->characteristicValues().values[0], measure::micrometres(7987));  // 3.990 + 3.997
    EXPECT_FALSE(station->verdict().anyNg());

    ASSERT_FALSE(station->setCharacteristics(setupOf("Sum; 3; 7.000; 7.900; p1 + p2\n")));
    clock.advanceBy(500);
    for (unsigned i = 0; i < 8; ++i) EXPECT_EQ(station->verdict().probe(i), tolerance::Judgement::Ok) << i;
    EXPECT_EQ(station->verdict().characteristic(0), tolerance::Zone::Ng);
    EXPECT_TRUE(station->verdict().anyNg());
    EXPECT_TRUE(station->display().anyNg());

    // While connected to eight probes, a ninth is refused by name...
    const auto refused = station->setCharacteristics(setupOf("Far; 3; -1; 1; p9\n"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->reason, measure::RefusalReason::ProbeBeyondCount);
    // ...but one stored before is taken and never has a value.
    texts.writeText("Characteristics", "Definitions", "Far; 3; -1.000; 1.000; p9\n");
    openStation();
    station->connect();
    ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    clock.advanceBy(500);
    EXPECT_EQ(station->characteristicValues().count, 1u);
    EXPECT_FALSE(station->characteristicValues().values[0].has_value());
    EXPECT_EQ(station->verdict().characteristic(0), tolerance::Zone::Ng);
    EXPECT_TRUE(station->verdict().anyNg());
}

// The limits are kept in the unit of the station, as the probes' are: a
// switch converts and stores them, and switching back gives them again.
TEST_F(StationDay, AUnitSwitchConvertsAndStoresTheCharacteristicsLimits) {
    ASSERT_FALSE(station->setCharacteristics(setupOf("Dia; 3; 24.990; 25.010; p1 + p2 + 17\n")));
    station->setUnit(1);
    openStation();
    const measure::CharacteristicSetup& inInches = station->characteristics();
    ASSERT_EQ(inInches.unit, measure::LengthUnit::Inch);
    ASSERT_EQ(inInches.definitions.size(), 1u);
    EXPECT_EQ(inInches.definitions[0].lowerStored, measure::limitStoredFromCounts(24990, measure::LengthUnit::Inch));
    EXPECT_EQ(station->characteristicEvaluator().limits(0).upperCounts, 25010);
    station->setUnit(0);
    openStation();
    EXPECT_EQ(station->characteristics(), setupOf("Dia; 3; 24.990; 25.010; p1 + p2 + 17\n"));
}

// The day with a diameter and a runout: each row holds their values after
// the probes, the journal gives them back to the next run unchanged, and the
// file shows them with their decimals and their limits in the header.
TEST_F(StationDay, TheCharacteristicsOfADayAreRecordedRestoredAndSavedByteForByte) {
    const std::string journalDirectory = (directory_ / "journal").string();
    openStation(journalDirectory);
    station->startJournal();
    ASSERT_FALSE(station->setCharacteristics(setupOf(WorkingDay::kCharacteristics)));
    recordTheDay();
    station->flushJournal();

    openStation(journalDirectory);
    prompts.yesNoAnswers = {true};
    station->startJournal();
    station->finishRestore();
    ASSERT_EQ(station->recordTable().rowCount(), 3u);
    EXPECT_EQ(station->recordTable().layout().characteristicCount(), 2u);
    // The .xls, the transfer file and the UTF-8 text file (filters 1, 5 and 6).
    for (const auto& [extension, filter] : {std::pair{".xls", 0}, {".dfq", 4}, {".utf8.csv", 5}}) {
        const std::filesystem::path path = directory_ / (std::string("day") + extension);
        prompts.saveChoices.push_back(core::SaveChoice{path.string(), filter});
        station->exportRecords();
        station->finishFileWrites();
        EXPECT_EQ(readFile(path), WorkingDay::expectedExportWithCharacteristics(extension)) << extension;
    }
    // The workbook (filter 4) as a spreadsheet reader finds it, cell by cell.
    const std::filesystem::path workbook = directory_ / "day.xlsx";
    prompts.saveChoices.push_back(core::SaveChoice{workbook.string(), 3});
    station->exportRecords();
    station->finishFileWrites();
    std::string cells;
    for (const std::string& line : exchange::test::readWorkbook(workbook.string()).lines) cells += line + "\n";
    EXPECT_EQ(cells, WorkingDay::expectedExportWithCharacteristics(".xlsx.cells"));
    // The statistics count the characteristics after the eight probes,
    // against their own limits.
    const statistics::ProbeFigures runout = station->processStatistics().figures(station->recordTable(), 10);
    EXPECT_EQ(runout.count, 3u);
    EXPECT_DOUBLE_EQ(runout.usl, 0.050);
}

// A characteristic over a probe the instrument lacks never has a value: the
// operator is told once at connection, not at every reconnection.
TEST_F(StationDay, CharacteristicsOverProbesTheInstrumentLacksAreToldOnce) {
    ASSERT_FALSE(station->setCharacteristics(setupOf("Far; 3; 0; 9; p1 + p9\nNear; 3; 0; 9; p1 + p2\n")));
    for (int connection = 0; connection < 2; ++connection) {
        station->connect();
        ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
        QCoreApplication::sendPostedEvents();
        station->disconnect();
    }
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("\nFar：测头9超出"), std::string::npos) << prompts.messages[0];
    EXPECT_EQ(prompts.messages[0].find("Near"), std::string::npos);
}

// Stored lines that cannot be read are left out with one message; the others stay.
TEST_F(StationDay, StoredCharacteristicsThatCannotBeReadAreLeftOutWithOneMessage) {
    texts.writeText("Characteristics", "Definitions", "Dia; 3; 0; 9; p1 + p2\nBad; 9; 0; 1; p1\n\x01\xff;;\n");
    openStation();
    EXPECT_EQ(station->characteristics().definitions.size(), 1u);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("第2行"), std::string::npos) << prompts.messages[0];
    EXPECT_NE(prompts.messages[0].find("第3行"), std::string::npos) << prompts.messages[0];
}

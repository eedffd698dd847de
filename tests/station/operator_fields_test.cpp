// The operator's fields without a window: what each command takes over from
// what was typed, and what it refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/simulated_ports.h"
#include "station/field_parsing.h"
#include "station/operator_fields.h"
#include "station/station.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"
#include "working_day.h"

using namespace gaugemon;
using namespace gaugemon::testing;
using station::Field;
using station::FieldsOutcome;

namespace {

class Fields : public ::testing::Test {
protected:
    Fields() {
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", WorkingDay::kComId);
        ports.place(WorkingDay::kPort, WorkingDay::instrument());
    }
    void open() {
        station = std::make_unique<station::Station>(
            station::StationSeams{settings, timers, clock, line, prompts, directory.string() + "/", {}});
        fields = std::make_unique<station::OperatorFields>(*station);
    }
    void typeAll(const char* probe, const char* lower, const char* upper, const char* interval) {
        fields->setText(Field::ProbeNumber, probe);
        fields->setText(Field::RangeLower, lower);
        fields->setText(Field::RangeUpper, upper);
        fields->setText(Field::Interval, interval);
    }
    bool connected() {
        return clock.runUntil([&] { return station->linkState().connected; }, 60'000);
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    std::filesystem::path directory = std::filesystem::temp_directory_path();
    std::unique_ptr<station::Station> station;
    std::unique_ptr<station::OperatorFields> fields;
};

TEST_F(Fields, TheFieldsAreTakenOverInOrderUpToTheFirstRefusedOne) {
    open();
    typeAll("3", "-0.5", "x", "2");
    const FieldsOutcome refused = fields->confirmRange();
    EXPECT_EQ(refused.refused, Field::RangeUpper);
    EXPECT_STREQ(refused.message, station::kNumberRejected);
    EXPECT_FALSE(refused.applied);
    EXPECT_EQ(refused.takenOver, (std::array<bool, 4>{true, true, false, false}));
    EXPECT_EQ(fields->probeNumber(), 3u);
    EXPECT_EQ(fields->valueText(Field::RangeLower), "-0.5");

    fields->setText(Field::ProbeNumber, "-1");
    EXPECT_EQ(fields->confirmRange().refused, Field::ProbeNumber);
    // The range is refused by the display, not by a field: every field was taken over.
    typeAll("1", "0.5", "0.2", "2");
    const FieldsOutcome inverted = fields->confirmRange();
    EXPECT_FALSE(inverted.refused);
    EXPECT_NE(inverted.message, nullptr);
    EXPECT_FALSE(inverted.applied);
    typeAll("1", "-0.2", "0.2", "2");
    EXPECT_TRUE(fields->confirmRange().applied);
    EXPECT_EQ(station->display().displayRange().low, -200);
}

TEST_F(Fields, EachCommandKeepsItsOwnRuleForARefusedField) {
    open();
    // Not connected: zero single and the mode leave the fields alone.
    typeAll("x", "x", "x", "x");
    EXPECT_FALSE(fields->zeroSingle().refused);
    EXPECT_FALSE(fields->confirmMode(1).refused);
    // The unit takes the fields over but goes through a refusal.
    const FieldsOutcome unit = fields->confirmUnit(1);
    EXPECT_EQ(unit.refused, Field::ProbeNumber);
    EXPECT_TRUE(unit.applied);
    EXPECT_EQ(station->display().unit(), measure::LengthUnit{1});
    // Unticking leaves what was typed; a refused period leaves automatic off.
    EXPECT_FALSE(fields->setAutomatic(false).refused);
    EXPECT_EQ(fields->text(Field::Interval), "x");

    station->connect();
    ASSERT_TRUE(connected());
    typeAll("2", "-0.2", "0.2", "x");
    const FieldsOutcome automatic = fields->setAutomatic(true);
    EXPECT_EQ(automatic.refused, Field::Interval);
    EXPECT_FALSE(station->recorder().automaticTicked());
    EXPECT_EQ(fields->zeroSingle().refused, Field::Interval);
    fields->setText(Field::Interval, "1");
    const FieldsOutcome started = fields->setAutomatic(true);
    EXPECT_TRUE(started.showValues);
    EXPECT_TRUE(station->recorder().automaticTicked());
    // Manual ends automatic recording: the fields show their values again.
    clock.advanceBy(500);
    EXPECT_TRUE(fields->recordOne().showValues);
}

TEST_F(Fields, ARestartIsAskedOnlyForALanguageOtherThanTheStoredOne) {
    struct Case {
        int stored;
        bool clickedChinese;
        bool chineseChecked;
        const char* message;
        int storedAfter;
    };
    const Case cases[] = {
        {1, false, false, "Please close the software and then Reopen!", 2},
        {2, true, true, "请关闭软件后再重新打开!", 1},
        {1, true, true, nullptr, 1},
        {2, false, false, nullptr, 2},
        {3, true, true, "请关闭软件后再重新打开!", 1},  // 3 reads as Chinese but is not the Chinese flag
    };
    for (const Case& c : cases) {
        settings.writeInt("Language", c.stored);
        open();
        const char* message = fields->chooseLanguage(c.clickedChinese, c.chineseChecked);
        EXPECT_STREQ(message ? message : "", c.message ? c.message : "") << c.stored;
        EXPECT_EQ(settings.readInt("Language", 0), c.storedAfter);
        fields.reset();
        station.reset();
    }
}

TEST_F(Fields, ConnectAtStartSearchesOnceAfterTheJournalAndTheChosenProbeIsTaken) {
    open();
    fields->setConnectAtStart(true);
    EXPECT_EQ(settings.readInt("ConnectAtStart", 0), 1);
    fields.reset();
    station.reset();
    open();
    EXPECT_TRUE(fields->connectAtStart());
    fields->startUp();
    ASSERT_TRUE(connected());
    // The connection chose a probe for zero single, and the field shows it.
    EXPECT_EQ(fields->valueText(Field::ProbeNumber), std::to_string(fields->probeNumber()));
    EXPECT_GE(fields->probeNumber(), 1u);
    station->disconnect();
    fields->startUp();
    EXPECT_FALSE(station->linkState().connected);
}

}  // namespace

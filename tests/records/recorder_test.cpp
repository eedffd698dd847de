#include "records/recorder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "records/record_texts.h"
#include "records_rig.h"

namespace gaugemon::records {
namespace {

using core::Language;
using test::RecordsRig;

TEST(AutomaticPeriod, ShortestAcceptedPeriodIsATenthOfASecond) {
    const struct {
        float seconds;
        AutoOutcome outcome;
        int32_t periodMs;
    } cases[] = {
        {0.1f, AutoOutcome::Started, 100},
        {0.0994f, AutoOutcome::PeriodTooShort, 0},
        {0.0995f, AutoOutcome::Started, 100},
        {0.2f, AutoOutcome::Started, 200},
        {1.5f, AutoOutcome::Started, 1500},
        {0.0f, AutoOutcome::PeriodTooShort, 0},
        {-3.0f, AutoOutcome::PeriodTooShort, 0},
        {std::nanf(""), AutoOutcome::PeriodTooShort, 0},
        {86400.0f, AutoOutcome::Started, 86'400'000},
        {86401.0f, AutoOutcome::PeriodTooLong, 0},
        {1e30f, AutoOutcome::PeriodTooLong, 0},
    };
    for (const auto& c : cases) {
        RecordsRig rig;
        EXPECT_EQ(rig.recorder().setAutomatic(true, c.seconds), c.outcome) << c.seconds;
        if (c.outcome == AutoOutcome::Started) {
            EXPECT_EQ(rig.timers.periodOf(core::timer::kRecord), c.periodMs) << c.seconds;
            EXPECT_EQ(rig.store.readInt(core::keys::kRecTime, 0), c.periodMs) << c.seconds;
            EXPECT_EQ(rig.recorder().state(), RecordingState::Automatic);
            EXPECT_TRUE(rig.prompts.messages.empty());
        } else {
            // Refused: the previous period stays, nothing runs, one message.
            EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord)) << c.seconds;
            EXPECT_FALSE(rig.store.contains(core::keys::kRecTime)) << c.seconds;
            EXPECT_EQ(rig.recorder().autoPeriodMs(), 200);
            EXPECT_FALSE(rig.recorder().automaticTicked());
            EXPECT_EQ(rig.prompts.messages.size(), 1u) << c.seconds;
        }
    }
}

TEST(AutomaticPeriod, RefusalIsInTheLanguageOfTheMoment) {
    RecordsRig rig;
    rig.recorder().setAutomatic(true, 0.05f);
    rig.sources.lang = Language::Chinese;
    rig.recorder().setAutomatic(true, 0.05f);
    ASSERT_EQ(rig.prompts.messages.size(), 2u);
    EXPECT_EQ(rig.prompts.messages[0], "Automatic sampling time must be more than 0.1s");
    EXPECT_EQ(rig.prompts.messages[1], "自动采样时间必须大于0.1秒");
}

TEST(AutomaticPeriod, StoredPeriodFillsTheField) {
    RecordsRig rig;
    rig.store.writeInt(core::keys::kRecTime, 1500);
    Recorder recorder(rig.table(), rig.records->codes, rig.sources, rig.timers, rig.store, rig.prompts, rig.time,
                      rig.records->readingWatch, rig.watchdog);
    EXPECT_EQ(recorder.autoPeriodMs(), 1500);
    EXPECT_FLOAT_EQ(recorder.periodFieldSeconds(), 1.5f);
}

TEST(ManualRecord, OneRowTenMillisecondsLater) {
    RecordsRig rig;
    rig.connect();
    rig.recorder().pressManual();
    EXPECT_EQ(rig.recorder().state(), RecordingState::SinglePending);
    rig.time.advanceBy(9);
    EXPECT_EQ(rig.rows(), 0u);
    // A second press while the row is pending adds nothing.
    rig.recorder().pressManual();
    rig.time.advanceBy(1);
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
    EXPECT_TRUE(rig.table().rowsSinceBackup());
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).valueText(2).text(), "- 0.052 ");
    EXPECT_EQ(stampText(rig.table().row(0).timeStamp()), "2019-11-29; 13:52:30");
}

TEST(ManualRecord, WhileDisconnectedDoesNothingAndSaysNothing) {
    RecordsRig rig;
    rig.recorder().pressManual();
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
    EXPECT_TRUE(rig.prompts.messages.empty());
}

// From Connect to the first reading shown, the texts are blank (or the last
// connection's) and the verdict is not this workpiece's: rows wait.
TEST(ManualRecord, WaitsForTheFirstReadingOfTheConnection) {
    RecordsRig rig;
    rig.connect();
    rig.sources.shown = false;
    rig.recorder().pressManual();
    rig.time.advanceBy(500);
    EXPECT_EQ(rig.rows(), 0u);
    EXPECT_EQ(rig.recorder().state(), RecordingState::SinglePending);
    rig.sources.shown = true;
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
}

TEST(AutomaticRecord, OneRowPerPeriodUntilManualStopsIt) {
    RecordsRig rig;
    rig.connect();
    ASSERT_EQ(rig.recorder().setAutomatic(true, 0.2f), AutoOutcome::Started);
    EXPECT_STREQ(rig.recorder().manualButtonText(Language::English), "Stop Auto");
    EXPECT_STREQ(rig.recorder().manualButtonText(Language::Chinese), "关闭自动记录");
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 5u);

    rig.recorder().pressManual();
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
    EXPECT_FALSE(rig.recorder().automaticTicked());
    EXPECT_STREQ(rig.recorder().manualButtonText(Language::English), "Manual");
    EXPECT_STREQ(rig.recorder().manualButtonText(Language::Chinese), "手动记录");
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 5u);
}

TEST(AutomaticRecord, UntickingStopsIt) {
    RecordsRig rig;
    rig.connect();
    rig.recorder().setAutomatic(true, 0.1f);
    rig.time.advanceBy(250);
    EXPECT_EQ(rig.recorder().setAutomatic(false, 0.1f), AutoOutcome::Stopped);
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 2u);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
}

TEST(AutomaticRecord, TickedWhileDisconnectedRecordsOnceConnected) {
    RecordsRig rig;
    rig.recorder().setAutomatic(true, 0.5f);
    rig.time.advanceBy(2000);
    EXPECT_EQ(rig.rows(), 0u);
    rig.connect();
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 2u);
}

TEST(InstrumentRequest, RecordsOneRowWhenIdleAndNothingExtraOtherwise) {
    RecordsRig rig;
    rig.connect();
    EXPECT_EQ(rig.recorder().onInstrumentRecordRequest(), RecordRequestOutcome::TimerStarted);
    EXPECT_EQ(rig.recorder().onInstrumentRecordRequest(), RecordRequestOutcome::Ignored);
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.rows(), 1u);

    rig.recorder().setAutomatic(true, 0.3f);
    rig.time.advanceBy(100);
    EXPECT_EQ(rig.recorder().onInstrumentRecordRequest(), RecordRequestOutcome::Ignored);
    rig.time.advanceBy(200);
    EXPECT_EQ(rig.rows(), 2u);
    EXPECT_EQ(rig.timers.periodOf(core::timer::kRecord), 300);
}

TEST(CodeInput, ManualPressAsksAtTheNextAnswerTickThenRecordsOneRow) {
    RecordsRig rig(true);
    rig.connect();
    rig.timers.start(core::timer::kWatchdog, 5000);
    rig.prompts.codes = {"0123"};
    rig.recorder().pressManual();
    EXPECT_TRUE(rig.recorder().codeInputRequest());
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
    EXPECT_EQ(rig.prompts.codeDialogs, 0);

    bool watchdogWhileOpen = true;
    rig.prompts.whileOpen = [&] {
        watchdogWhileOpen = rig.timers.isRunning(core::timer::kWatchdog);
        rig.time.advanceBy(7000);  // the operator takes a while; no notice meanwhile
    };
    rig.answerTick();
    EXPECT_EQ(rig.prompts.codeDialogs, 1);
    EXPECT_FALSE(watchdogWhileOpen);
    EXPECT_EQ(rig.timers.periodOf(core::timer::kWatchdog), 5000);
    EXPECT_EQ(rig.timers.remainingMs(core::timer::kWatchdog), 5000);
    EXPECT_FALSE(rig.recorder().codeInputRequest());
    EXPECT_EQ(rig.rows(), 0u);

    rig.time.advanceBy(10);
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).code(), "0123");
    EXPECT_EQ(rig.table().row(0).codeSlot().substr(0, 6), std::string_view("/0123\0", 6));
    rig.answerTick();
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.prompts.codeDialogs, 1);
    EXPECT_EQ(rig.rows(), 1u);
}

TEST(CodeInput, InstrumentRequestWaitsForTheCodeAndIgnoresRequestsMeanwhile) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"W-1"};
    EXPECT_EQ(rig.recorder().onInstrumentRecordRequest(), RecordRequestOutcome::CodeRequested);
    EXPECT_EQ(rig.recorder().state(), RecordingState::SinglePending);
    rig.prompts.whileOpen = [&] {
        // Polling goes on inside the dialog; the instrument asks again.
        EXPECT_EQ(rig.recorder().onInstrumentRecordRequest(), RecordRequestOutcome::Ignored);
        rig.recorder().runCodeStep();
        rig.time.advanceBy(500);
    };
    rig.answerTick();
    rig.time.advanceBy(100);
    EXPECT_EQ(rig.prompts.codeDialogs, 1);
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).code(), "W-1");
}

TEST(CodeInput, RequestDuringAManualCodeDialogOpensASecondOne) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"inner", "outer"};
    rig.recorder().pressManual();
    rig.prompts.whileOpen = [&] {
        rig.answerTick(true);  // nested answer tick with a record request
        rig.time.advanceBy(100);
    };
    rig.answerTick();
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.prompts.codeDialogs, 2);
    ASSERT_EQ(rig.rows(), 2u);
    EXPECT_EQ(rig.table().row(0).code(), "inner");
    EXPECT_EQ(rig.table().row(1).code(), "outer");
}

TEST(CodeInput, RefusedCodeIsExplainedAndAskedAgain) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"7,5", std::string(40, 'L'), "75"};
    rig.recorder().pressManual();
    rig.answerTick();
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.prompts.codeDialogs, 3);
    ASSERT_EQ(rig.prompts.messages.size(), 2u);
    EXPECT_EQ(rig.prompts.messages[0], codeProblemMessage(CodeProblem::ForbiddenCharacter, Language::English));
    EXPECT_EQ(rig.prompts.messages[1], codeProblemMessage(CodeProblem::TooLong, Language::English));
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).code(), "75");
}

TEST(CodeInput, AutomaticRowsCarryTheLastCodeAndALoneSlashBeforeAny) {
    RecordsRig rig(true);
    rig.connect();
    rig.recorder().setAutomatic(true, 0.1f);
    rig.time.advanceBy(100);
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).code(), "");
    EXPECT_EQ(rig.table().row(0).codeSlot().substr(0, 2), std::string_view("/\0", 2));
}

TEST(CodeInput, AutomaticStartedWhileACodeWaitsKeepsItsPeriod) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"K9"};
    rig.recorder().pressManual();
    rig.recorder().setAutomatic(true, 0.2f);
    rig.answerTick();
    EXPECT_EQ(rig.recorder().state(), RecordingState::Automatic);
    EXPECT_EQ(rig.timers.periodOf(core::timer::kRecord), 200);
    rig.time.advanceBy(400);
    ASSERT_EQ(rig.rows(), 2u);
    EXPECT_EQ(rig.table().row(1).code(), "K9");
}

// A silent line (instrument off, cable pulled, garbage only) leaves the last
// value texts on screen; rows copied from them would pass for measurements.
TEST(SilentLine, AutomaticRowsPauseWhileNoReadingArrivesAndResumeWithTheNextOneBehindTheMessage) {
    RecordsRig rig;
    rig.connect();
    rig.recorder().setAutomatic(true, 0.1f);
    rig.time.advanceBy(1000);
    ASSERT_EQ(rig.rows(), 10u);
    rig.instrumentAnswers = false;  // the last reading came at 1000 ms
    uint32_t rowsInsideTheBox = 0;
    rig.prompts.whileOpen = [&] {
        rig.time.advanceBy(20'000);
        EXPECT_EQ(rig.rows(), 12u) << "rows only from readings at most two poll cycles old";
        rig.instrumentAnswers = true;
        rig.time.advanceBy(1000);
        rowsInsideTheBox = rig.rows();
    };
    rig.time.advanceBy(10'000);
    EXPECT_GE(rowsInsideTheBox, 11u + 9u) << "recording resumes without waiting for the operator's click";
    EXPECT_TRUE(rig.recorder().automaticTicked());
    // Told once for the whole silence, whatever the box nested.
    EXPECT_EQ(rig.prompts.messages, std::vector<std::string>(1, text::kNoReadingsEn));
}

// A row copies the readings of the current poll cycle or of the one before;
// a command the instrument answered took a cycle that asked for no readings.
TEST(SilentLine, ReadingsAreCurrentForAtMostTwoPollCycles) {
    const struct {
        const char* name;
        int requests;
        int commandsAnswered;
        bool recorded;
    } cases[] = {
        {"no request since the reading", 0, 0, true},    {"the next cycle is waiting for its answer", 1, 0, true},
        {"one answer was lost on the line", 2, 0, true}, {"two cycles went unanswered", 3, 0, false},
        {"a zero was echoed in between", 3, 1, true},    {"a long silence ended with an echo", 9, 1, false},
    };
    for (const auto& c : cases) {
        RecordsRig rig;
        rig.connect();
        rig.polling.stop(core::timer::kRequest);  // the cycles are told by hand
        rig.records->onReadingArrived();
        for (int i = 0; i < c.requests; ++i) rig.records->onRequestSent();
        for (int i = 0; i < c.commandsAnswered; ++i) rig.records->onCommandAnswered();
        rig.recorder().pressManual();
        rig.time.advanceBy(10);
        EXPECT_EQ(rig.rows(), c.recorded ? 1u : 0u) << c.name;
        EXPECT_EQ(rig.prompts.messages.size(), c.recorded ? 0u : 1u) << c.name;
    }
}

TEST(SilentLine, ManualIsRefusedAndTheOperatorToldOncePerSilence) {
    RecordsRig rig;
    rig.sources.lang = Language::Chinese;
    rig.connect();
    rig.instrumentAnswers = false;  // no reading at all since Connect
    rig.time.advanceBy(kWatchdogMs);
    rig.recorder().pressManual();
    rig.recorder().pressManual();
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 0u);
    EXPECT_EQ(rig.prompts.messages, std::vector<std::string>(1, text::kNoReadingsZh));

    rig.instrumentAnswers = true;
    rig.time.advanceBy(100);
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.rows(), 1u);

    rig.instrumentAnswers = false;  // a second silence is told again
    rig.time.advanceBy(kWatchdogMs);
    rig.recorder().pressManual();
    EXPECT_EQ(rig.prompts.messages.size(), 2u);
}

// The foot switch's row waits behind the code dialog; if the line falls
// silent meanwhile, it waits for a reading instead of copying a frozen one.
TEST(SilentLine, PendingRowWaitsForTheNextReading) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"P1"};
    rig.recorder().onInstrumentRecordRequest();
    rig.prompts.whileOpen = [&] {
        rig.instrumentAnswers = false;
        rig.time.advanceBy(8000);
    };
    rig.answerTick();
    rig.time.advanceBy(1000);
    EXPECT_EQ(rig.rows(), 0u);
    EXPECT_EQ(rig.recorder().state(), RecordingState::SinglePending);
    rig.instrumentAnswers = true;
    rig.time.advanceBy(100);
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).code(), "P1");
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
}

// A record request arrives inside a valid reading answer: it ends a silence.
TEST(SilentLine, RecordRequestOfTheInstrumentIsTakenAfterASilence) {
    RecordsRig rig;
    rig.connect();
    rig.instrumentAnswers = false;
    rig.time.advanceBy(2 * kWatchdogMs);
    EXPECT_EQ(rig.recorder().onInstrumentRecordRequest(), RecordRequestOutcome::TimerStarted);
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_TRUE(rig.prompts.messages.empty());
}

// Readings re-armed the watchdog inside the code dialog, then the line fell
// silent and the watchdog told so: the dialog's end does not tell it again.
TEST(CodeInput, DialogDoesNotRearmAWatchdogThatExpiredWhileItWasOpen) {
    RecordsRig rig(true);
    rig.connect();
    rig.time.advanceBy(1000);
    rig.recorder().pressManual();
    rig.prompts.whileOpen = [&] {
        rig.time.advanceBy(1000);
        rig.instrumentAnswers = false;
        rig.time.advanceBy(8000);
    };
    rig.answerTick();
    rig.time.advanceBy(60'000);
    EXPECT_EQ(rig.disconnectNotices, 1);
}

TEST(FullTable, PendingRowIsRecordedAfterClearing) {
    RecordsRig rig;
    rig.sources.probes = 1;
    rig.connect();
    for (uint32_t r = 0; r < kMaxRows; ++r)
        rig.table().appendRow({1, false, {}, false, Language::English, {}, rig.time.localNow()});
    rig.recorder().pressManual();
    rig.time.advanceBy(100);
    EXPECT_EQ(rig.rows(), kMaxRows);
    EXPECT_EQ(rig.recorder().state(), RecordingState::SinglePending);
    EXPECT_EQ(rig.timers.periodOf(core::timer::kRecord), 10);
    // The row that cannot be added is not dropped unseen: told once.
    EXPECT_EQ(rig.prompts.messages, std::vector<std::string>{text::kTableFullEn});
    rig.table().clearTable();
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
}

TEST(OtherProbeCount, OldRowsStayAndNewOnesWaitUntilTheTableIsCleared) {
    RecordsRig rig;
    rig.connect();
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    rig.disconnect();

    rig.sources.probes = 3;
    test::showTexts(rig.sources, {"  3.001 ", "- 0.052 ", "  9.999 "});
    rig.connect();
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_NE(rig.prompts.messages[0].find("2 probes"), std::string::npos);
    EXPECT_NE(rig.prompts.messages[0].find("3 probes"), std::string::npos);

    rig.recorder().pressManual();
    rig.time.advanceBy(100);
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().layout().probeCount, 2u);
    EXPECT_EQ(rig.prompts.messages.size(), 1u) << "told at Connect, not again at every tick";

    rig.table().clearTable();
    rig.time.advanceBy(10);
    ASSERT_EQ(rig.rows(), 1u);
    EXPECT_EQ(rig.table().row(0).valueText(3).text(), "  9.999 ");
}

TEST(OtherProbeCount, MessageFollowsTheLanguage) {
    RecordsRig rig;
    rig.sources.lang = Language::Chinese;
    rig.connect();
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    rig.disconnect();
    rig.sources.probes = 8;
    rig.connect();
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_NE(rig.prompts.messages[0].find("8个测头"), std::string::npos);
}

TEST(Disconnect, EndsRecordingAndTheBackupBox) {
    RecordsRig rig(true);
    rig.connect();
    rig.records->backup.setBoxTicked(true);
    rig.recorder().pressManual();  // a code is waiting to be asked for
    rig.recorder().setAutomatic(true, 0.2f);
    ASSERT_TRUE(rig.recorder().codeInputRequest());
    rig.disconnect();
    EXPECT_EQ(rig.recorder().state(), RecordingState::Idle);
    EXPECT_FALSE(rig.recorder().automaticTicked());
    EXPECT_FALSE(rig.recorder().codeInputRequest());
    EXPECT_STREQ(rig.recorder().manualButtonText(Language::English), "Manual");
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
    EXPECT_FALSE(rig.records->backup.boxTicked());
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kBackup));
}

TEST(ModifyCode, WithoutASelectedRowTellsTheOperator) {
    RecordsRig rig(true);
    rig.sources.lang = Language::Chinese;
    rig.recorder().modifyCode(std::nullopt);
    EXPECT_EQ(rig.prompts.codeDialogs, 0);
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_EQ(rig.prompts.messages[0], "请先选中待修改的编码!");
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
}

TEST(ModifyCode, ReplacesTheCodeWithoutSlashAndAddsNoRow) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"12345", "12345"};
    rig.recorder().pressManual();
    rig.answerTick();
    rig.time.advanceBy(10);
    ASSERT_EQ(rig.table().row(0).codeSlot().substr(0, 6), "/12345");
    rig.table().setRowsSinceBackup(false);

    rig.disconnect();  // modifying works without a connection
    rig.recorder().modifyCode(0);
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.table().row(0).codeSlot().substr(0, 6), std::string_view("12345\0", 6));
    EXPECT_EQ(rig.rows(), 1u);
    EXPECT_FALSE(rig.table().rowsSinceBackup());
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
}

TEST(ModifyCode, RowsRecordedWithoutCodesSayThereIsNoRoomAndAskNothing) {
    RecordsRig rig;
    rig.connect();
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    rig.disconnect();
    rig.records->codes.setEnabled(true);  // the box is offered while disconnected
    rig.recorder().modifyCode(0);
    EXPECT_EQ(rig.prompts.codeDialogs, 0);
    EXPECT_EQ(rig.prompts.messages, std::vector<std::string>{text::kRowsWithoutCodesEn});
    EXPECT_FALSE(rig.timers.isRunning(core::timer::kRecord));
}

TEST(ModifyCode, AutomaticRecordingKeepsItsPeriodAndTheDialogWritesNothingEarly) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"A1", "B2"};
    rig.recorder().pressManual();
    rig.answerTick();
    rig.time.advanceBy(10);
    rig.recorder().setAutomatic(true, 0.5f);

    rig.prompts.whileOpen = [&] {
        rig.time.advanceBy(1200);  // automatic rows go on behind the dialog
        EXPECT_EQ(rig.table().row(0).code(), "A1");
    };
    rig.recorder().modifyCode(0);
    EXPECT_EQ(rig.rows(), 3u);
    rig.time.advanceBy(10);
    EXPECT_EQ(rig.table().row(0).code(), "B2");
    EXPECT_EQ(rig.rows(), 3u);
    EXPECT_EQ(rig.timers.periodOf(core::timer::kRecord), 500);
    rig.time.advanceBy(500);
    ASSERT_EQ(rig.rows(), 4u);
    EXPECT_EQ(rig.table().row(3).code(), "B2");
}

TEST(ModifyCode, DisconnectRightAfterTheDialogStillAppliesTheChange) {
    RecordsRig rig(true);
    rig.connect();
    rig.prompts.codes = {"A1", "B2"};
    rig.recorder().pressManual();
    rig.answerTick();
    rig.time.advanceBy(10);
    rig.recorder().modifyCode(0);
    rig.disconnect();
    EXPECT_EQ(rig.table().row(0).code(), "B2");
}

TEST(CloseWithUnsavedRows, AsksOnlyWhileRowsAreInNoFile) {
    RecordsRig rig;
    EXPECT_TRUE(rig.records->confirmClose());
    rig.connect();
    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    rig.prompts.yesAnswer = false;
    EXPECT_FALSE(rig.records->confirmClose());
    ASSERT_EQ(rig.prompts.questions.size(), 1u);

    rig.prompts.saveChoices = {core::SaveChoice{(rig.dir / "saved.xls").string(), 0}};
    ASSERT_EQ(rig.records->exporter.run(), ExportOutcome::Written);
    EXPECT_TRUE(rig.records->confirmClose());
    EXPECT_EQ(rig.prompts.questions.size(), 1u);

    rig.recorder().pressManual();
    rig.time.advanceBy(10);
    rig.prompts.yesAnswer = true;
    EXPECT_TRUE(rig.records->confirmClose());
    EXPECT_EQ(rig.prompts.questions.size(), 2u);
}

}  // namespace
}  // namespace gaugemon::records

#if !defined(__SANITIZE_ADDRESS__)
#include <malloc.h>
#include <sys/resource.h>

namespace gaugemon::records {
namespace {

// Caps the address space so the next block of rows cannot be had.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_AS, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_AS, &limit);
    }
    ~AddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &saved_); }

private:
    rlimit saved_{};
};

// Row blocks come from fresh address space and go back to the system when
// freed, from the start of the process: a block an earlier test gave back to
// the heap would otherwise be handed out again under the limit below.
[[maybe_unused]] const int kFixedMmapThreshold = ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);

long addressSpaceBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7)) * 1024;
    return -1;
}

TEST(OutOfMemory, RecordingTellsTheOperatorOnceAndKeepsEveryRowHeld) {
    RecordsRig rig;
    rig.sources.probes = 60;
    rig.connect();
    rig.recorder().setAutomatic(true, 0.1f);
    rig.time.advanceBy(100);
    ASSERT_EQ(rig.rows(), 1u);
    {
        AddressSpaceLimit limit(static_cast<rlim_t>(addressSpaceBytes()) + 64 * 1024);
        // The first block holds kRowsPerChunk rows; the row after it needs a new one.
        rig.time.advanceBy(100 * (RecordTable::kRowsPerChunk + 5));
    }
    EXPECT_EQ(rig.rows(), RecordTable::kRowsPerChunk);
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    EXPECT_NE(rig.prompts.messages[0].find("Not enough memory"), std::string::npos);
    rig.time.advanceBy(100);
    EXPECT_EQ(rig.rows(), RecordTable::kRowsPerChunk + 1);
    EXPECT_EQ(rig.table().row(0).valueText(1).text(), "  3.001 ");
}

}  // namespace
}  // namespace gaugemon::records
#endif

// The station as the operator meets it: the real main window on virtual time
// with the simulated instrument on an in-process line.
#include "station_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "app/characteristics_dialog.h"
#include "app/chart_view.h"
#include "app/code_input_dialog.h"
#include "app/help_dialog.h"
#include "app/parameter_dialog.h"
#include "app/tolerance_dialog.h"
#include "app/window_layout.h"
#include "records/record_list_model.h"
#include "sim/instrument_config.h"
#include "support/memory_settings_store.h"

using namespace gaugemon;
using namespace gaugemon::testing;
namespace c = app::control;

namespace {

sim::InstrumentConfig eightProbesAt(double levelUm) {
    sim::InstrumentConfig config;
    for (unsigned k = 0; k < 8; ++k) config.probes.push_back(sim::constantProbe(levelUm + k));
    return config;
}

class StartUp : public StationFixture {};

TEST_F(StartUp, AFirstStartShowsTheChineseLabelsAndTheDefaults) {
    open();
    EXPECT_EQ(textOf(c::kConnect), QString::fromUtf8("连接设备"));
    EXPECT_EQ(textOf(c::kMessageLine), QString::fromUtf8("第1次使用请点<帮助>!"));
    EXPECT_EQ(textOf(c::kRangeLower), "-10");
    EXPECT_EQ(textOf(c::kRangeUpper), "10");
    EXPECT_EQ(textOf(c::kInterval), "0.2");
    EXPECT_EQ(textOf(c::kProbeNumber), "0");
    EXPECT_FALSE(control<QCheckBox>(c::kCodeEntry)->isChecked());
    EXPECT_EQ(control<QComboBox>(c::kUnitList)->currentText(), "mm");
    EXPECT_EQ(control<QComboBox>(c::kModeList)->itemText(3), QString::fromUtf8("极差值"));
    EXPECT_FALSE(control(c::kParameters)->isEnabled());
    EXPECT_FALSE(control(c::kModeOk)->isEnabled());
    EXPECT_FALSE(control(c::kModeList)->isEnabled());
    EXPECT_FALSE(control(c::kModifyCode)->isEnabled());
    EXPECT_TRUE(control<QRadioButton>(c::kChinese)->isChecked());
    EXPECT_EQ(window->tolerances().limits(60).uslCounts, 6000);
    EXPECT_EQ(window->windowTitle(), "VELMORA V7.2.7");
}

// Nothing reaches the instrument before Connect, unless the operator asked
// for the search to begin at start-up.
TEST_F(StartUp, TheSearchBeginsAtStartOnlyWhenTheSettingAsks) {
    ports.place("COM1", eightProbesAt(1000));
    open();
    clock.advanceBy(5'000);
    QApplication::processEvents();
    EXPECT_TRUE(ports.events().empty());
    window.reset();

    settings.writeInt("ConnectAtStart", 1);
    open();
    EXPECT_TRUE(clock.runUntil(
        [&] {
            QApplication::processEvents();
            return window->linkState().connected;
        },
        10'000));
}

// Every control of the table has a widget of its own kind: two ids that
// shared a slot once made the language frame stand in for a button.
TEST_F(StartUp, EveryControlHasAWidgetOfItsOwnKind) {
    open();
    for (const app::ControlSpec& spec : app::kControls) {
        QWidget* widget = control(spec.id);
        ASSERT_NE(widget, nullptr) << spec.id;
        EXPECT_EQ(qobject_cast<QPushButton*>(widget) != nullptr, spec.kind == app::ControlKind::PushButton) << spec.id;
    }
}

TEST_F(StartUp, EnglishLabelsKeepTheirBlanks) {
    settings.writeInt("Language", 2);
    settings.writeInt("CodeEn", 1);
    open();
    EXPECT_EQ(textOf(c::kConnect), "Connect");
    EXPECT_EQ(textOf(c::kCommLabel), "   Comm ");
    EXPECT_EQ(textOf(c::kDeviceLabel), " Device ");
    EXPECT_EQ(textOf(c::kProbeNumberLabel), "Num ");
    EXPECT_EQ(textOf(c::kChartFrame), "Real time data chart display area");
    EXPECT_EQ(textOf(c::kMessageLine), "First Use see <Help>!");
    EXPECT_EQ(control<QComboBox>(c::kModeList)->itemText(0), "  RV   ");
    EXPECT_TRUE(control<QRadioButton>(c::kEnglish)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(c::kCodeEntry)->isChecked());
    EXPECT_TRUE(control(c::kModifyCode)->isEnabled());
}

TEST_F(StartUp, StoredInchLimitsAreConvertedToCounts) {
    settings.writeInt("Unit", 1);
    settings.writeInt("TL05", 1000);
    open();
    EXPECT_EQ(control<QComboBox>(c::kUnitList)->currentText(), "in");
    EXPECT_EQ(window->tolerances().limits(5).lslCounts, 254);
}

class Operation : public StationFixture {
protected:
    sim::Instrument& placeInstrument(sim::InstrumentConfig config = eightProbesAt(4000)) {
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", 3);
        return ports.place("COM3", std::move(config));
    }
};

TEST_F(Operation, ConnectFindsTheInstrumentAndShowsTheLink) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    EXPECT_EQ(textOf(c::kCommStatus), "COM03 19200,8,N,1");
    EXPECT_EQ(textOf(c::kDeviceInfo), QString::fromUtf8("地址:01  数量:08; 查询周期109毫秒"));
    EXPECT_EQ(textOf(c::kConnect), QString::fromUtf8("断开连接"));
    EXPECT_EQ(textOf(c::kProbeNumber), "1");
    EXPECT_TRUE(control(c::kParameters)->isEnabled());
    EXPECT_FALSE(control(c::kCodeEntry)->isEnabled());
    clock.advanceBy(1000);
    EXPECT_EQ(window->linkState().readings[0].value, 4000);
    EXPECT_FALSE(window->displayModel().anyNg());
    EXPECT_EQ(window->recordModel().columnCount(), 1 + 8 + 2);
}

TEST_F(Operation, AClickOnABarChoosesItsProbe) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    const display::ChartArea& area = window->displayModel().chartArea();
    const int slice = (area.right - area.left) / 8;
    window->chartClicked(area.left + 2 * slice + slice / 2, (area.top + area.bottom) / 2);
    EXPECT_EQ(textOf(c::kProbeNumber), "3");
}

TEST_F(Operation, AClickOnABarKeepsWhatWasTypedInTheOtherFields) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    type(c::kRangeLower, "-2.5");
    type(c::kRangeUpper, "7");
    type(c::kInterval, "0.3");
    const display::ChartArea& area = window->displayModel().chartArea();
    window->chartClicked(area.left + 1, (area.top + area.bottom) / 2);
    EXPECT_EQ(textOf(c::kProbeNumber), "1");
    EXPECT_EQ(textOf(c::kRangeLower), "-2.5");
    EXPECT_EQ(textOf(c::kRangeUpper), "7");
    EXPECT_EQ(textOf(c::kInterval), "0.3");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Operation, AClickOnTheChartReportsARefusedFieldOnce) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    type(c::kRangeUpper, "ten");
    QWidget* chart = nullptr;
    for (auto* view : window->findChildren<app::ChartView*>()) {
        if (view->width() > 300) chart = view;
    }
    ASSERT_NE(chart, nullptr);
    const QPointF at(2, chart->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, chart->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(chart, &press);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请键入一个数。"});
    EXPECT_EQ(textOf(c::kProbeNumber), "1");
    EXPECT_EQ(textOf(c::kRangeUpper), "10");  // the refused field shows its value again
    // Without a connection nothing is written back, so the field stays refused.
    click(c::kConnect);
    type(c::kRangeUpper, "ten");
    prompts.messages.clear();
    QApplication::sendEvent(chart, &press);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请键入一个数。"});
}

// Mode and unit confirmations take the typed fields over, so the next time
// the window shows its fields (here the logo step after a resize) they show
// what was typed.
TEST_F(Operation, ModeAndUnitConfirmationsTakeTheTypedFieldsOver) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    for (const int button : {c::kModeOk, c::kUnitOk}) {
        SCOPED_TRACE(button);
        const QString typed = button == c::kModeOk ? "-3" : "-4";
        type(c::kRangeLower, typed);
        click(button);
        window->resize(window->width() + 10, window->height());
        QApplication::processEvents();
        clock.advanceBy(20);
        EXPECT_EQ(textOf(c::kRangeLower), typed);
    }
    EXPECT_TRUE(prompts.messages.empty());
    // A refused field is reported before the mode goes to the instrument.
    type(c::kInterval, "fast");
    click(c::kModeOk);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请键入一个数。"});
    EXPECT_TRUE(window->linkState().pending.modeChange);
}

TEST_F(Operation, TheModeConfirmationWithoutAConnectionReadsNoField) {
    open();
    control(c::kModeOk)->setEnabled(true);
    type(c::kRangeLower, "abc");
    click(c::kModeOk);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请先连接设备!"});
}

TEST_F(Operation, AutomaticRecordingShowsTheFieldsWhenItStartsAndStops) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    type(c::kInterval, "0.50");
    click(c::kAutoRecord);
    EXPECT_EQ(textOf(c::kInterval), "0.5");
    // Unticking reads nothing, so a half-typed field is not refused; it shows
    // its value again.
    type(c::kRangeLower, "abc");
    click(c::kAutoRecord);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(textOf(c::kRangeLower), "-10");
    // Manual as "Stop Auto" does the same.
    click(c::kAutoRecord);
    ASSERT_EQ(textOf(c::kManual), QString::fromUtf8("关闭自动记录"));
    type(c::kRangeLower, "abc");
    click(c::kManual);
    EXPECT_FALSE(control<QCheckBox>(c::kAutoRecord)->isChecked());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(textOf(c::kRangeLower), "-10");
    // A refused period changes nothing else: the typed text stays.
    type(c::kInterval, "0.05");
    type(c::kRangeUpper, "8");
    click(c::kAutoRecord);
    EXPECT_FALSE(control<QCheckBox>(c::kAutoRecord)->isChecked());
    EXPECT_EQ(textOf(c::kInterval), "0.05");
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(Operation, TheListFollowsItsNewestRow) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    type(c::kInterval, "0.1");
    click(c::kAutoRecord);
    auto* list = control<QTableView>(c::kRecordList);
    for (const int rows : {80, 200}) {
        ASSERT_TRUE(clock.runUntil([&] { return window->recordModel().rowCount() >= rows; }, 60'000));
        QApplication::processEvents();
        const int last = window->recordModel().rowCount() - 1;
        const QRect row = list->visualRect(list->model()->index(last, 0));
        EXPECT_TRUE(list->viewport()->rect().contains(row)) << "row " << last << " at " << row.y();
        EXPECT_FALSE(list->viewport()->rect().contains(list->visualRect(list->model()->index(0, 0))));
        // A shorter window lengthens the range without a new row; the list
        // stays at the bottom through it.
        window->resize(window->width(), window->height() - 20);
        QApplication::processEvents();
    }
    // Scrolled up to an older row, the operator is left there.
    list->verticalScrollBar()->setValue(0);
    ASSERT_TRUE(clock.runUntil([&] { return window->recordModel().rowCount() >= 240; }, 60'000));
    QApplication::processEvents();
    EXPECT_EQ(list->rowAt(0), 0);
}

// Rows recorded every 0.1 s come into the list a few at a time, so that it
// lays itself out a few times a second, yet no row waits more than 200 ms.
TEST_F(Operation, TheListTakesRowsInBatchesAndShowsEachWithinAFifthOfASecond) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    int layouts = 0;
    QObject::connect(&window->recordModel(), &QAbstractItemModel::rowsInserted, [&layouts] { ++layouts; });
    type(c::kInterval, "0.1");
    click(c::kAutoRecord);
    std::vector<int64_t> recordedAt;
    int64_t longestWait = 0;
    for (int64_t elapsed = 0; elapsed < 3000; elapsed += 5) {
        clock.advanceBy(5);
        while (recordedAt.size() < window->recordTable().rowCount()) recordedAt.push_back(clock.nowMs());
        for (size_t row = static_cast<size_t>(window->recordModel().rowCount()); row < recordedAt.size(); ++row)
            longestWait = std::max(longestWait, clock.nowMs() - recordedAt[row]);
    }
    const auto rows = static_cast<int>(recordedAt.size());
    ASSERT_GE(rows, 25);
    EXPECT_LE(longestWait, 200);
    EXPECT_LE(layouts, rows / 2 + 1);
}

TEST_F(Operation, ZeroSingleReachesTheInstrument) {
    sim::Instrument& instrument = placeInstrument();
    open();
    ASSERT_TRUE(connect());
    type(c::kProbeNumber, "+2");
    click(c::kZeroSingle);
    clock.advanceBy(1000);
    EXPECT_EQ(instrument.probes().zeroOffsetUm(1), 4001.0);
    EXPECT_EQ(instrument.probes().zeroOffsetUm(0), 0.0);
    EXPECT_EQ(window->linkState().readings[1].value, 0);
}

TEST_F(Operation, RefusedProbeNumberShowsTheMessageAndSendsNothing) {
    sim::Instrument& instrument = placeInstrument();
    open();
    ASSERT_TRUE(connect());
    type(c::kProbeNumber, "-3");
    click(c::kZeroSingle);
    clock.advanceBy(1000);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"“请填入一个正整数。”"});
    EXPECT_EQ(instrument.probes().zeroOffsetUm(2), 0.0);
}

TEST_F(Operation, TighterLimitsTurnAColumnRedAndTheVerdictNG) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(1000);
    ASSERT_FALSE(window->displayModel().anyNg());
    whenDialogOpens<app::ToleranceDialog>([this](app::ToleranceDialog& dialog) {
        clock.advanceBy(150);  // the dialog follows its list and loads probe 1
        dialog.probeEdit()->setText("1");
        dialog.lowerEdit()->setText("4.5");
        dialog.upperEdit()->setText("6");
        dialog.pressOk();
        clock.advanceBy(1000);  // polling and judging go on behind the dialog
        dialog.accept();
    });
    click(c::kTolerances);
    EXPECT_EQ(window->tolerances().limits(1).lslCounts, 4500);
    EXPECT_EQ(settings.readInt("TL01", 0), 4500);
    EXPECT_TRUE(window->displayModel().anyNg());
    // The first column's bar is red, the second's green.
    const display::ChartArea& area = window->displayModel().chartArea();
    const int slice = (area.right - area.left) / 8;
    const int y = area.top + (area.bottom - area.top) / 2 - 5;  // above the zero line, within 4 mm
    EXPECT_EQ(window->chartImage().pixelColor(area.left + slice / 2, y), QColor(255, 0, 0));
    EXPECT_EQ(window->chartImage().pixelColor(area.left + slice + slice / 2, y), QColor(0, 238, 0));
}

// The dialog edits through the editor: a refusal is shown and changes
// nothing, the preview follows the readings, and OK hands the list to the
// station, whose chart then shows an outlined column after the probes.
TEST_F(Operation, TheCharacteristicsDialogPreviewsAndHandsItsListToTheStation) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    app::CharacteristicsDialog dialog(window->station(), prompts, std::make_unique<core::VirtualTimerSchedule>(clock),
                                      window.get());
    using Field = app::CharacteristicsDialog::FieldIndex;
    auto typeDefinition = [&dialog](const char* formula) {
        dialog.field(Field::Name)->setText("Dia");
        dialog.field(Field::Decimals)->setText("3");
        dialog.field(Field::Lower)->setText("8");
        dialog.field(Field::Upper)->setText("8.010");
        dialog.field(Field::Formula)->setText(formula);
    };
    typeDefinition("p1 + p9");
    dialog.pressAdd();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages.back(), "测头9超出仪器的测头数。");
    EXPECT_EQ(dialog.list()->rowCount(), 0);
    typeDefinition("p1 + p2");
    dialog.pressAdd();
    ASSERT_EQ(dialog.list()->rowCount(), 1);
    clock.advanceBy(150);
    EXPECT_EQ(dialog.list()->item(0, 4)->text(), "8.001");

    dialog.pressOk();
    ASSERT_EQ(window->station().characteristics().definitions.size(), 1u);
    clock.advanceBy(500);
    const display::ChartArea& area = window->displayModel().chartArea();
    const int32_t y0 = display::verticalScale(area, window->displayModel().displayRange()).y0;
    EXPECT_EQ(window->chartImage().pixelColor(display::columnLeft(area, 8, 9), y0 - 5), QColor(0, 0, 128));
    EXPECT_EQ(window->chartImage().pixelColor(display::columnLeft(area, 8, 9) + 3, y0 - 5), QColor(0, 238, 0));
    // The plot was cleared for the new layout: no bar of the eight columns lingers beside the nine.
    const display::ColumnGeometry nine = display::columnGeometry(area.right - area.left, 9);
    EXPECT_EQ(window->chartImage().pixelColor(display::columnLeft(area, 3, 9) + nine.barW + 1, y0 - 5),
              QColor(232, 232, 232));
}

TEST_F(Operation, ManualAndAutomaticRecordingFillTheList) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    click(c::kManual);
    clock.advanceBy(20);
    EXPECT_EQ(window->recordTable().rowCount(), 1u);
    type(c::kInterval, "0.5");
    click(c::kAutoRecord);
    EXPECT_EQ(textOf(c::kManual), QString::fromUtf8("关闭自动记录"));
    clock.advanceBy(2000);
    EXPECT_EQ(window->recordTable().rowCount(), 5u);
    EXPECT_EQ(settings.readInt("RecTime", 0), 500);
    // The list takes the rows in batches: the last one is there when its batch ends.
    clock.advanceBy(records::RecordListModel::kListBatchDelay.count());
    EXPECT_EQ(window->recordModel().rowCount(), 5);
    click(c::kManual);  // stops automatic recording
    EXPECT_FALSE(control<QCheckBox>(c::kAutoRecord)->isChecked());
    clock.advanceBy(2000);
    EXPECT_EQ(window->recordTable().rowCount(), 5u);
}

TEST_F(Operation, ARowAskedForBeforeTheFirstReadingWaitsForIt) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    click(c::kManual);
    clock.advanceBy(20);
    EXPECT_EQ(window->recordTable().rowCount(), 0u);
    clock.advanceBy(500);
    ASSERT_EQ(window->recordTable().rowCount(), 1u);
    // A reading, not the blank slot of a connection that has shown none.
    EXPECT_NE(window->recordTable().row(0).valueText(1).text().find_first_not_of(std::string_view(" \0", 2)),
              std::string_view::npos);
}

TEST_F(Operation, SaveWritesTheFileTheOperatorNamed) {
    settings.writeInt("Language", 2);
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    click(c::kManual);
    clock.advanceBy(20);
    const std::string path = (directory() / "rows.csv").string();
    prompts.saveChoices.push_back(core::SaveChoice{path, 1});
    click(c::kSave);
    window->finishFileWrites();
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(bytes.substr(0, 34), "Num,S01,S02,S03,S04,S05,S06,S07,S0");
    EXPECT_NE(bytes.find("Result,Time\r\n000001"), std::string::npos);
    // The box comes once the step that waited for the file is over.
    QCoreApplication::sendPostedEvents();
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), "Data export completed!");
}

TEST_F(Operation, TheParameterDialogChangesTheBaudRateAndTheLinkFollows) {
    sim::Instrument& instrument = placeInstrument();
    open();
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    whenDialogOpens<app::ParameterDialog>([](app::ParameterDialog& dialog) {
        dialog.baudList()->setCurrentIndex(3);  // 9600
        dialog.pressOk();
    });
    click(c::kParameters);
    clock.advanceBy(2000);
    EXPECT_EQ(instrument.baudRate(), 9600);
    EXPECT_EQ(line.baudRate(), 9600);
    EXPECT_EQ(textOf(c::kCommStatus), "COM03  9600,8,N,1");
    const auto misses = window->linkState().missCount;
    clock.advanceBy(2000);
    EXPECT_EQ(window->linkState().missCount, misses);
}

TEST_F(Operation, DisconnectEndsRecordingAndBackup) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    click(c::kBackupBox);
    type(c::kInterval, "1");
    click(c::kAutoRecord);
    clock.advanceBy(1500);
    click(c::kConnect);
    EXPECT_FALSE(control<QCheckBox>(c::kAutoRecord)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(c::kBackupBox)->isChecked());
    EXPECT_EQ(textOf(c::kManual), QString::fromUtf8("手动记录"));
    EXPECT_TRUE(control(c::kCodeEntry)->isEnabled());
    EXPECT_EQ(textOf(c::kCommStatus), "  ");
}

// The edit fields as the operator types into them.
class Fields : public StationFixture {
protected:
    // Types as the keyboard does, which marks the field as edited.
    void typeKeys(int id, const QString& keys) {
        auto* edit = control<QLineEdit>(id);
        edit->setFocus();
        edit->selectAll();
        for (const QChar key : keys) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
            QApplication::sendEvent(edit, &press);
        }
    }
};

TEST_F(Fields, ATypedFieldIsNotOverwrittenByTheRefreshesOfABadLine) {
    sim::Instrument& instrument = ports.place("COM3", eightProbesAt(4000));
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 3);
    open();
    ASSERT_TRUE(connect());
    instrument.setFaultEvery(sim::FaultKind::Drop, 2);
    for (const int id : {c::kRangeUpper, c::kInterval, c::kProbeNumber}) {
        SCOPED_TRACE(id);
        typeKeys(id, "7");
        const auto misses = window->linkState().missCount;
        clock.advanceBy(2000);
        ASSERT_GT(window->linkState().missCount, misses) << "the window was refreshed";
        EXPECT_EQ(textOf(id), "7");
    }
    // Left without being confirmed, it shows its value again at the next refresh.
    control(c::kConnect)->setFocus();
    clock.advanceBy(2000);
    EXPECT_EQ(textOf(c::kProbeNumber), "1");
    // Confirmed, it shows the value taken over.
    typeKeys(c::kRangeUpper, "8.50");
    click(c::kRangeOk);
    clock.advanceBy(2000);
    EXPECT_EQ(textOf(c::kRangeUpper), "8.5");
    EXPECT_EQ(settings.readInt("ResoH", 0), 8500);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Fields, ARefusedRangeFieldIsTheOnlyMessageOfItsConfirmation) {
    open();
    type(c::kRangeUpper, "-1");
    click(c::kRangeOk);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{" >0! "});
    prompts.messages.clear();
    const int writes = settings.writeCount();
    type(c::kRangeUpper, "abc");
    click(c::kRangeOk);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请键入一个数。"});
    EXPECT_EQ(settings.writeCount(), writes) << "nothing confirmed from the values before";
}

TEST_F(Fields, ARefusedFieldLeavesAutomaticRecordingOffWithOneMessage) {
    ports.place("COM3", eightProbesAt(4000));
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 3);
    open();
    ASSERT_TRUE(connect());
    type(c::kInterval, "0.05");
    click(c::kAutoRecord);
    ASSERT_EQ(prompts.messages.size(), 1u);
    prompts.messages.clear();
    // The period typed now lies after the refused field and is not read.
    type(c::kRangeLower, "abc");
    type(c::kInterval, "1");
    click(c::kAutoRecord);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请键入一个数。"});
    EXPECT_FALSE(control<QCheckBox>(c::kAutoRecord)->isChecked());
    clock.advanceBy(2000);
    EXPECT_EQ(window->recordTable().rowCount(), 0u);
}

// Stopped by the system (SIGTERM, SIGINT), the station writes the rows that
// no backup holds yet when the backup box is ticked and lets go of the port.
TEST_F(Operation, AStopWritesTheLastBackupAndClosesThePort) {
    placeInstrument();
    open();
    ASSERT_TRUE(connect());
    click(c::kBackupBox);
    clock.advanceBy(500);
    click(c::kManual);
    clock.advanceBy(20);
    ASSERT_EQ(window->recordTable().rowCount(), 1u);
    model->stop(station::Station::LastBackup::Write);
    EXPECT_FALSE(line.isOpen());
    std::vector<std::filesystem::path> backups;
    for (const auto& entry : std::filesystem::directory_iterator(directory())) {
        if (entry.path().filename().string().starts_with("bak")) backups.push_back(entry.path());
    }
    ASSERT_EQ(backups.size(), 1u);
    std::ifstream file(backups[0], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2) << "the header and the one row";
}

class Window : public StationFixture {};

TEST_F(Window, OnlyTheFramesAndTheListFollowAResize) {
    open();
    const QRect chart = control(c::kChartFrame)->geometry();
    const QRect list = control(c::kRecordList)->geometry();
    const QRect top = control(c::kTopFrame)->geometry();
    const QRect save = control(c::kSave)->geometry();
    window->resize(window->width() + 200, window->height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(control(c::kChartFrame)->geometry(), chart.adjusted(0, 0, 200, 0));
    EXPECT_EQ(control(c::kTopFrame)->geometry(), top.adjusted(0, 0, 200, 0));
    EXPECT_EQ(control(c::kRecordList)->geometry(), list.adjusted(0, 0, 200, 100));
    EXPECT_EQ(control(c::kSave)->geometry(), save);
    EXPECT_EQ(window->displayModel().chartArea().right, chart.right() + 1 + 200 - 10);
}

TEST_F(Window, EnterAndEscapeNeitherPressAButtonNorClose) {
    open();
    control(c::kProbeNumber)->setFocus();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(control(c::kProbeNumber), &press);
        QKeyEvent pressWindow(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &pressWindow);
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(prompts.messages.empty());
}

// Placement and minimum size count the frame; the offscreen platform gives
// its windows a frame of a few pixels.
TEST_F(Window, PlacementAndMinimumSizeIncludeTheFrame) {
    open();
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const app::Size placed = app::applyMinimumSize(app::initialWindowSize(screen.width(), screen.height()));
    EXPECT_EQ(window->frameGeometry().size(), QSize(placed.width, placed.height)) << "frame " << frame.width();
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(0, 0));
    window->resize(100, 100);
    QApplication::processEvents();
    EXPECT_EQ(window->frameGeometry().size(), QSize(app::kMinimumWidth, app::kMinimumHeight));
    // The resize rule still works on the client: the list follows the client height.
    const QRect list = control(c::kRecordList)->geometry();
    window->resize(window->width(), window->height() + 50);
    QApplication::processEvents();
    EXPECT_EQ(control(c::kRecordList)->geometry(), list.adjusted(0, 0, 0, 50));
}

TEST_F(Window, ChoosingTheOtherLanguageAsksForARestart) {
    open();
    click(c::kEnglish);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Please close the software and then Reopen!"});
    EXPECT_EQ(settings.readInt("Language", 0), 2);
    EXPECT_EQ(textOf(c::kConnect), QString::fromUtf8("连接设备"));  // labels stay until the next start
    click(c::kEnglish);
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(Window, AStoredLanguageOfThreeIsChineseAndAsksOnTheChineseChoice) {
    settings.writeInt("Language", 3);
    open();
    click(c::kChinese);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请关闭软件后再重新打开!"});
    EXPECT_EQ(settings.readInt("Language", 0), 1);
}

TEST_F(Window, ExitIsImmediateWithEverythingSavedAndAsksOtherwise) {
    ports.place("COM1", eightProbesAt(4000));
    settings.writeInt("HW", 2);
    open();
    click(c::kExit);
    EXPECT_TRUE(exited);
    EXPECT_TRUE(prompts.questions.empty());
    exited = false;
    ASSERT_TRUE(connect());
    clock.advanceBy(500);
    click(c::kManual);
    clock.advanceBy(20);
    prompts.yesNoAnswers.push_back(false);
    click(c::kExit);
    EXPECT_FALSE(exited);
    EXPECT_EQ(prompts.questions.size(), 1u);
}

TEST_F(Window, BadRangeEntriesAreRefused) {
    open();
    type(c::kRangeLower, "0.5");
    click(c::kRangeOk);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{" <=0! "});
    type(c::kRangeLower, "0");
    type(c::kRangeUpper, "0.0004");
    click(c::kRangeOk);
    EXPECT_EQ(prompts.messages.back(), " >0! ");
}

// A range that looks applied but is gone at the next start is a failure
// reported as success: the operator hears of it, once, after the step.
TEST_F(Window, SettingsThatCannotBeSavedAreReportedOnce) {
    open();
    settings.setWritesFail(true);
    type(c::kRangeLower, "-5");
    type(c::kRangeUpper, "5");
    click(c::kRangeOk);
    EXPECT_TRUE(prompts.messages.empty()) << "not in the middle of the step";
    QApplication::processEvents();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("设置无法保存"), std::string::npos);
    click(c::kRangeOk);
    QApplication::processEvents();
    EXPECT_EQ(prompts.messages.size(), 1u);
}

}  // namespace

namespace {

class Dialogs : public StationFixture {};

TEST_F(Dialogs, AllTheSameAsNumberOneCopiesTheStoredLimitsOfProbeOne) {
    settings.writeInt("TL01", 1000);
    settings.writeInt("TU01", 2000);
    open();
    whenDialogOpens<app::ToleranceDialog>([this](app::ToleranceDialog& dialog) {
        clock.advanceBy(150);
        dialog.lowerEdit()->setText("1.5");  // typed but not confirmed: not copied
        dialog.pressCopyFirst();
        dialog.accept();
    });
    click(c::kTolerances);
    EXPECT_EQ(window->tolerances().limits(60).lslCounts, 1000);
    EXPECT_EQ(window->tolerances().limits(2).uslCounts, 2000);
    EXPECT_EQ(settings.readInt("TL60", 0), 1000);
}

// A refused field stores nothing: the limits the dialog still holds belong to
// the probe loaded last, whatever probe was typed.
TEST_F(Dialogs, ARefusedToleranceFieldStoresNothing) {
    struct Case {
        const char* probe;
        const char* lower;
        const char* upper;
        const char* message;  // nullptr: accepted
    };
    const Case cases[] = {
        {"x", "1", "2", "“请填入一个正整数。”"},
        {"-2", "1", "2", "“请填入一个正整数。”"},
        {"2", "abc", "2", "请键入一个数。"},
        {"2", "1", "", "请键入一个数。"},
        {"2", "1", "2", nullptr},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(std::string(entry.probe) + " / " + entry.lower + " / " + entry.upper);
        core::MemorySettingsStore store;
        station::Station station({store, timers, clock, line, prompts, directory().string() + "/", {}});
        const tolerance::ToleranceTable& table = station.tolerances();
        const int writesBefore = store.writeCount();
        prompts.messages.clear();
        app::ToleranceDialog dialog(station, prompts, std::make_unique<core::VirtualTimerSchedule>(clock), nullptr);
        clock.advanceBy(150);  // probe 1 is loaded
        dialog.probeEdit()->setText(entry.probe);
        dialog.lowerEdit()->setText(entry.lower);
        dialog.upperEdit()->setText(entry.upper);
        dialog.pressOk();
        if (entry.message == nullptr) {
            EXPECT_TRUE(prompts.messages.empty());
            EXPECT_EQ(table.limits(2).lslDisplay, 1000);
            EXPECT_EQ(store.readInt("TU02", 0), 2000);
            continue;
        }
        EXPECT_EQ(prompts.messages, std::vector<std::string>{entry.message});
        EXPECT_EQ(store.writeCount(), writesBefore);
        for (unsigned probe : {1u, 2u}) {
            EXPECT_EQ(table.limits(probe).lslDisplay, 3000);
            EXPECT_EQ(table.limits(probe).uslDisplay, 6000);
        }
        EXPECT_EQ(dialog.list()->item(0, 1)->text(), "  3.000");
    }
}

TEST_F(Dialogs, TheRefusedToleranceFieldIsMarkedAndTheFieldsAfterItAreNotRead) {
    core::MemorySettingsStore store;
    store.writeInt("Language", 2);
    station::Station station({store, timers, clock, line, prompts, directory().string() + "/", {}});
    app::ToleranceDialog dialog(station, prompts, std::make_unique<core::VirtualTimerSchedule>(clock), nullptr);
    clock.advanceBy(150);
    dialog.lowerEdit()->setText("1.2.3");
    dialog.upperEdit()->setText("also wrong");
    dialog.pressOk();
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"请键入一个数。"});
    EXPECT_EQ(dialog.lowerEdit()->selectedText(), "1.2.3");
    EXPECT_FALSE(dialog.upperEdit()->hasSelectedText());
}

TEST_F(Dialogs, HelpClosesWithEnterAndEscape) {
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        app::HelpDialog dialog(core::Language::English, nullptr);
        dialog.show();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &press);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_F(Dialogs, ToleranceDialogFollowsTheListSelection) {
    settings.writeInt("TL07", 1234);
    open();
    QString lower;
    whenDialogOpens<app::ToleranceDialog>([&](app::ToleranceDialog& dialog) {
        dialog.list()->selectRow(6);
        clock.advanceBy(150);
        lower = dialog.lowerEdit()->text();
        dialog.accept();
    });
    click(c::kTolerances);
    EXPECT_EQ(lower, "1.234");
}

TEST_F(Dialogs, AddressOutOfRangeKeepsTheParameterDialogOpen) {
    ports.place("COM1", eightProbesAt(4000));
    settings.writeInt("HW", 2);
    open();
    ASSERT_TRUE(connect());
    bool stillOpen = false;
    whenDialogOpens<app::ParameterDialog>([&](app::ParameterDialog& dialog) {
        dialog.addressEdit()->setText("255");
        dialog.pressOk();
        stillOpen = dialog.isVisible();
        dialog.addressEdit()->setText("254");
        dialog.pressOk();
    });
    click(c::kParameters);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"超出地址设置范围1~254!"});
    clock.advanceBy(2000);
    EXPECT_EQ(window->linkState().deviceAddress, 254);
    EXPECT_EQ(ports.instrumentAt("COM1")->address(), 254);
}

TEST_F(Dialogs, CodeDialogIgnoresEscapeAndItsCloseBoxGivesABlank) {
    app::CodeInputDialog dialog(core::Language::English, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Input Code");
    dialog.show();
    dialog.edit()->setText("A-17");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
    EXPECT_EQ(dialog.code(), " ");
    app::CodeInputDialog typed(core::Language::Chinese, nullptr);
    typed.show();
    typed.edit()->setText("0123");
    QMetaObject::invokeMethod(typed.edit(), "returnPressed");
    EXPECT_EQ(typed.code(), "0123");
    EXPECT_FALSE(typed.isVisible());
}

TEST_F(Dialogs, TheLogoBesideTheExecutableIsDrawnAfterStart) {
    std::filesystem::create_directories(directory() / "Dat/Res");
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    ASSERT_TRUE(logo.save(QString::fromStdString((directory() / "Dat/Res/logo.bmp").string()), "BMP"));
    open();
    // Showing and framing the window resize it, which must not bring the logo forward.
    clock.advanceBy(99);
    EXPECT_FALSE(window->logoShown());
    clock.advanceBy(1);
    EXPECT_TRUE(window->logoShown());
    EXPECT_TRUE(window->displayModel().logoShown());
    // After a real resize the logo step comes again 10 ms later and looks for the file anew.
    std::filesystem::remove(directory() / "Dat/Res/logo.bmp");
    window->resize(window->width() + 40, window->height());
    QApplication::processEvents();
    clock.advanceBy(9);
    EXPECT_TRUE(window->logoShown());
    clock.advanceBy(1);
    EXPECT_FALSE(window->logoShown());
}

// A FIFO in the logo's place blocks a plain open for reading until a writer
// comes. Should the window wait in it, a writer arrives after a while so that
// the test fails instead of hanging.
TEST_F(Dialogs, AFifoInPlaceOfTheLogoNeitherHangsTheWindowNorCountsAsALogo) {
    std::filesystem::create_directories(directory() / "Dat/Res");
    const std::string fifo = (directory() / "Dat/Res/logo.bmp").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread rescue([&] {
        std::unique_lock lock(mutex);
        auto wait = std::chrono::seconds(20);
        while (!finished.wait_for(lock, wait, [&] { return done; })) {
            // Every open of the FIFO waits for its own writer.
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) ::close(writer);
            wait = std::chrono::seconds(1);
        }
    });
    open();
    clock.advanceBy(100);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_one();
    rescue.join();
    EXPECT_FALSE(window->logoShown());
    // A link to a real bitmap is still a logo.
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    const QString real = QString::fromStdString((directory() / "real.bmp").string());
    ASSERT_TRUE(logo.save(real, "BMP"));
    std::filesystem::remove(fifo);
    std::filesystem::create_symlink(real.toStdString(), fifo);
    window->resize(window->width() + 10, window->height());
    QApplication::processEvents();
    clock.advanceBy(10);
    EXPECT_TRUE(window->logoShown());
}

TEST_F(Dialogs, NoLogoFileDrawsNothing) {
    open();
    clock.advanceBy(100);
    EXPECT_FALSE(window->logoShown());
}

}  // namespace

#pragma once
#include <QObject>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "core/language.h"
#include "core/prompts.h"
#include "core/reporting_settings_store.h"
#include "core/settings_store.h"
#include "core/text_settings.h"
#include "core/timer_schedule.h"
#include "display/display_model.h"
#include "exchange/export_plan.h"
#include "journal/journal.h"
#include "journal/journal_table_observer.h"
#include "link/cycle_meter.h"
#include "link/link_controller.h"
#include "link/link_state.h"
#include "link/parameter_settings.h"
#include "link/serial_port.h"
#include "measure/characteristic_evaluator.h"
#include "measure/characteristic_refusal.h"
#include "measure/counts.h"
#include "measure/length.h"
#include "records/record_list_model.h"
#include "records/record_sources.h"
#include "records/records.h"
#include "station/deferring_prompts.h"
#include "station/plant_feed.h"
#include "statistics/statistics_keeper.h"
#include "tolerance/tolerance_actions.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/verdict.h"

namespace gaugemon::station {

// Everything the station reaches the platform through.
struct StationSeams {
    core::SettingsStore& settings;
    core::TimerSchedule& timers;
    core::Clock& clock;
    link::SerialPort& port;
    core::Prompts& prompts;
    // Where the day's backup is kept, with its trailing separator.
    std::string backupDirectory;
    // Where the crash journal is kept; empty for none.
    std::string journalDirectory;
    // The settings that are texts (the broker, the part of the transfer
    // files, the characteristics); none: nothing stored, no write taken.
    core::TextSettings* texts = nullptr;
};

// What the station tells the views over it. Every call comes from a timer
// tick or a command on the one thread.
class StationObserver {
public:
    virtual ~StationObserver() = default;
    // What of the display this view shows; the chart is laid out and the
    // value texts formatted only while some view shows them. A view that
    // does not say shows the chart.
    virtual display::Shown shown() const { return display::Shown::Chart; }
    // Connect caption, the two status lines, the message line and the
    // enabled state of the controls the link governs changed.
    virtual void linkViewChanged() {}
    // Connect, or another number of characteristics: the chart shows nothing
    // of the last connection or layout any more.
    virtual void chartCleared() {}
    // New readings were shown; `redraw` is the plan of a whole-chart redraw
    // when anything moved, else null (the value texts may still have changed).
    virtual void readingsShown(const display::ChartPlan* /*redraw*/) {}
    // The Manual caption, the automatic box or the backup box changed.
    virtual void recordControlsChanged() {}
    // A connection chose the probe that "Zero single" acts on.
    virtual void probeNumberChosen(unsigned /*probe*/) {}
    // The rows of an ended run are being restored: a tenth more was read.
    virtual void restoreProgress(unsigned /*percent*/) {}
    // The restore is over (or none was asked for): the table is the run's.
    virtual void restoreFinished() {}
    // A long save on the writer's thread got further: the text for the
    // message line ("Saving day.xlsx: 40 %"); empty when the save ended.
    virtual void fileProgress(std::string_view /*text*/) {}
    // The rows are about to be cleared; the table still holds them.
    virtual void rowsClearing() {}
    // The characteristics were defined anew (or their limits converted).
    virtual void characteristicsChanged() {}
};

// The whole station without a window: the link to the instrument, the
// display state and verdict, the tolerance limits and the records, driven by
// the timer schedule and the serial port. A window or a headless program
// binds to its commands and listens to its notifications.
class Station : private link::LinkHost, private records::RecordSources, public statistics::StatisticsSources {
public:
    explicit Station(StationSeams seams);
    // A station with its first view already subscribed.
    Station(StationSeams seams, StationObserver& observer);
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // ---- Views ---------------------------------------------------------------
    // Any number of views hear of the station's changes, in the order they
    // subscribed; a view unsubscribes before it goes, even from inside a
    // notification.
    void addObserver(StationObserver& observer);
    void removeObserver(StationObserver& observer);

    // ---- State, read-only --------------------------------------------------
    const link::LinkState& linkState() const { return link_; }
    const link::LinkView& linkView() const { return linkController_.view(); }
    // Connected, but the instrument has not answered for the watchdog period.
    bool instrumentLost() const { return linkController_.instrumentLost(); }
    // The poll cycle as it runs, in ms; the schedule's figure until a second
    // of it has been measured, 0 while not connected.
    int32_t pollCycleMs() const;
    const display::DisplayModel& display() const { return display_; }
    const tolerance::ToleranceTable& tolerances() const override { return tolerances_; }
    void characteristicLimitsOfRows(std::span<records::LimitCounts> out) const override;
    const tolerance::Verdict& verdict() const { return verdict_; }
    const records::RecordTable& recordTable() const override { return records_.table; }
    const records::Recorder& recorder() const { return records_.recorder; }
    const records::PeriodicBackup& backup() const { return records_.backup; }
    const records::WorkpieceCodes& codes() const { return records_.codes; }
    core::Language language() const override { return language_; }
    // Process statistics of the rows held, kept in step with the table.
    const statistics::StatisticsKeeper& statisticsKeeper() const override { return statistics_; }
    measure::LengthUnit lengthUnit() const override { return display_.unit(); }
    void changePreWarning(tolerance::PreWarning preWarning) override;
    // The language flag as stored: 2 is English, anything else Chinese.
    uint8_t languageFlag() const { return languageFlag_; }
    // The setting: Connect is pressed for the operator once the window is up.
    bool connectAtStart() const;

    // ---- Commands ----------------------------------------------------------
    // The Connect button: the search begins, or the connection ends.
    void toggleConnection();
    // The search for the instrument begins; nothing while connected.
    void connect();
    // The operator ends the connection; nothing while not connected.
    void disconnect();
    // The port of the connection is gone: it ends, and nobody pressed a button.
    void endLostConnection();
    // The station was given a port: discovery asks on that one alone.
    void keepToPort(unsigned portIndex) { linkController_.keepToPort(portIndex); }
    void zeroAll();
    // `probeNumber` is the 1-based probe of the probe-number field.
    void zero(unsigned probeNumber);
    // The display range from the parsed fields (millimetres or inches as
    // shown): stored, or refused and nothing changed.
    display::RangeRefusal setRange(float lower, float upper);
    // The mode and unit selectors' item indices.
    void setMode(int index);
    void setUnit(int index);
    // The limits of `probe` (1..60) in the unit shown: stored, and the next
    // reading judged and drawn anew, or refused with its message.
    tolerance::LimitChange setLimits(unsigned probe, float lower, float upper);
    // Probes 2..60 take the limits of probe 1.
    void copyFirstLimits();
    void setConnectAtStart(bool on);
    // The window's chart: where the plot lies, whether the logo covers part
    // of it, and a redraw of all of it with the next readings (a click, a
    // cleared or uncovered plot).
    void setChartArea(const display::ChartArea& area);
    void setLogoShown(bool shown) { display_.setLogoShown(shown); }
    void redrawChart() { display_.requestRedraw(); }

    // Manual: one row now, or the automatic recording stopped.
    void recordOne();
    records::AutoOutcome setAutomatic(bool ticked, float periodSeconds);
    void exportRecords();
    // Writes every row held to `path` as Export writes its tab-separated file,
    // at once and on this thread (an unattended station's periodic export,
    // which clears the table only after its file is whole).
    records::FileWriteResult exportRecordsTo(const std::string& path);
    // The same from a snapshot on the writer's thread while polling and
    // recording go on: `done` comes on this thread with the outcome and the
    // rows the file holds (the first ones of the table), which count as
    // exported in the journal by then.
    using ExportDone = std::function<void(const records::FileWriteResult&, uint32_t rows)>;
    void startExportTo(const std::string& path, ExportDone done);
    // Lets go of the first `rows` rows, which an export file holds; rows
    // recorded after them stay, as the first of the table.
    void dropExportedRows(uint32_t rows);
    void clearRecords();
    // Once the day's backup holds every row (written now when the box is
    // ticked and rows are in no file), the rows go and that backup is kept
    // as an earlier run's is, never written over. False, nothing cleared,
    // while a row is in no file.
    bool clearIntoBackup();
    void setBackup(bool ticked);
    void setCodeEntry(bool ticked);
    // Set Code with the row marked in the list, if any.
    void modifyCode(std::optional<uint32_t> selectedRow);
    // The language radio buttons: the flag to store (1 or 2). Takes effect
    // for the labels at the next start; run-time texts follow at once.
    void chooseLanguage(uint8_t flag);
    // Closing or Exit: true when the program may end (asks first when rows
    // exist that are in no file yet).
    bool confirmClose();
    // The end of the run, however it came (Exit, the close box, a stop
    // signal, the end of an unattended run), once the views have stopped
    // asking: a file still being written is finished, the rows no backup
    // holds yet are written when `lastBackup` asks it (a stop signal; only
    // with the backup box ticked), the journal gets every row, the broker
    // "offline" and the publisher's thread ends, and the port is closed,
    // giving up its lock. A second call does nothing.
    enum class LastBackup : uint8_t { Skip, Write };
    void stop(LastBackup lastBackup);
    bool stopped() const { return stopped_; }
    // Waits until a backup or an export writing on the writer's thread has
    // finished its file, and tells its outcome now.
    void finishFileWrites();

    // The parameters dialog edits its choice against the link state; these
    // are its two steps.
    link::ParameterChoice fillParameters();
    link::ParameterOk applyParameters(const link::ParameterChoice& choice);
    // The choice as the dialog last left it, kept from one opening to the next.
    const link::ParameterChoice& rememberedParameters() const { return rememberedParameters_; }
    void rememberFormatIndex(int index) { rememberedParameters_.formatIndex = index; }

    // ---- Crash journal -----------------------------------------------------
    // The list on screen hears of the table's changes behind the journal.
    void setRecordList(records::RecordTableObserver* list);
    // The list on screen over the rows held, a child of `parent`, told of the
    // table's changes behind the journal; before it goes, setRecordList(nullptr).
    records::RecordListModel* openRecordList(QObject* parent);
    // Once, before Connect: opens the journal and offers the rows an ended
    // run left in no file. They are restored on a thread of their own while
    // this one goes on; restoreFinished tells when they are in the table.
    void startJournal();
    // Waits for a restore under way and puts its rows into the table now
    // (Connect does, so that no row comes before them; the end of the run
    // cancels a restore still reading first).
    void finishRestore();
    bool restoring() const { return journal_.restoreRunning(); }
    // Stops a restore that is still reading; what it read stays offered.
    void cancelRestore() { journal_.cancelRestore(); }
    // Before startJournal: rows count as let go only once an export file of
    // exportRecordsTo holds them; a backup alone keeps them for the next
    // start (an unattended station that exports each period's rows).
    void keepRowsUntilExported() { journal_.keepRowsUntilExported(); }
    // Waits until every recorded row is in the journal (before the process
    // ends at once).
    void flushJournal() { journal_.waitWritten(); }
    const journal::Journal& journal() const { return journal_; }
    // Process statistics of the rows held, for views that only read them.
    const statistics::ProcessStatistics& processStatistics() const { return statistics_.statistics(); }

    // ---- Plant ---------------------------------------------------------------
    // Recorded rows and live readings go to the broker of `options` (checked;
    // an empty URL ends publishing) once the journal is open.
    void publishTo(plant::MqttOptions options);
    // The operator's broker address (empty: publishing off): checked with the
    // options in force, stored for later runs and published to at once.
    // Empty when taken, else the refusal, and nothing changed.
    std::string setBroker(std::string_view url);
    // The address published to, or the stored one while nothing is.
    std::string brokerUrl() const;
    // Fast polling on or off, stored for the next start too.
    void setFastMode(bool on);
    bool fastMode() const { return linkController_.fastMode(); }
    const PlantFeed& plantFeed() const { return plantFeed_; }

    // ---- Characteristics ----------------------------------------------------
    // Values computed from several probes after each answer and judged like
    // probes: an NG one, or one that cannot be computed, makes the verdict NG.
    // The definitions with their limits in the station's unit.
    const measure::CharacteristicSetup& characteristics() const { return characteristics_; }
    // Their values and zones in the latest answer are in these and verdict().
    const measure::CharacteristicValues& characteristicValues() const { return characteristicValues_; }
    const measure::CharacteristicEvaluator& characteristicEvaluator() const { return evaluator_; }
    // The probes of the latest answer in true length while they are the
    // connection's now running; none otherwise.
    std::span<const measure::Length> currentReadings() const {
        return link_.connected && display_.showsReadings() ? shownReadings() : std::span<const measure::Length>();
    }
    // Takes `setup` (limits in its own unit) as the characteristics when every
    // definition passes the checks of the editor against the connected
    // instrument: stored as one change and judged from the next answer on.
    // Otherwise the first refusal (its line the 1-based definition), and
    // nothing changed.
    std::optional<measure::Refusal> setCharacteristics(measure::CharacteristicSetup setup);
    // The probes the editor checks formulas against: the connected
    // instrument's, else every probe there may be.
    unsigned probeCountForCharacteristics() const;

    // ---- Files other tools read ---------------------------------------------
    // The part number and description a transfer file (.dfq) carries
    // (UTF-8), stored in the settings group `Transfer` for later runs.
    void setTransferPart(std::string number, std::string description);
    // The station's name stands for the part number of a transfer file when none is set.
    void nameStation(std::string name) { stationName_ = std::move(name); }
    const std::string& partNumber() const { return partNumber_; }
    const std::string& partDescription() const { return partDescription_; }

    // Routes a tick of the shared schedule; public for the tests.
    void onTick(int id);

private:
    // LinkHost.
    void refreshLinkView() override;
    void clearChart() override;
    void prepareColumns(unsigned probeCount) override;
    void requestSent() override { records_.onRequestSent(); }
    void commandAnswered() override { records_.onCommandAnswered(); }
    void readingsArrived(std::span<const link::ChannelReading> readings) override;
    void instrumentRecordRequest() override;
    void codeStep() override;
    void setProbeNumber(unsigned probe) override;
    void linkClosed() override;
    // StatisticsSources.
    statistics::StatisticsKeeper& changeableKeeper() override { return statistics_; }
    // RecordSources.
    bool connected() const override { return link_.connected; }
    unsigned probeCount() const override { return link_.probeCount; }
    bool anyNg() const override { return verdict_.anyNg(); }
    bool readingsShown() const override { return display_.showsReadings(); }
    records::LimitCounts limitCounts(unsigned probe) const override;
    std::span<const measure::Length> shownReadings() const override {
        return std::span<const measure::Length>(lengths_).first(std::min(link_.probeCount, measure::kMaxProbes));
    }
    const tolerance::Verdict* shownVerdict() const override { return &verdict_; }
    std::span<const records::CharacteristicColumn> characteristicColumns() const override { return recordColumns_; }
    std::span<const std::optional<measure::Length>> shownCharacteristicValues() const override {
        return std::span<const std::optional<measure::Length>>(characteristicValues_.values)
            .first(std::min<size_t>(characteristicValues_.count, recordColumns_.size()));
    }
    records::LimitCounts characteristicLimitCounts(unsigned index) const override;

    void reportSettingsNotSaved();
    void loadCharacteristics();
    // The definitions changed: compiled anew, drawn anew, told to the views.
    void characteristicsChanged();
    // Compiles the definitions and names the record columns and the
    // published characteristics after them.
    void compileCharacteristics();
    // Tells the operator, once per instrument and definitions, of the
    // characteristics over probes the instrument lacks: they never have a
    // value and so judge every part NG.
    void warnOfCharacteristicsBeyond(unsigned probeCount);
    // Computes and judges the characteristics of the answer in `lengths`.
    void evaluateCharacteristics(std::span<const measure::Length> lengths);
    // The tolerance limits changed: the next reading redraws and judges anew.
    void limitsChanged();
    // The statistics take in the rows added, a step at a time.
    void followStatistics();
    // Shown after the step now running: a message box in the middle of a
    // step would run the timers on half-changed state.
    void showAfterStep(std::string_view message);
    // Save as a workbook or a transfer file; nothing for the record files' own filters.
    std::optional<records::ExportOutcome> writeExchangeFile(const core::SaveChoice& choice);
    // The outcome of a workbook or transfer file written on the writer's thread.
    void tellExchangeFile(const exchange::ExchangeResult& result);
    // Rows a file holds count as saved in the journal; its problems are told.
    void syncJournal();
    // An export file of the first `rows` rows took its name, or did not.
    void tellExported(const records::FileWriteResult& result, uint32_t rows);
    void startRestore();
    // From the writer's thread: the outcome of a file is told on this one.
    void tellFileWritten(std::function<void()> told);

    // Tells every view; one that unsubscribed meanwhile is skipped.
    template <typename Notification>
    void notify(Notification notification);
    // The most any view shows of the display.
    display::Shown shownByViews() const;

    StationSeams seams_;
    // The text settings of the seams, or a store that holds nothing.
    core::TextSettings& texts_;
    // Steps queued to run after the current one; dropped with the station.
    QObject afterStep_;
    // The outcomes of files written on the writer's thread, told on this one.
    QObject fileOutcomes_;
    // What the records and files tell the operator goes through this, so
    // that an outcome delivered inside a step is shown after it.
    DeferringPrompts prompts_{seams_.prompts, afterStep_};
    // Reserved once, so that a notification in the poll cycle allocates nothing.
    std::vector<StationObserver*> observers_;
    int notifying_ = 0;
    // Every part of the station writes its settings through this one.
    core::ReportingSettingsStore settings_;
    uint8_t languageFlag_ = 1;
    core::Language language_ = core::Language::Chinese;
    link::LinkState link_;
    display::DisplayModel display_;
    tolerance::ToleranceTable tolerances_;
    // The verdict of the latest readings.
    tolerance::Verdict verdict_;
    // The latest answer's readings in true length, converted once per answer.
    std::array<measure::Length, measure::kMaxProbes> lengths_{};
    measure::CharacteristicSetup characteristics_;
    measure::CharacteristicEvaluator evaluator_;
    measure::CharacteristicValues characteristicValues_;
    // As the rows record them, one per characteristic compiled.
    std::vector<records::CharacteristicColumn> recordColumns_;
    link::LinkController linkController_;
    link::CycleMeter cycle_;
    // After the link: the records pause its watchdog.
    records::Records records_;
    journal::Journal journal_;
    journal::JournalTableObserver journalObserver_{journal_, records_.table};
    statistics::StatisticsKeeper statistics_{settings_};
    // After the journal, whose rows it publishes.
    PlantFeed plantFeed_;
    link::ParameterChoice rememberedParameters_;
    // The options published with, kept for the operator's broker changes.
    std::optional<plant::MqttOptions> plantOptions_;
    // The part a transfer file names (K1001/K1002).
    std::string partNumber_;
    std::string partDescription_;
    std::string stationName_;
    bool stopped_ = false;
    bool statisticsStepQueued_ = false;
    // The table's reset count when the statistics last took the limits: new
    // columns may bring other characteristics and so other limits.
    uint64_t limitsTakenAtReset_ = UINT64_MAX;
    // The probe count the operator was last warned of; 0 after a change of
    // the definitions.
    unsigned characteristicsWarnedFor_ = 0;
    // The backup and the export write on its thread; last, so that it ends
    // its write before anything it reads goes.
    records::SnapshotWriter fileWriter_{[this](std::function<void()> told) { tellFileWritten(std::move(told)); }};
};

}  // namespace gaugemon::station

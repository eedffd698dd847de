#include "station/station.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>
#include <filesystem>

#include "exchange/exchange.h"
#include "journal/journal_start.h"
#include "journal/journal_texts.h"
#include "measure/characteristic_settings.h"
#include "measure/characteristic_validation.h"
#include "records/table_file.h"

namespace gaugemon::station {

namespace timer = core::timer;

// The link's readings fill the station's probe slots one for one.
static_assert(link::kMaxProbes == measure::kMaxProbes);

namespace {
measure::Length lengthOf(const link::ChannelReading& reading) {
    return {reading.value, reading.scaledBy5 ? measure::Resolution::TenthMicrometre : measure::Resolution::Micrometre};
}

// More views than a station will ever have at once.
constexpr size_t kObserverSlots = 16;
core::NoTextSettings noTexts;
constexpr std::string_view kTransferGroup = "Transfer";
constexpr std::string_view kPartNumberKey = "PartNumber";
constexpr std::string_view kPartDescriptionKey = "PartDescription";
}  // namespace

Station::Station(StationSeams seams, StationObserver& observer) : Station(std::move(seams)) { addObserver(observer); }

Station::Station(StationSeams seams)
    : seams_(std::move(seams)),
      texts_(seams_.texts ? *seams_.texts : noTexts),
      settings_(seams_.settings, [this] { reportSettingsNotSaved(); }),
      linkController_(link_, seams_.port, seams_.timers, settings_, seams_.prompts, *this, language_),
      records_({seams_.timers, settings_, prompts_, seams_.clock, *this, linkController_.watchdog(),
                seams_.backupDirectory}) {
    languageFlag_ = static_cast<uint8_t>(settings_.readInt(core::keys::kLanguage, core::defaults::kLanguage));
    language_ = core::languageFromSetting(languageFlag_);
    display_.load(settings_);
    tolerances_.load(settings_, display_.unit());
    loadCharacteristics();
    verdict_.setPreWarning(statistics_.preWarning());
    linkController_.setFastMode(settings_.readInt(link::kFastModeKey, 0) == 1);
    takeLimitsIntoStatistics();
    records_.table.setObserver(&journalObserver_);
    records_.useWriter(fileWriter_);
    records_.exporter.useFurtherFormats([this](const core::SaveChoice& choice) { return writeExchangeFile(choice); });
    partNumber_ = texts_.readText(kTransferGroup, kPartNumberKey).value_or(std::string());
    partDescription_ = texts_.readText(kTransferGroup, kPartDescriptionKey).value_or(std::string());
    seams_.timers.setTickHandler([this](int id) { onTick(id); });
}

void Station::publishTo(plant::MqttOptions options) {
    plantOptions_ = options;
    plantFeed_.publishTo(std::move(options), journal_);
}

std::string Station::setBroker(std::string_view url) {
    plant::MqttOptions options = plantOptions_.value_or(plant::loadMqttOptions(texts_));
    options.brokerUrl = url;
    if (std::string refusal = plant::checkMqttOptions(options, language_); !refusal.empty()) return refusal;
    if (!plant::storeBrokerUrl(texts_, url)) reportSettingsNotSaved();
    publishTo(std::move(options));
    return {};
}

std::string Station::brokerUrl() const {
    return plantOptions_ ? plantOptions_->brokerUrl : plant::loadMqttOptions(texts_).brokerUrl;
}

void Station::setTransferPart(std::string number, std::string description) {
    const bool stored = texts_.writeText(kTransferGroup, kPartNumberKey, number) &&
                        texts_.writeText(kTransferGroup, kPartDescriptionKey, description);
    if (!stored) reportSettingsNotSaved();
    partNumber_ = std::move(number);
    partDescription_ = std::move(description);
}

// ---- Characteristics -----------------------------------------------------------

void Station::loadCharacteristics() {
    measure::SetupParse loaded = measure::loadCharacteristics(texts_, display_.unit());
    characteristics_ = std::move(loaded.setup);
    compileCharacteristics();
    if (loaded.refusals.empty()) return;
    // One message for all of them: the lines refused are left out, the others kept.
    std::string message =
        core::pick(language_, "Stored characteristics were left out:", "以下已存储的特性无效，已忽略：");
    for (const measure::Refusal& refusal : loaded.refusals) message += "\n" + measure::refusalText(refusal, language_);
    showAfterStep(message);
}

unsigned Station::probeCountForCharacteristics() const {
    return link_.connected ? std::min(link_.probeCount, measure::kMaxProbes) : measure::kMaxProbes;
}

std::optional<measure::Refusal> Station::setCharacteristics(measure::CharacteristicSetup setup) {
    if (setup.definitions.size() > measure::kMaxCharacteristics)
        return measure::Refusal{measure::RefusalReason::TooManyCharacteristics};
    const std::span<const measure::CharacteristicDefinition> all(setup.definitions);
    for (size_t i = 0; i < all.size(); ++i) {
        if (auto refusal = measure::definitionRefusal(all[i], all.first(i), probeCountForCharacteristics())) {
            refusal->line = static_cast<unsigned>(i + 1);
            return refusal;
        }
    }
    measure::convertLimits(setup, display_.unit());
    // A refused write keeps the definitions for this run, as any setting.
    if (!measure::storeCharacteristics(texts_, setup)) reportSettingsNotSaved();
    characteristics_ = std::move(setup);
    characteristicsChanged();
    return std::nullopt;
}

void Station::characteristicsChanged() {
    characteristicsWarnedFor_ = 0;
    const unsigned columnsBefore = evaluator_.count();
    compileCharacteristics();
    characteristicValues_ = {};
    // Rows of the earlier characteristics are never mixed with new ones.
    records_.onCharacteristicsChanged();
    followStatistics();
    takeLimitsIntoStatistics();
    display_.requestRedraw();
    // Columns redrawn only piecewise would leave bars of the old layout beside the new ones.
    if (evaluator_.count() != columnsBefore) notify([&](StationObserver& o) { o.chartCleared(); });
    notify([&](StationObserver& o) { o.characteristicsChanged(); });
}

void Station::compileCharacteristics() {
    evaluator_.compile(characteristics_);
    recordColumns_.clear();
    for (unsigned k = 0; k < evaluator_.count(); ++k)
        recordColumns_.push_back({characteristics_.definitions[k].name, static_cast<uint8_t>(evaluator_.decimals(k))});
    plantFeed_.nameCharacteristics(characteristics_);
}

void Station::warnOfCharacteristicsBeyond(unsigned probeCount) {
    if (probeCount == characteristicsWarnedFor_) return;
    std::string beyond;
    for (const measure::CharacteristicDefinition& definition : characteristics_.definitions) {
        const auto& terms = definition.formula.terms;
        const auto term =
            std::ranges::find_if(terms, [&](const measure::FormulaTerm& t) { return t.probe > probeCount; });
        if (term == terms.end()) continue;
        beyond += "\n" + definition.name + core::pick(language_, ": ", "：") +
                  measure::refusalText({measure::RefusalReason::ProbeBeyondCount, 0, term->probe}, language_);
    }
    if (beyond.empty()) return;
    characteristicsWarnedFor_ = probeCount;
    showAfterStep(core::pick(language_, "These characteristics cannot be computed and judge every part NG:",
                             "以下特性无法计算，每个工件都将判为超差：") +
                  beyond);
}

void Station::evaluateCharacteristics(std::span<const measure::Length> lengths) {
    if (evaluator_.count() == 0) return;
    // Every probe of the answer was read in it; those beyond it are absent.
    const uint64_t usable = lengths.size() >= 64 ? ~uint64_t{0} : (uint64_t{1} << lengths.size()) - 1;
    evaluator_.evaluate(lengths, usable, characteristicValues_);
    verdict_.judgeCharacteristics(characteristicValues_, evaluator_);
}

void Station::addObserver(StationObserver& observer) {
    if (observers_.capacity() == 0) observers_.reserve(kObserverSlots);
    observers_.push_back(&observer);
}

void Station::removeObserver(StationObserver& observer) {
    const auto found = std::find(observers_.begin(), observers_.end(), &observer);
    if (found == observers_.end()) return;
    // In a notification the slot is only emptied; the walk goes on over it.
    if (notifying_ > 0)
        *found = nullptr;
    else
        observers_.erase(found);
}

template <typename Notification>
void Station::notify(Notification notification) {
    ++notifying_;
    for (size_t i = 0; i < observers_.size(); ++i)
        if (observers_[i]) notification(*observers_[i]);
    if (--notifying_ == 0) std::erase(observers_, nullptr);
}

display::Shown Station::shownByViews() const {
    display::Shown most = display::Shown::Nothing;
    for (const StationObserver* observer : observers_)
        if (observer) most = std::max(most, observer->shown());
    return most;
}

Station::~Station() {
    // Its thread posts to this station.
    journal_.abandonRestore();
    seams_.timers.setTickHandler({});
    records_.table.setObserver(nullptr);
}

void Station::showAfterStep(std::string_view message) { prompts_.showAfterStep(message); }

void Station::tellFileWritten(std::function<void()> told) {
    QMetaObject::invokeMethod(
        &fileOutcomes_,
        [this, told = std::move(told)] {
            told();
            syncJournal();
        },
        Qt::QueuedConnection);
}

void Station::finishFileWrites() {
    fileWriter_.finishWrite();
    // The outcome is taken in now; a message it brings waits for the step's end.
    const DeferringPrompts::Deferral deferral(prompts_);
    QCoreApplication::sendPostedEvents(&fileOutcomes_, QEvent::MetaCall);
}

void Station::followStatistics() {
    if (records_.table.resetCount() != limitsTakenAtReset_) {
        limitsTakenAtReset_ = records_.table.resetCount();
        takeLimitsIntoStatistics();
    }
    // A table that arrived whole (a restore) is taken in over later steps.
    if (statistics_.rowsChanged(records_.table) || statisticsStepQueued_) return;
    statisticsStepQueued_ = true;
    QMetaObject::invokeMethod(
        &afterStep_,
        [this] {
            statisticsStepQueued_ = false;
            followStatistics();
        },
        Qt::QueuedConnection);
}

void Station::reportSettingsNotSaved() {
    showAfterStep(core::pick(language_,
                             "The settings could not be saved: changes made now will be lost when "
                             "the program is closed.",
                             "设置无法保存，本次修改在关闭软件后将丢失!"));
}

int32_t Station::pollCycleMs() const {
    if (!link_.connected) return 0;
    return cycle_.cycleMs() > 0 ? cycle_.cycleMs() : link::scheduledCycleMs(link_.pollPeriodMs);
}

void Station::onTick(int id) {
    if (id == core::timer::kRequest && link_.connected) cycle_.requestSent(seams_.clock.nowMs());
    if (linkController_.onTick(id)) {
        // The instrument's own record request adds rows in the answer tick.
        followStatistics();
        syncJournal();
        return;
    }
    if (records_.onTimer(id)) {
        followStatistics();
        syncJournal();
        notify([&](StationObserver& o) { o.recordControlsChanged(); });
    }
}

// ---- Crash journal ---------------------------------------------------------------

void Station::setRecordList(records::RecordTableObserver* list) {
    journalObserver_.setNext(list == &journalObserver_ ? nullptr : list);
    records_.table.setObserver(&journalObserver_);
}

records::RecordListModel* Station::openRecordList(QObject* parent) {
    auto* list = new records::RecordListModel(records_.table, parent);
    // The model has made itself the table's observer; the journal goes in front.
    setRecordList(records_.table.observer());
    return list;
}

void Station::startJournal() {
    if (seams_.journalDirectory.empty()) {
        notify([&](StationObserver& o) { o.restoreFinished(); });
        return;
    }
    const int32_t days = settings_.readInt(core::keys::kJournalDays, core::defaults::kJournalDays);
    journal_.open(seams_.journalDirectory, std::clamp(days, 1, 3650));
    journal::reportProblem(journal_, seams_.prompts, language_);
    plantFeed_.journalOpened(journal_);
    if (journal_.pending().count > 0) {
        if (seams_.prompts.askYesNo(journal::offerText(journal_.pending(), language_))) {
            startRestore();
            return;
        }
        journal_.discardPending();
    }
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
    notify([&](StationObserver& o) { o.restoreFinished(); });
}

void Station::startRestore() {
    auto post = [this](std::function<void()> call) {
        QMetaObject::invokeMethod(&afterStep_, std::move(call), Qt::QueuedConnection);
    };
    const bool started = journal_.startRestore(
        records_.table, language_, post, [this] { finishRestore(); },
        [this, post](unsigned tenth) {
            post([this, tenth] { notify([&](StationObserver& o) { o.restoreProgress(tenth * 10); }); });
        });
    if (!started) {
        showAfterStep(journal::restoreText({journal::RestoreOutcome::Failed, 0, 0}, language_));
        notify([&](StationObserver& o) { o.restoreFinished(); });
    }
}

void Station::finishRestore() {
    if (!journal_.restoreRunning()) return;
    const std::string left = journal::restoreText(journal_.finishRestore(records_.table), language_);
    followStatistics();
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
    if (!left.empty()) showAfterStep(left);
    notify([&](StationObserver& o) { o.restoreFinished(); });
}

void Station::syncJournal() {
    // A table with nothing unsaved is wholly in a file (an export or the backup).
    if (!records_.table.hasUnsavedRows()) journal_.markSaved(records_.table, records_.table.rowCount());
    if (const auto report = journal_.takeReport()) showAfterStep(journal::problemText(*report, language_));
}

// ---- Commands -----------------------------------------------------------------

void Station::toggleConnection() {
    finishRestore();
    linkController_.connectButton();
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
}

void Station::connect() {
    if (!link_.connected) toggleConnection();
}

void Station::disconnect() {
    if (link_.connected) toggleConnection();
}

void Station::endLostConnection() {
    linkController_.endLostConnection();
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
}

void Station::zeroAll() { linkController_.zeroAllButton(); }

void Station::zero(unsigned probeNumber) { linkController_.zeroSingleButton(probeNumber); }

display::RangeRefusal Station::setRange(float lower, float upper) {
    return display_.confirmRange(lower, upper, settings_);
}

void Station::setMode(int index) {
    // This message has no English form; it reads the same in both languages.
    if (linkController_.requestDisplayMode(index) == link::ModeRequest::NotConnected) {
        seams_.prompts.showMessage("请先连接设备!");
    }
}

void Station::setUnit(int index) {
    display_.confirmUnit(index, tolerances_, settings_);
    takeLimitsIntoStatistics();
    // The characteristics' limits follow the probes' into the new unit.
    if (characteristics_.unit == display_.unit() || characteristics_.definitions.empty()) {
        characteristics_.unit = display_.unit();
        return;
    }
    measure::convertLimits(characteristics_, display_.unit());
    if (!measure::storeCharacteristics(texts_, characteristics_)) reportSettingsNotSaved();
    characteristicsChanged();
}

tolerance::LimitChange Station::setLimits(unsigned probe, float lower, float upper) {
    const tolerance::LimitChange change =
        tolerance::applyProbeLimits(tolerances_, {probe, lower, upper}, display_.unit(), language_, settings_);
    if (change.stored) limitsChanged();
    return change;
}

void Station::copyFirstLimits() {
    tolerance::copyFirstProbeLimits(tolerances_, display_.unit(), settings_);
    limitsChanged();
}

bool Station::connectAtStart() const {
    return settings_.readInt(core::keys::kConnectAtStart, core::defaults::kConnectAtStart) == 1;
}

void Station::setConnectAtStart(bool on) { settings_.writeInt(core::keys::kConnectAtStart, on ? 1 : 0); }

void Station::setChartArea(const display::ChartArea& area) {
    display_.setChartArea(area);
    display_.requestRedraw();
}

void Station::limitsChanged() {
    takeLimitsIntoStatistics();
    display_.requestRedraw();
}

void Station::changePreWarning(tolerance::PreWarning preWarning) {
    statistics_.setPreWarning(preWarning);
    verdict_.setPreWarning(statistics_.preWarning());
    display_.requestRedraw();
}

void Station::recordOne() {
    records_.recorder.pressManual();
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
}

records::AutoOutcome Station::setAutomatic(bool ticked, float periodSeconds) {
    const records::AutoOutcome outcome = records_.recorder.setAutomatic(ticked, periodSeconds);
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
    return outcome;
}

void Station::exportRecords() {
    records_.exporter.run();
    syncJournal();
}

records::FileWriteResult Station::exportRecordsTo(const std::string& path) {
    finishFileWrites();
    const uint32_t rows = records_.table.rowCount();
    records::FileWriteResult result =
        records::writeTableFile(records_.table, *this, records_.codes.enabled(), records::kTabFormat, path,
                                journal_.noteExport(records_.table, rows, path));
    tellExported(result, rows);
    syncJournal();
    return result;
}

void Station::startExportTo(const std::string& path, ExportDone done) {
    // One file at a time: a backup still writing finishes first.
    finishFileWrites();
    const uint32_t rows = records_.table.rowCount();
    auto told = [this, rows, done = std::move(done)](const records::FileWriteResult& result) {
        tellExported(result, rows);
        done(result, rows);
    };
    if (!records::startTableFile(fileWriter_, records_.table, *this, records_.codes.enabled(), records::kTabFormat,
                                 path, told, journal_.noteExport(records_.table, rows, path)))
        told(exportRecordsTo(path));
}

void Station::tellExported(const records::FileWriteResult& result, uint32_t rows) {
    if (result.ok)
        journal_.markExported(records_.table, rows);
    else
        journal_.exportFailed();
}

void Station::dropExportedRows(uint32_t rows) {
    if (rows >= records_.table.rowCount()) return clearRecords();
    if (!journal_.dropFirstRows(records_.table, rows)) return;
    followStatistics();
    syncJournal();
}

std::optional<records::ExportOutcome> Station::writeExchangeFile(const core::SaveChoice& choice) {
    const auto save = exchange::exchangeSaveFor(choice, static_cast<int>(records::kExportFilters.size()));
    if (!save) return std::nullopt;
    exchange::ExchangeOptions options;
    options.unit = display_.unit();
    options.partNumber = partNumber_;
    options.partDescription = partDescription_;
    options.stationName = stationName_;
    // A backup still writing finishes first: one file at a time.
    fileWriter_.finishWrite();
    const std::string name = std::filesystem::path(save->path).filename().string();
    auto progress = [this, name](unsigned percent) {
        notify([&](StationObserver& o) {
            o.fileProgress(core::pick(language_, "Saving ", "正在保存 ") + name + core::pick(language_, ": ", "：") +
                           std::to_string(percent) + " %");
        });
    };
    if (exchange::startExchangeFile(
            fileWriter_, save->format, records_.table, *this, records_.codes.enabled(), options, save->path,
            [this](const exchange::ExchangeResult& result) { tellExchangeFile(result); }, std::move(progress)))
        return records::ExportOutcome::Started;
    const exchange::ExchangeResult result =
        exchange::writeExchangeFile(save->format, records_.table, *this, records_.codes.enabled(), options, save->path);
    tellExchangeFile(result);
    return result.ok() ? records::ExportOutcome::Written : records::ExportOutcome::Failed;
}

void Station::tellExchangeFile(const exchange::ExchangeResult& result) {
    notify([&](StationObserver& o) { o.fileProgress({}); });
    // The message box is not silence of the instrument.
    link::WatchdogPause pause(linkController_.watchdog());
    prompts_.showMessage(exchange::exchangeMessage(result, language_));
}

void Station::clearRecords() {
    notify([&](StationObserver& o) { o.rowsClearing(); });
    records_.table.clearTable();
    followStatistics();
    syncJournal();
}

bool Station::clearIntoBackup() {
    finishFileWrites();
    records_.backup.writeBeforeExit();
    if (records_.table.hasUnsavedRows()) return false;
    records_.backup.keepFilesWritten();
    clearRecords();
    return true;
}

void Station::setBackup(bool ticked) {
    records_.backup.setBoxTicked(ticked);
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
}

void Station::setCodeEntry(bool ticked) { records_.codes.setEnabled(ticked); }

void Station::modifyCode(std::optional<uint32_t> selectedRow) {
    records_.recorder.modifyCode(selectedRow);
    syncJournal();
}

void Station::chooseLanguage(uint8_t flag) {
    languageFlag_ = flag;
    language_ = core::languageFromSetting(flag);
    settings_.writeInt(core::keys::kLanguage, flag);
}

bool Station::confirmClose() { return records_.confirmClose(); }

void Station::stop(LastBackup lastBackup) {
    if (stopped_) return;
    stopped_ = true;
    // A restore still reading stops (its rows stay offered for the next
    // start); one already making them this run's puts them in the table.
    journal_.cancelRestore();
    finishRestore();
    finishFileWrites();
    if (lastBackup == LastBackup::Write) records_.backup.writeBeforeExit();
    syncJournal();
    seams_.port.close();
    journal_.waitWritten();
    // The journal has every row; the broker gets "offline" (bounded) and the
    // publisher's thread is joined.
    plantFeed_.stop();
    // The end of the run is the end of its last step: what it has to tell is told.
    QCoreApplication::sendPostedEvents(&afterStep_, QEvent::MetaCall);
}

void Station::setFastMode(bool on) {
    settings_.writeInt(link::kFastModeKey, on ? 1 : 0);
    linkController_.setFastMode(on);
}

link::ParameterChoice Station::fillParameters() { return linkController_.fillParameters(rememberedParameters_); }

link::ParameterOk Station::applyParameters(const link::ParameterChoice& choice) {
    return linkController_.applyParameters(rememberedParameters_, choice);
}

// ---- Link host ----------------------------------------------------------------

void Station::refreshLinkView() {
    plantFeed_.statusMayHaveChanged(*this);
    notify([&](StationObserver& o) { o.linkViewChanged(); });
}

void Station::clearChart() {
    display_.forgetReadings();
    display_.requestRedraw();
    notify([&](StationObserver& o) { o.chartCleared(); });
}

void Station::prepareColumns(unsigned probeCount) {
    records_.onConnected(probeCount);
    followStatistics();
    warnOfCharacteristicsBeyond(probeCount);
}

void Station::readingsArrived(std::span<const link::ChannelReading> readings) {
    // Rows are taken only from readings at most two poll cycles old.
    records_.onReadingArrived();
    const size_t count = std::min(readings.size(), lengths_.size());
    for (size_t i = 0; i < count; ++i) lengths_[i] = lengthOf(readings[i]);
    const std::span<const measure::Length> lengths(lengths_.data(), count);
    verdict_.judge(lengths, tolerances_);
    evaluateCharacteristics(lengths);
    plantFeed_.offer(lengths, verdict_, tolerances_, characteristicValues_, evaluator_);
    plantFeed_.statusMayHaveChanged(*this);
    const display::ChartPlan* redraw =
        display_.update(lengths, verdict_, tolerances_, {&characteristicValues_, &evaluator_}, shownByViews());
    notify([&](StationObserver& o) { o.readingsShown(redraw); });
}

void Station::instrumentRecordRequest() { records_.recorder.onInstrumentRecordRequest(); }

void Station::codeStep() { records_.recorder.runCodeStep(); }

void Station::setProbeNumber(unsigned probe) {
    notify([&](StationObserver& o) { o.probeNumberChosen(probe); });
}

void Station::linkClosed() {
    cycle_.reset();
    records_.onDisconnect();
    notify([&](StationObserver& o) { o.recordControlsChanged(); });
}

records::LimitCounts Station::characteristicLimitCounts(unsigned index) const {
    if (index >= evaluator_.count()) return {};
    const measure::CharacteristicLimits& limits = evaluator_.limits(index);
    return {limits.lowerCounts, limits.upperCounts};
}

void Station::characteristicLimitsOfRows(std::span<records::LimitCounts> out) const {
    records::characteristicLimitsOf(records_.table.layout().characteristics, records_.table, *this, out);
}

records::LimitCounts Station::limitCounts(unsigned probe) const {
    const auto& limits = tolerances_.limits(probe);
    return {limits.lslCounts, limits.uslCounts};
}

}  // namespace gaugemon::station

#include "station/station.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>
#include <filesystem>

#include "exchange/exchange.h"
#include "journal/journal_start.h"
#include "journal/journal_texts.h"
#include "records/table_file.h"

namespace gaugemon::station {

namespace timer = core::timer;

Station::Station(StationSeams seams, StationObserver& observer)
    : seams_(std::move(seams)),
      observer_(observer),
      settings_(seams_.settings, [this] { reportSettingsNotSaved(); }),
      linkController_(link_, seams_.port, seams_.timers, settings_, seams_.prompts, *this, language_),
      records_({seams_.timers, settings_, seams_.prompts, seams_.clock, *this, linkController_.watchdog(),
                seams_.backupDirectory}) {
    languageFlag_ = static_cast<uint8_t>(settings_.readInt(core::keys::kLanguage, core::defaults::kLanguage));
    language_ = core::languageFromSetting(languageFlag_);
    display_.load(settings_);
    tolerances_.load(settings_, display_.unit());
    verdict_.setPreWarning(statistics_.preWarning());
    linkController_.setFastMode(settings_.readInt(link::kFastModeKey, 0) == 1);
    statistics_.limitsChanged(tolerances_, records_.table);
    records_.table.setObserver(&journalObserver_);
    records_.useWriter(fileWriter_);
    records_.exporter.useFurtherFormats([this](const core::SaveChoice& choice) { return writeExchangeFile(choice); });
    seams_.timers.setTickHandler([this](int id) { onTick(id); });
}

Station::~Station() {
    seams_.timers.setTickHandler({});
    records_.table.setObserver(nullptr);
}

void Station::showAfterStep(std::string message) {
    core::Prompts& prompts = seams_.prompts;
    QMetaObject::invokeMethod(
        &afterStep_, [&prompts, text = std::move(message)] { prompts.showMessage(text); }, Qt::QueuedConnection);
}

void Station::tellFileWritten(std::function<void()> told) {
    QMetaObject::invokeMethod(
        &afterStep_,
        [this, told = std::move(told)] {
            told();
            syncJournal();
        },
        Qt::QueuedConnection);
}

void Station::finishFileWrites() {
    fileWriter_.finishWrite();
    QCoreApplication::sendPostedEvents(&afterStep_, QEvent::MetaCall);
}

void Station::reportSettingsNotSaved() {
    showAfterStep(core::pick(language_,
                             "The settings could not be saved: changes made now will be lost when "
                             "the program is closed.",
                             "设置无法保存，本次修改在关闭软件后将丢失!"));
}

void Station::onTick(int id) {
    if (linkController_.onTick(id)) {
        // The instrument's own record request adds rows in the answer tick.
        statistics_.rowsChanged(records_.table);
        syncJournal();
        return;
    }
    if (records_.onTimer(id)) {
        statistics_.rowsChanged(records_.table);
        syncJournal();
        observer_.recordControlsChanged();
        return;
    }
    observer_.otherTimer(id);
}

// ---- Crash journal ---------------------------------------------------------------

void Station::setRecordList(records::RecordTableObserver* list) {
    journalObserver_.setNext(list == &journalObserver_ ? nullptr : list);
    records_.table.setObserver(&journalObserver_);
}

void Station::startJournal() {
    if (seams_.journalDirectory.empty()) return;
    const int32_t days = settings_.readInt(core::keys::kJournalDays, core::defaults::kJournalDays);
    journal_.open(seams_.journalDirectory, std::clamp(days, 1, 3650));
    journal::offerPendingRows(journal_, records_.table, seams_.prompts, language_);
    plantFeed_.journalOpened(journal_);
    statistics_.rowsChanged(records_.table);
    observer_.recordControlsChanged();
}

void Station::syncJournal() {
    // A table with nothing unsaved is wholly in a file (an export or the backup).
    if (!records_.table.hasUnsavedRows()) journal_.markSaved(records_.table, records_.table.rowCount());
    if (const auto report = journal_.takeReport()) showAfterStep(journal::problemText(*report, language_));
}

// ---- Commands -----------------------------------------------------------------

void Station::connectButton() {
    linkController_.connectButton();
    observer_.recordControlsChanged();
}

void Station::zeroAll() { linkController_.zeroAllButton(); }

void Station::zeroSingle(unsigned probeNumber) { linkController_.zeroSingleButton(probeNumber); }

display::RangeRefusal Station::confirmRange(float lower, float upper) {
    return display_.confirmRange(lower, upper, settings_);
}

void Station::confirmMode(int index) {
    // This message has no English form; it reads the same in both languages.
    if (linkController_.requestDisplayMode(index) == link::ModeRequest::NotConnected) {
        seams_.prompts.showMessage("请先连接设备!");
    }
}

void Station::confirmUnit(int index) {
    display_.confirmUnit(index, tolerances_, settings_);
    statistics_.limitsChanged(tolerances_, records_.table);
}

std::optional<unsigned> Station::chartClick(int32_t x, int32_t y) { return display_.chartClick(link_, x, y); }

void Station::limitsChanged() {
    statistics_.limitsChanged(tolerances_, records_.table);
    display_.requestRedraw();
}

void Station::changePreWarning(tolerance::PreWarning preWarning) {
    statistics_.setPreWarning(preWarning);
    verdict_.setPreWarning(statistics_.preWarning());
    display_.requestRedraw();
}

void Station::pressManual() {
    records_.recorder.pressManual();
    observer_.recordControlsChanged();
}

records::AutoOutcome Station::setAutomatic(bool ticked, float periodSeconds) {
    const records::AutoOutcome outcome = records_.recorder.setAutomatic(ticked, periodSeconds);
    observer_.recordControlsChanged();
    return outcome;
}

void Station::exportRecords() {
    records_.exporter.run();
    syncJournal();
}

records::FileWriteResult Station::exportRecordsTo(const std::string& path) {
    finishFileWrites();
    records::FileWriteResult result =
        records::writeTableFile(records_.table, *this, records_.codes.enabled(), records::kTabFormat, path);
    syncJournal();
    return result;
}

std::optional<records::ExportOutcome> Station::writeExchangeFile(const core::SaveChoice& choice) {
    const auto save = exchange::exchangeSaveFor(choice, static_cast<int>(records::kExportFilters.size()));
    if (!save) return std::nullopt;
    exchange::ExchangeOptions options;
    options.unit = display_.unit();
    options.partNumber = partNumber_;
    options.partDescription = partDescription_;
    // A backup still writing finishes first: one file at a time.
    fileWriter_.finishWrite();
    const std::string name = std::filesystem::path(save->path).filename().string();
    auto progress = [this, name](unsigned percent) {
        observer_.fileProgress(core::pick(language_, "Saving ", "正在保存 ") + name +
                               core::pick(language_, ": ", "：") + std::to_string(percent) + " %");
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
    observer_.fileProgress({});
    // The message box is not silence of the instrument.
    link::WatchdogPause pause(linkController_.watchdog());
    seams_.prompts.showMessage(exchange::exchangeMessage(result, language_));
}

void Station::clearRecords() {
    records_.table.clearTable();
    statistics_.rowsChanged(records_.table);
    syncJournal();
}

void Station::setBackup(bool ticked) {
    records_.backup.setBoxTicked(ticked);
    observer_.recordControlsChanged();
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

void Station::shutDown() {
    finishFileWrites();
    records_.backup.writeBeforeExit();
    syncJournal();
    seams_.port.close();
    // The journal has every row; the broker gets "offline".
    plantFeed_.stop();
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

void Station::refreshLinkView() { observer_.linkViewChanged(); }

void Station::clearChart() {
    display_.forgetReadings();
    display_.requestRedraw();
    observer_.chartCleared();
}

void Station::prepareColumns(unsigned probeCount) {
    records_.onConnected(probeCount);
    statistics_.rowsChanged(records_.table);
}

void Station::readingsArrived(std::span<const link::ChannelReading> readings) {
    // Rows are taken only from readings younger than the watchdog period.
    records_.onReadingArrived();
    verdict_.judge(readings, tolerances_);
    plantFeed_.offer(readings, verdict_);
    observer_.readingsShown(display_.update(readings, verdict_, tolerances_));
}

void Station::instrumentRecordRequest() { records_.recorder.onInstrumentRecordRequest(); }

void Station::codeStep() { records_.recorder.runCodeStep(); }

void Station::setProbeNumber(unsigned probe) { observer_.probeNumberChosen(probe); }

void Station::linkClosed() {
    records_.onDisconnect();
    observer_.recordControlsChanged();
}

records::LimitCounts Station::limitCounts(unsigned probe) const {
    const auto& limits = tolerances_.limits(probe);
    return {limits.lslCounts, limits.uslCounts};
}

}  // namespace gaugemon::station

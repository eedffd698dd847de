#pragma once
#include <memory>

#include "app/settings_store.h"
#include "app/virtual_time.h"
#include "fake_prompts.h"
#include "records/records.h"
#include "records_test_support.h"

namespace gaugemon::records::test {

// The records of a station on virtual time, with a scripted operator.
struct RecordsRig {
    app::VirtualTime time;
    app::VirtualTimerSchedule timers{time};
    app::MemorySettingsStore store;
    FakePrompts prompts;
    PlainRecordSources sources;
    TempDir dir;
    std::unique_ptr<Records> records;
    // The link as the records see it: while the instrument answers, a reading
    // every kReadingEveryMs, each re-arming the watchdog; the watchdog's tick
    // counts a "Device disconnected" notice.
    app::VirtualTimerSchedule polling{time};
    bool instrumentAnswers = true;
    int disconnectNotices = 0;
    static constexpr int kReadingEveryMs = 100;

    explicit RecordsRig(bool codeInput = false, app::LocalDateTime start = {2019, 11, 29, 13, 52, 30})
        : time(start) {
        store.writeInt(app::keys::kCodeEn, codeInput ? 1 : 0);
        sources.lang = app::Language::English;
        sources.probes = 2;
        sources.texts[0] = valueText("  3.001 ");
        sources.texts[1] = valueText(" -0.052 ");
        records = std::make_unique<Records>(RecordsSeams{timers, store, prompts, time, sources, dir.path().string()});
        timers.setTickHandler([this](int id) {
            if (id == app::timer::kWatchdog) return watchdogTick();
            records->onTimer(id);
        });
        polling.setTickHandler([this](int) {
            if (!instrumentAnswers) return;
            timers.start(app::timer::kWatchdog, kWatchdogMs);
            records->onReadingArrived();
        });
    }

    void connect() {
        sources.isConnected = true;
        records->onConnected(sources.probes);
        polling.start(app::timer::kRequest, kReadingEveryMs);
    }
    void disconnect() {
        sources.isConnected = false;
        records->onDisconnect();
        polling.stop(app::timer::kRequest);
        timers.stop(app::timer::kWatchdog);
    }
    void watchdogTick() {
        timers.stop(app::timer::kWatchdog);
        ++disconnectNotices;
    }
    // The end of an answer tick, after an answer that may have asked for a record.
    void answerTick(bool recordRequest = false) {
        if (recordRequest) records->recorder.onInstrumentRecordRequest();
        records->recorder.runCodeStep();
    }

    Recorder& recorder() { return records->recorder; }
    RecordTable& table() { return records->table; }
    uint32_t rows() const { return records->table.rowCount(); }
};

}  // namespace gaugemon::records::test

#pragma once
#include <memory>

#include "core/settings_store.h"
#include "fake_prompts.h"
#include "link/link_state.h"
#include "link/watchdog.h"
#include "records/records.h"
#include "records_test_support.h"
#include "support/memory_settings_store.h"
#include "support/virtual_time.h"

namespace gaugemon::records::test {

// The records of a station on virtual time, with a scripted operator.
struct RecordsRig {
    core::VirtualTime time;
    core::VirtualTimerSchedule timers{time};
    core::MemorySettingsStore store;
    FakePrompts prompts;
    PlainRecordSources sources;
    link::LinkState linkState;
    link::Watchdog watchdog{timers, linkState};
    TempDir dir;
    std::unique_ptr<Records> records;
    // The link as the records see it: a request every kReadingEveryMs and,
    // while the instrument answers, its reading at once, re-arming the
    // watchdog; the watchdog's tick counts a "Device disconnected" notice.
    core::VirtualTimerSchedule polling{time};
    bool instrumentAnswers = true;
    int disconnectNotices = 0;
    static constexpr int kReadingEveryMs = 100;

    explicit RecordsRig(bool codeInput = false, core::LocalDateTime start = {2019, 11, 29, 13, 52, 30}) : time(start) {
        store.writeInt(core::keys::kCodeEn, codeInput ? 1 : 0);
        sources.lang = core::Language::English;
        sources.probes = 2;
        showTexts(sources, {"  3.001 ", "- 0.052 "});
        records = std::make_unique<Records>(
            RecordsSeams{timers, store, prompts, time, sources, watchdog, dir.path().string()});
        timers.setTickHandler([this](int id) {
            if (id == core::timer::kWatchdog) return watchdogTick();
            records->onTimer(id);
        });
        polling.setTickHandler([this](int) {
            records->onRequestSent();
            if (!instrumentAnswers) return;
            watchdog.rearm();
            records->onReadingArrived();
        });
    }

    void connect() {
        sources.isConnected = true;
        linkState.connected = true;
        records->onConnected(sources.probes);
        polling.start(core::timer::kRequest, kReadingEveryMs);
    }
    void disconnect() {
        sources.isConnected = false;
        linkState.connected = false;
        records->onDisconnect();
        polling.stop(core::timer::kRequest);
        timers.stop(core::timer::kWatchdog);
    }
    void watchdogTick() {
        timers.stop(core::timer::kWatchdog);
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

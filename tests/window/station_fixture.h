#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/monitor_dialog.h"
#include "core/settings_store.h"
#include "sim/simulated_ports.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"

namespace gaugemon::testing {

// The whole station on virtual time: the real main window, the simulated
// instrument on an in-process line, scripted prompts and settings in memory.
class StationFixture : public ::testing::Test {
protected:
    StationFixture() {
        directory_ = std::filesystem::temp_directory_path() /
                     ("gaugemon-window-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(directory_);
    }
    ~StationFixture() override {
        window.reset();
        model.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    // A start of the program: the station, then its window over it.
    void open() {
        window.reset();
        model.reset();
        model = std::make_unique<station::Station>(station::StationSeams{
            settings, timers, clock, line, prompts, directory_.string() + "/", /*journalDirectory=*/{}});
        app::WindowSeams seams{prompts, [this] { return std::make_unique<core::VirtualTimerSchedule>(clock); },
                               directory_.string() + "/", [this] { exited = true; }};
        window = std::make_unique<app::MonitorDialog>(*model, seams);
        window->show();
        QApplication::processEvents();
    }

    template <typename T = QWidget>
    T* control(int id) const {
        return qobject_cast<T*>(window->control(id));
    }
    QString textOf(int id) const {
        QWidget* widget = window->control(id);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        if (auto* box = qobject_cast<QGroupBox*>(widget)) return box->title();
        return {};
    }
    void click(int id) { control<QAbstractButton>(id)->click(); }
    void type(int id, const QString& text) { control<QLineEdit>(id)->setText(text); }

    bool connect(int64_t limitMs = 60'000) {
        click(app::control::kConnect);
        return clock.runUntil([&] { return window->linkState().connected; }, limitMs);
    }

    // Runs `action` on the dialog that the next modal run opens.
    template <typename Dialog>
    void whenDialogOpens(std::function<void(Dialog&)> action) {
        QTimer::singleShot(0, [action] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible()) {
                    action(*dialog);
                    return;
                }
            }
        });
    }

    std::filesystem::path directory() const { return directory_; }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    std::unique_ptr<station::Station> model;
    std::unique_ptr<app::MonitorDialog> window;
    bool exited = false;

private:
    static inline int counter_ = 0;
    std::filesystem::path directory_;
};

}  // namespace gaugemon::testing

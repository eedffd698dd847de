#pragma once
#include <QDialog>
#include <memory>

#include "core/language.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/timer_schedule.h"
#include "measure/length_unit.h"
#include "station/station.h"
#include "tolerance/tolerance_actions.h"

class QLineEdit;
class QTableWidget;

namespace gaugemon::app {

// The per-probe tolerance limits: a list of the 60 probes and fields for the
// selected one, shown from the station's limits and changed through its
// commands. Changes are stored at once; the chart judges anew at its next
// update.
class ToleranceDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSelectionTimer = 1;

    ToleranceDialog(station::Station& station, core::Prompts& prompts, std::unique_ptr<core::TimerSchedule> timers,
                    QWidget* parent);

    QTableWidget* list() const { return list_; }
    QLineEdit* probeEdit() const { return probe_; }
    QLineEdit* lowerEdit() const { return lower_; }
    QLineEdit* upperEdit() const { return upper_; }
    void pressOk();
    void pressCopyFirst();
    void followSelection();

private:
    void showRow(unsigned probe);
    // Takes the three fields over; false when one was refused.
    bool readFields();

    station::Station& station_;
    measure::LengthUnit unit_;
    core::Prompts& prompts_;
    std::unique_ptr<core::TimerSchedule> timers_;
    tolerance::ToleranceSelection selection_;
    QTableWidget* list_;
    QLineEdit* probe_;
    QLineEdit* lower_;
    QLineEdit* upper_;
    // Field values as last loaded or accepted; a refused field falls back to them.
    unsigned probeValue_ = 0;
    float lowerValue_ = 0.0f;
    float upperValue_ = 0.0f;
};

}  // namespace gaugemon::app

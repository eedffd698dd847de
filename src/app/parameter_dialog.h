#pragma once
#include <QDialog>
#include <memory>

#include "core/language.h"
#include "core/prompts.h"
#include "core/timer_schedule.h"
#include "station/station.h"

class QComboBox;
class QLineEdit;

namespace gaugemon::app {

// The instrument's communication parameters. OK only raises requests; the
// poll cycle sends them and the instrument's echoes apply them.
class ParameterDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFlagsTimer = 9;

    ParameterDialog(station::Station& station, core::Language language, core::Prompts& prompts,
                    std::unique_ptr<core::TimerSchedule> timers, QWidget* parent);

    QComboBox* baudList() const { return baud_; }
    QComboBox* parityList() const { return parity_; }
    QComboBox* formatList() const { return format_; }
    QLineEdit* addressEdit() const { return address_; }
    void pressOk();

private:
    void flagsTick();

    station::Station& station_;
    core::Prompts& prompts_;
    std::unique_ptr<core::TimerSchedule> timers_;
    QComboBox* baud_;
    QComboBox* parity_;
    QComboBox* format_;
    QLineEdit* address_;
};

}  // namespace gaugemon::app

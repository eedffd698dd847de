#pragma once
#include <QDialog>
#include <memory>

#include "core/language.h"
#include "core/prompts.h"
#include "core/timer_schedule.h"
#include "link/link_state.h"
#include "link/parameter_settings.h"

class QComboBox;
class QLineEdit;

namespace gaugemon::app {

// The instrument's communication parameters. OK only raises requests; the
// poll cycle sends them and the instrument's echoes apply them.
class ParameterDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kFlagsTimer = 9;

    ParameterDialog(link::LinkState& link, link::ParameterChoice& remembered, core::Language language, core::Prompts& prompts,
                    std::unique_ptr<core::TimerSchedule> timers, QWidget* parent);

    QComboBox* baudList() const { return baud_; }
    QComboBox* parityList() const { return parity_; }
    QComboBox* formatList() const { return format_; }
    QLineEdit* addressEdit() const { return address_; }
    void pressOk();

private:
    void flagsTick();

    link::LinkState& link_;
    link::ParameterChoice& remembered_;
    core::Prompts& prompts_;
    std::unique_ptr<core::TimerSchedule> timers_;
    QComboBox* baud_;
    QComboBox* parity_;
    QComboBox* format_;
    QLineEdit* address_;
};

}  // namespace gaugemon::app

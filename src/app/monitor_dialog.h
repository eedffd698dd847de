#pragma once
#include <QDialog>
#include <QImage>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/language.h"
#include "core/prompts.h"
#include "core/reporting_settings_store.h"
#include "core/settings_store.h"
#include "core/timer_schedule.h"
#include "app/window_layout.h"
#include "display/display_update.h"
#include "link/link_controller.h"
#include "link/link_state.h"
#include "link/parameter_settings.h"
#include "link/serial_port.h"
#include "records/record_sources.h"
#include "records/records.h"
#include "records/tolerance_table.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace gaugemon::records {
class RecordListModel;
}

namespace gaugemon::app {

class ChartView;

// Everything the window reaches the platform through.
struct StationSeams {
    core::SettingsStore& settings;
    core::TimerSchedule& timers;
    core::Clock& clock;
    link::SerialPort& port;
    core::Prompts& prompts;
    // Timers of a dialog's own window (the parameters and tolerance dialogs).
    std::function<std::unique_ptr<core::TimerSchedule>()> makeDialogTimers;
    // Directory of the executable, with its trailing separator.
    std::string executableDir;
    // Ends the process at once (the Exit button).
    std::function<void()> exitProcess;
};

// The station's main window: owns all run-time state, binds the controls and
// the numbered timers to the logic and shows its results.
class MonitorDialog : public QDialog, private link::LinkHost, private records::RecordSources {
    Q_OBJECT
public:
    explicit MonitorDialog(StationSeams seams, QWidget* parent = nullptr);
    ~MonitorDialog() override;

    // Access for tests and the start-up code.
    QWidget* control(int id) const;
    const link::LinkState& linkState() const { return link_; }
    link::LinkState& linkState() { return link_; }
    const display::DisplayModel& displayModel() const { return display_.model(); }
    const records::RecordTable& recordTable() const { return records_.table; }
    const records::ToleranceTable& tolerances() const { return tolerances_; }
    const QImage& chartImage() const { return display_.image(); }
    const records::RecordListModel& recordModel() const { return *model_; }
    bool logoShown() const { return logoShown_; }
    void onTick(int id);
    // Reads the edit fields; false when one was refused (it then has the focus).
    bool readFields();
    // Shows the fields from their values, except one the operator is editing.
    void writeFields();
    // The chart click at client coordinates.
    void chartClicked(int x, int y);
    // The end of a run that no operator confirms (the system stops the
    // station): the last backup, then the port closed.
    void shutDown();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Building the window.
    void createControls();
    void applyLabels();
    void bindControls();
    void initialise();
    void placeWindow();
    void fitFrame();
    // LinkHost.
    void refreshLinkView() override;
    void clearChart() override;
    void prepareColumns(unsigned probeCount) override;
    void displayUpdate() override;
    void instrumentRecordRequest() override;
    void codeStep() override;
    void setProbeNumber(unsigned probe) override;
    void linkClosed() override;
    // RecordSources.
    bool connected() const override { return link_.connected; }
    unsigned probeCount() const override { return link_.probeCount; }
    const display::ValueTextTable& valueTexts() const override { return display_.valueTexts(); }
    bool anyNg() const override { return display_.anyNg(); }
    bool readingsShown() const override { return display_.showsReadings(); }
    core::Language language() const override { return language_; }
    records::LimitCounts limitCounts(unsigned probe) const override;
    // Handlers.
    void zeroSingle();
    void openParameters();
    void confirmRange();
    void openTolerances();
    void clearRecords();
    void pressManual();
    void toggleAutomatic(bool ticked);
    void saveRecords();
    void showHelp(core::Language language);
    void exitButton();
    void confirmMode();
    void confirmUnit();
    void chooseLanguage(int clickedId);
    void modifyCode();
    void toggleCodeEntry(bool ticked);
    void toggleBackup(bool ticked);
    void logoTick();
    void showRecordControls();
    void applyColumnWidths();
    void showField(int id, const QString& value);
    // A caption that changes at run time, fitted to its button.
    void setCaption(int id, const QString& caption);
    void showMessage(const char* text) { seams_.prompts.showMessage(text); }

    StationSeams seams_;
    // Every part of the station writes its settings through this one.
    core::ReportingSettingsStore settings_;
    // The language flag as stored (one byte; 2 is English, anything else
    // Chinese) and the language it selects.
    uint8_t languageFlag_ = 1;
    core::Language language_ = core::Language::Chinese;
    // Run-time state.
    link::LinkState link_;
    display::DisplayUpdate display_;
    records::ToleranceTable tolerances_;
    records::Records records_;
    link::LinkController linkController_;
    link::ParameterChoice rememberedParameters_;
    // Fields exchanged with the edits.
    uint32_t probeNumber_ = 0;
    float rangeLower_ = 0.0f;
    float rangeUpper_ = 0.0f;
    float interval_ = 0.0f;
    // Screen.
    std::array<QWidget*, 40> controls_{};
    StretchingRects stretching_;
    QSize rememberedClient_;
    // Client size as placed (until the operator resizes) and the frame's
    // share of the window once known.
    QSize placedClient_;
    QSize frame_{0, 0};
    ChartView* chartView_ = nullptr;
    ChartView* verdictView_ = nullptr;  // the OK/NG box, right of the top band
    QLabel* logo_ = nullptr;
    bool logoShown_ = false;
    bool logoAwaitsStart_ = true;  // until the logo step that start-up scheduled
    records::RecordListModel* model_ = nullptr;
    int baseX_ = 7;
    int baseY_ = 14;
};

}  // namespace gaugemon::app

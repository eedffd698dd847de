#pragma once
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/window_layout.h"
#include "core/clock.h"
#include "core/language.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/timer_schedule.h"
#include "display/display_update.h"
#include "link/serial_port.h"
#include "station/operator_fields.h"
#include "station/station.h"

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

class StatisticsWindow;

class ChartView;

// Everything the window reaches the platform through.
struct WindowSeams {
    core::Prompts& prompts;
    // Timers of a window's own (this one's logo and list, the parameters and
    // tolerance dialogs, the statistics window).
    std::function<std::unique_ptr<core::TimerSchedule>()> makeDialogTimers;
    // Where the logo is kept under Dat/Res, with its trailing separator.
    std::string executableDir;
    // Leaves the window's run at once (the Exit button); the start-up code
    // then stops the station as after the close box.
    std::function<void()> exitProcess;
};

// The station's main window: a view over a `Station` that the start-up code
// built and outlives it. It binds the controls to the station's commands and
// shows what the station tells it from its construction to its destruction.
class MonitorDialog : public QDialog, private station::StationObserver {
    Q_OBJECT
public:
    MonitorDialog(station::Station& station, WindowSeams seams, QWidget* parent = nullptr);
    ~MonitorDialog() override;

    // Access for tests and the start-up code.
    QWidget* control(int id) const;
    const station::Station& station() const { return station_; }
    // For views that subscribe to it (the web page).
    station::Station& station() { return station_; }
    // The context menu offers the broker's setting when the start-up code
    // gives a way to ask for it.
    void offerBrokerSetting(std::function<void()> askBroker) { askBroker_ = std::move(askBroker); }
    // The context menu offers the setting of the part a transfer file names
    // when the start-up code gives a way to ask for it.
    void offerTransferPartSetting(std::function<void()> askPart) { askTransferPart_ = std::move(askPart); }
    const link::LinkState& linkState() const { return station_.linkState(); }
    const display::DisplayModel& displayModel() const { return station_.display(); }
    const records::RecordTable& recordTable() const { return station_.recordTable(); }
    const tolerance::ToleranceTable& tolerances() const { return station_.tolerances(); }
    const QImage& chartImage() const { return chart_.image(); }
    const records::RecordListModel& recordModel() const { return *model_; }
    bool logoShown() const { return logoShown_; }
    void onTick(int id) { station_.onTick(id); }
    // Shows the fields from their values, except one the operator is editing.
    void writeFields();
    // The chart click at client coordinates.
    void chartClicked(int x, int y);
    // Waits for a backup or an export still writing and tells its outcome.
    void finishFileWrites();

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
    // StationObserver.
    void linkViewChanged() override;
    void chartCleared() override;
    void readingsShown(const display::ChartPlan* redraw) override;
    void recordControlsChanged() override { showRecordControls(); }
    // The window's own timers: the logo step and the list's batch.
    void onOwnTimer(int id);
    void restoreProgress(unsigned percent) override;
    void fileProgress(std::string_view text) override;
    // Handlers.
    void zeroSingle();
    void openParameters();
    void confirmRange();
    void openTolerances();
    void openCharacteristics();
    void clearRecords();
    void pressManual();
    void toggleAutomatic(bool ticked);
    void saveRecords();
    void showHelp(core::Language language);
    void exitButton();
    void showStatistics();
    void toggleConnectAtStart(bool ticked);
    void confirmMode();
    void confirmUnit();
    void chooseLanguage(int clickedId);
    void modifyCode();
    void toggleCodeEntry(bool ticked);
    void toggleBackup(bool ticked);
    void logoTick();
    void showRecordControls();
    void applyColumnWidths();
    // Shows what a command made of the fields: its message, the refused
    // field with the focus, the fields taken over as values again.
    void showOutcome(const station::FieldsOutcome& outcome);
    // Repaints what the chart changed under its two views.
    void showChart();
    void showField(station::Field field);
    // A caption that changes at run time, fitted to its button.
    void setCaption(int id, const QString& caption);
    void showMessage(const char* text) { seams_.prompts.showMessage(text); }

    core::Language language() const { return station_.language(); }

    WindowSeams seams_;
    std::unique_ptr<core::TimerSchedule> ownTimers_;
    std::function<void()> askBroker_;
    std::function<void()> askTransferPart_;
    station::Station& station_;
    // The chart drawn into the window's backing image.
    display::DisplayUpdate chart_;
    // What the operator typed, and each command's rule for it.
    station::OperatorFields fields_{station_};
    // Screen.
    std::array<QWidget*, kControls.size()> controls_{};
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
    QPointer<StatisticsWindow> statisticsWindow_;
    // The list was at its bottom when rows began to arrive.
    bool followNewest_ = true;
    bool logoAwaitsStart_ = true;  // until the logo step that start-up scheduled
    records::RecordListModel* model_ = nullptr;
    int baseX_ = 7;
    int baseY_ = 14;
};

}  // namespace gaugemon::app

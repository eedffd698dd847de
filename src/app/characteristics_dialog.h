#pragma once
#include <QDialog>
#include <memory>

#include "core/prompts.h"
#include "core/timer_schedule.h"
#include "measure/characteristic_editor.h"
#include "station/station.h"

class QLineEdit;
class QTableWidget;

namespace gaugemon::app {

// The characteristics of the part: the list of definitions with each value
// and its zone on the current readings, fields for one definition, and the
// setup text file to carry them between stations. Every change goes through
// the editor, which refuses what the station would; OK hands the list to the
// station.
class CharacteristicsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPreviewTimer = 1;
    static constexpr int kPreviewMs = 100;

    CharacteristicsDialog(station::Station& station, core::Prompts& prompts,
                          std::unique_ptr<core::TimerSchedule> timers, QWidget* parent);

    QTableWidget* list() const { return list_; }
    QLineEdit* field(int index) const { return fields_[static_cast<size_t>(index)]; }
    const measure::CharacteristicEditor& editor() const { return editor_; }
    // The buttons' actions; a refusal is shown and changes nothing.
    void pressAdd();
    void pressReplace();
    void pressRemove();
    // Reads or writes the setup text file at `path`.
    void importFrom(const QString& path);
    void exportTo(const QString& path);
    void pressOk();
    void showPreview();

    // The fields in the order of the setup text's columns.
    enum FieldIndex { Name, Decimals, Lower, Upper, Formula, FieldCount };

private:
    measure::DefinitionFields typedFields() const;
    void showList();
    void showFields(int row);
    int selectedRow() const;
    void refuse(const measure::Refusal& refusal);
    void importFile();
    void exportFile();

    station::Station& station_;
    core::Prompts& prompts_;
    std::unique_ptr<core::TimerSchedule> timers_;
    measure::CharacteristicEditor editor_;
    QTableWidget* list_;
    std::array<QLineEdit*, FieldCount> fields_{};
};

}  // namespace gaugemon::app

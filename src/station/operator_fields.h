#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "station/station.h"

namespace gaugemon::station {

// The main window's edit fields.
enum class Field : uint8_t { ProbeNumber, RangeLower, RangeUpper, Interval };
inline constexpr size_t kFieldCount = 4;

// What a command made of the fields, for the window to show.
struct FieldsOutcome {
    // A message for the operator; null when there is none.
    const char* message = nullptr;
    // The field whose text was refused: it takes the focus, its text selected.
    std::optional<Field> refused;
    // Fields whose text became their value: they show their values again.
    std::array<bool, kFieldCount> takenOver{};
    // The fields show their values again (a value changed).
    bool showValues = false;
    // The command went through (a range confirmed, a probe chosen).
    bool applied = false;
    // The probe a chart click chose.
    std::optional<unsigned> chosenProbe;
};

// The operator's side of the main window without its widgets: the text typed
// into each edit field, the values taken over from them, and each command's
// rule for taking them over, with its refusals. The window binds its widgets
// to it and shows the outcomes; it decides nothing itself.
class OperatorFields : private StationObserver {
public:
    explicit OperatorFields(Station& station);
    ~OperatorFields() override;
    OperatorFields(const OperatorFields&) = delete;
    OperatorFields& operator=(const OperatorFields&) = delete;

    // What the field holds now, typed or shown.
    void setText(Field field, std::string text) { texts_[index(field)] = std::move(text); }
    const std::string& text(Field field) const { return texts_[index(field)]; }
    // The field's value as the field shows it.
    std::string valueText(Field field) const;
    unsigned probeNumber() const { return probeNumber_; }

    // ---- The commands that read the fields -----------------------------------
    // Zero single: connected, the fields are taken over first; a refusal stops it.
    FieldsOutcome zeroSingle();
    // The range from the fields, taken over first; refused or stored.
    FieldsOutcome confirmRange();
    // Only a tick takes the period field over; unticking leaves the typed
    // fields alone. A refused field leaves the box clear: the period in force
    // may not be the one shown.
    FieldsOutcome setAutomatic(bool ticked);
    // Manual: when it ends automatic recording the fields show their values.
    FieldsOutcome recordOne();
    // The mode and unit selectors: the fields are taken over first (the mode
    // only when connected), but a refused field does not stop them.
    FieldsOutcome confirmMode(int index);
    FieldsOutcome confirmUnit(int index);
    // A click on the chart over `probe`, or over none: the fields are taken
    // over first, so writing the chosen probe back shows them as typed; the
    // click chooses the probe whatever was left typed in its field.
    FieldsOutcome selectProbe(std::optional<unsigned> probe);

    // ---- Language and start-up -------------------------------------------------
    // A language radio button was clicked; the message asks for a restart
    // when the choice differs from the stored language.
    const char* chooseLanguage(bool clickedChinese, bool chineseChecked);
    // The setting: Connect is pressed for the operator once the window is up.
    bool connectAtStart() const { return connectAtStart_; }
    void setConnectAtStart(bool on);
    // Once the window is up: the journal's question first, then the search
    // of a start-up connection.
    void startUp();

private:
    static size_t index(Field field) { return static_cast<size_t>(field); }
    // Takes every field over in order, stopping at the first refused one.
    FieldsOutcome takeOver();
    // The fields show no reading; the window shows the chart.
    display::Shown shown() const override { return display::Shown::Nothing; }
    void probeNumberChosen(unsigned probe) override { probeNumber_ = probe; }

    Station& station_;
    std::array<std::string, kFieldCount> texts_;
    unsigned probeNumber_ = 0;
    float rangeLower_ = 0.0f;
    float rangeUpper_ = 0.0f;
    float interval_ = 0.0f;
    bool connectAtStart_ = false;
    bool started_ = false;
};

}  // namespace gaugemon::station

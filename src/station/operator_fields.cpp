#include "station/operator_fields.h"

#include "display/display_range.h"
#include "station/field_parsing.h"

namespace gaugemon::station {

OperatorFields::OperatorFields(Station& station) : station_(station) {
    const display::DisplayModel& display = station_.display();
    rangeLower_ = static_cast<float>(display.displayRange().low) * 0.001f;
    rangeUpper_ = static_cast<float>(display.displayRange().high) * 0.001f;
    interval_ = station_.recorder().periodFieldSeconds();
    connectAtStart_ = station_.connectAtStart();
    for (size_t i = 0; i < kFieldCount; ++i) texts_[i] = valueText(static_cast<Field>(i));
    station_.addObserver(*this);
}

OperatorFields::~OperatorFields() { station_.removeObserver(*this); }

std::string OperatorFields::valueText(Field field) const {
    switch (field) {
        case Field::ProbeNumber: return std::to_string(probeNumber_);
        case Field::RangeLower: return formatNumberField(rangeLower_);
        case Field::RangeUpper: return formatNumberField(rangeUpper_);
        case Field::Interval: return formatNumberField(interval_);
    }
    return {};
}

FieldsOutcome OperatorFields::takeOver() {
    FieldsOutcome outcome;
    const auto number = parseProbeNumber(text(Field::ProbeNumber));
    if (!number) {
        outcome.message = kProbeNumberRejected;
        outcome.refused = Field::ProbeNumber;
        return outcome;
    }
    probeNumber_ = *number;
    outcome.takenOver[index(Field::ProbeNumber)] = true;
    const std::pair<Field, float*> numbers[] = {
        {Field::RangeLower, &rangeLower_}, {Field::RangeUpper, &rangeUpper_}, {Field::Interval, &interval_}};
    for (const auto& [field, target] : numbers) {
        const auto value = parseNumberField(text(field));
        if (!value) {
            outcome.message = kNumberRejected;
            outcome.refused = field;
            return outcome;
        }
        *target = *value;
        outcome.takenOver[index(field)] = true;
    }
    return outcome;
}

FieldsOutcome OperatorFields::zeroSingle() {
    FieldsOutcome outcome;
    if (station_.linkState().connected) {
        outcome = takeOver();
        if (outcome.refused) return outcome;
    }
    station_.zero(probeNumber_);
    outcome.applied = true;
    return outcome;
}

FieldsOutcome OperatorFields::confirmRange() {
    // A refused field has had its message: the range is not confirmed from
    // values the operator no longer sees.
    FieldsOutcome outcome = takeOver();
    if (outcome.refused) return outcome;
    const display::RangeRefusal refusal = station_.setRange(rangeLower_, rangeUpper_);
    if (refusal != display::RangeRefusal::None)
        outcome.message = display::rangeRefusalText(refusal);
    else
        outcome.applied = true;
    return outcome;
}

FieldsOutcome OperatorFields::setAutomatic(bool ticked) {
    FieldsOutcome outcome;
    if (ticked) {
        outcome = takeOver();
        if (outcome.refused) return outcome;
    }
    const records::AutoOutcome result = station_.setAutomatic(ticked, interval_);
    outcome.showValues = result == records::AutoOutcome::Started || result == records::AutoOutcome::Stopped;
    outcome.applied = true;
    return outcome;
}

FieldsOutcome OperatorFields::recordOne() {
    const bool stopsAutomatic = station_.recorder().automaticTicked();
    station_.recordOne();
    FieldsOutcome outcome;
    outcome.showValues = stopsAutomatic && !station_.recorder().automaticTicked();
    outcome.applied = true;
    return outcome;
}

FieldsOutcome OperatorFields::confirmMode(int index) {
    FieldsOutcome outcome;
    if (station_.linkState().connected) outcome = takeOver();
    station_.setMode(index);
    outcome.applied = true;
    return outcome;
}

FieldsOutcome OperatorFields::confirmUnit(int index) {
    FieldsOutcome outcome = takeOver();
    station_.setUnit(index);
    outcome.applied = true;
    return outcome;
}

FieldsOutcome OperatorFields::selectProbe(std::optional<unsigned> probe) {
    FieldsOutcome outcome = takeOver();
    if (probe) {
        probeNumber_ = *probe;
        outcome.takenOver[index(Field::ProbeNumber)] = true;
        outcome.showValues = true;
        outcome.applied = true;
        outcome.chosenProbe = *probe;
    }
    return outcome;
}

const char* OperatorFields::chooseLanguage(bool clickedChinese, bool chineseChecked) {
    const uint8_t stored = station_.languageFlag();
    const char* message = nullptr;
    if (clickedChinese && chineseChecked && stored != 1) message = "请关闭软件后再重新打开!";
    if (!clickedChinese && !chineseChecked && stored != 2) message = "Please close the software and then Reopen!";
    station_.chooseLanguage(chineseChecked ? 1 : 2);
    return message;
}

void OperatorFields::setConnectAtStart(bool on) {
    connectAtStart_ = on;
    station_.setConnectAtStart(on);
}

void OperatorFields::startUp() {
    if (started_) return;
    started_ = true;
    station_.startJournal();
    if (connectAtStart_ && !station_.linkState().connected) station_.connect();
}

}  // namespace gaugemon::station

#include "web/station_api.h"

#include <algorithm>

#include "display/value_text.h"
#include "exchange/row_fields.h"
#include "measure/counts.h"
#include "plant/json_writer.h"
#include "plant/plant_json.h"
#include "station/station.h"

namespace gaugemon::web {

namespace {

using plant::JsonWriter;

constexpr int kCoarseDecimals = 3;
constexpr int kFineDecimals = 4;
constexpr int kFigureDecimals = 4;
constexpr int kIndexDecimals = 3;
constexpr int64_t kUnitsPerCount = 100;     // 0.00001 mm in 0.001 mm
constexpr int64_t kUnitsPerFineCount = 10;  // 0.00001 mm in 0.0001 mm

exchange::ScaledNumber millimetres(int64_t counts, bool fine) {
    return fine ? exchange::ScaledNumber{counts * kUnitsPerFineCount, kFineDecimals}
                : exchange::ScaledNumber{counts * kUnitsPerCount, kCoarseDecimals};
}

std::string_view trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    const size_t end = text.find_last_not_of(' ');
    return text.substr(begin, end - begin + 1);
}

const char* zoneName(tolerance::Zone zone) {
    switch (zone) {
        case tolerance::Zone::Ok: return "OK";
        case tolerance::Zone::Warning: return "pre-warning";
        case tolerance::Zone::Ng: break;
    }
    return "NG";
}

// Limits in counts of 0.001 mm.
void band(JsonWriter& json, int32_t lower, int32_t upper) {
    json.field("lower").number(millimetres(lower, false));
    json.field("upper").number(millimetres(upper, false));
    // The middle in 0.0001 mm is exact: half of a sum of thousandths.
    json.field("nominal").number(millimetres((int64_t{lower} + upper) * 5, true));
}

void band(JsonWriter& json, const tolerance::ProbeLimits& limits) { band(json, limits.lslCounts, limits.uslCounts); }

void optionalFigure(JsonWriter& json, const char* name, const std::optional<double>& value, int decimals) {
    json.field(name);
    if (value)
        json.number(*value, decimals);
    else
        json.null();
}

const char* rowVerdictName(exchange::RowVerdict verdict) {
    switch (verdict) {
        case exchange::RowVerdict::Ok: return "OK";
        case exchange::RowVerdict::Ng: return "NG";
        case exchange::RowVerdict::Unknown: break;
    }
    return nullptr;
}

void writeRow(JsonWriter& json, const station::Station& station, uint32_t row, uint64_t sequence) {
    static const records::GbkDecoder decoder;
    const records::RecordTable& table = station.recordTable();
    const records::RowView view = table.row(row);
    json.beginObject();
    json.field("sequence").number(static_cast<int64_t>(sequence));
    json.field("row").number(int64_t{row} + 1);
    // The form MQTT gives the same row; the table holds whole seconds.
    json.field("time").isoTime(plant::msSince1970Of(view.time()));
    json.field("code");
    if (view.code().empty())
        json.null();
    else
        json.string(exchange::codeText(view.code(), decoder));
    json.field("values").beginArray();
    for (unsigned probe = 1; probe <= table.layout().probeCount; ++probe)
        json.string(trimmed(view.valueText(probe).text()));
    json.endArray();
    if (table.layout().characteristicCount() > 0) {
        json.field("characteristics").beginArray();
        for (unsigned k = 0; k < table.layout().characteristicCount(); ++k) {
            json.beginObject();
            json.field("name").string(records::characteristicTitle(table.layout(), k));
            json.field("text").string(trimmed(view.characteristicText(k).text()));
            json.endObject();
        }
        json.endArray();
    }
    json.field("verdict");
    if (const char* verdict = rowVerdictName(exchange::verdictOf(view.resultCell())))
        json.string(verdict);
    else
        json.null();
    json.endObject();
}

// The characteristics after the probes, as the chart shows them; a value
// that could not be computed is null and NG.
void characteristicsJson(JsonWriter& json, const station::Station& station, bool shown) {
    const measure::CharacteristicValues& values = station.characteristicValues();
    const measure::CharacteristicEvaluator& evaluator = station.characteristicEvaluator();
    const auto& definitions = station.characteristics().definitions;
    const unsigned count =
        shown ? std::min({values.count, evaluator.count(), static_cast<unsigned>(definitions.size())}) : 0;
    json.field("characteristics").beginArray();
    for (unsigned i = 0; i < count; ++i) {
        const std::optional<measure::Length>& value = values.values[i];
        const measure::CharacteristicLimits& limits = evaluator.limits(i);
        const tolerance::Zone zone = station.verdict().characteristic(i);
        json.beginObject();
        json.field("characteristic").number(int64_t{i} + 1);
        json.field("name").string(definitions[i].name);
        const display::ValueText text =
            display::formatCharacteristicText(value, station.display().unit(), definitions[i].decimals);
        json.field("text").string(trimmed(text.text()));
        json.field("value");
        if (value)
            json.number(millimetres(value->counts, value->fine()));
        else
            json.null();
        band(json, limits.lowerCounts, limits.upperCounts);
        json.field("zone").string(zoneName(zone));
        json.field("verdict").string(zone == tolerance::Zone::Ng ? "NG" : "OK");
        json.endObject();
    }
    json.endArray();
}

void figuresJson(JsonWriter& json, const statistics::ProbeFigures& f) {
    json.field("count").number(static_cast<int64_t>(f.count));
    json.field("ng").number(static_cast<int64_t>(f.ngCount));
    optionalFigure(json, "mean", f.mean, kFigureDecimals);
    optionalFigure(json, "std_dev", f.stdDev, kFigureDecimals);
    optionalFigure(json, "min", f.min, kFigureDecimals);
    optionalFigure(json, "max", f.max, kFigureDecimals);
    optionalFigure(json, "range", f.range, kFigureDecimals);
    optionalFigure(json, "ng_share", f.ngShare, kIndexDecimals + 1);
    optionalFigure(json, "cp", f.cp, kIndexDecimals);
    optionalFigure(json, "cpk", f.cpk, kIndexDecimals);
    optionalFigure(json, "pp", f.pp, kIndexDecimals);
    optionalFigure(json, "ppk", f.ppk, kIndexDecimals);
}

}  // namespace

void readingsJson(const station::Station& station, int64_t timeMs, std::string& out) {
    out.clear();
    JsonWriter json(out);
    const link::LinkState& link = station.linkState();
    // The last values of a lost instrument are no measurement any more.
    const bool live = link.connected && !station.instrumentLost();
    const bool shown = live && station.display().showsReadings();
    json.beginObject();
    json.field("time").isoTime(timeMs);
    json.field("connected").boolean(live);
    json.field("unit").string(exchange::unitName(station.display().unit()));
    json.field("verdict");
    if (shown)
        json.string(station.verdict().anyNg() ? "NG" : "OK");
    else
        json.null();
    json.field("probes").beginArray();
    const unsigned count = shown ? std::min(link.probeCount, measure::kMaxProbes) : 0;
    for (unsigned k = 0; k < count; ++k) {
        const link::ChannelReading& reading = link.readings[k];
        json.beginObject();
        json.field("probe").number(int64_t{k} + 1);
        json.field("text").string(trimmed(station.display().valueTexts()[k].text()));
        json.field("value").number(millimetres(reading.value, reading.scaledBy5));
        band(json, station.tolerances().limits(k + 1));
        json.field("zone").string(zoneName(station.verdict().zone(k)));
        json.field("verdict").string(station.verdict().probe(k) == tolerance::Judgement::Ng ? "NG" : "OK");
        json.endObject();
    }
    json.endArray();
    if (!station.characteristics().definitions.empty()) characteristicsJson(json, station, shown);
    json.endObject();
}

void rowJson(const station::Station& station, uint32_t row, uint64_t sequence, std::string& out) {
    out.clear();
    JsonWriter json(out);
    writeRow(json, station, row, sequence);
}

void rowsJson(const station::Station& station, const RowSequence& sequenceOf, uint32_t numbered, uint64_t since,
              unsigned limit, std::string& out) {
    out.clear();
    JsonWriter json(out);
    const uint32_t held = std::min(numbered, station.recordTable().rowCount());
    // The first row after `since` that the table still holds.
    uint32_t first = 0;
    for (uint32_t count = held; count > 0;) {
        const uint32_t half = count / 2;
        if (sequenceOf(first + half) <= since) {
            first += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(held, uint64_t{first} + limit));
    json.beginObject();
    json.field("rows").beginArray();
    for (uint32_t row = first; row < end; ++row) writeRow(json, station, row, sequenceOf(row));
    json.endArray();
    json.field("next").number(static_cast<int64_t>(end > first ? sequenceOf(end - 1) : since));
    json.field("more").boolean(end < held);
    json.endObject();
}

void statisticsJson(const station::Station& station, std::string& out) {
    out.clear();
    JsonWriter json(out);
    const statistics::ProcessStatistics& figures = station.processStatistics();
    const records::RecordTable& table = station.recordTable();
    json.beginObject();
    json.field("rows").number(int64_t{figures.rowsConsidered()});
    json.field("window").number(int64_t{figures.window()});
    json.field("probes").beginArray();
    for (unsigned probe = 1; probe <= figures.probeCount(); ++probe) {
        json.beginObject();
        json.field("probe").number(int64_t{probe});
        figuresJson(json, figures.figures(table, probe));
        json.endObject();
    }
    json.endArray();
    // Only with characteristics in the rows, so that a station without them
    // answers as before.
    if (figures.valueCount() > figures.probeCount()) {
        json.field("characteristics").beginArray();
        for (unsigned value = figures.probeCount() + 1; value <= figures.valueCount(); ++value) {
            const unsigned index = value - figures.probeCount() - 1;
            json.beginObject();
            json.field("characteristic").number(int64_t{index} + 1);
            json.field("name").string(records::characteristicTitle(table.layout(), index));
            figuresJson(json, figures.figures(table, value));
            json.endObject();
        }
        json.endArray();
    }
    json.endObject();
}

void tolerancesJson(const station::Station& station, std::string& out) {
    out.clear();
    JsonWriter json(out);
    const link::LinkState& link = station.linkState();
    const unsigned count = link.connected ? std::min(link.probeCount, measure::kMaxProbes) : measure::kMaxProbes;
    json.beginObject();
    json.field("unit").string("mm");
    json.field("pre_warning_percent")
        .number(int64_t{station.verdict().preWarning().on() ? station.verdict().preWarning().sharePercent : 0});
    json.field("probes").beginArray();
    for (unsigned probe = 1; probe <= count; ++probe) {
        json.beginObject();
        json.field("probe").number(int64_t{probe});
        band(json, station.tolerances().limits(probe));
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

namespace {

void metric(std::string& out, const char* name, const char* help, const char* type, uint64_t value) {
    out += "# HELP gaugemon_";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE gaugemon_";
    out += name;
    out += ' ';
    out += type;
    out += "\ngaugemon_";
    out += name;
    out += ' ';
    out += std::to_string(value);
    out += '\n';
}

}  // namespace

void metricsText(const plant::StationStatus& status, const WebCounts& counts, std::string& out) {
    out.clear();
    metric(out, "up", "The station runs.", "gauge", 1);
    metric(out, "connected", "The instrument answers.", "gauge", status.connected ? 1 : 0);
    metric(out, "probes", "Probes of the instrument connected.", "gauge", status.probeCount);
    metric(out, "polls_total", "Answers with readings since the start.", "counter", counts.polls);
    metric(out, "misses", "Polls without an answer on this connection.", "gauge", status.misses);
    metric(out, "errors", "Damaged answers on this connection.", "gauge", status.errors);
    metric(out, "rows_recorded_total", "Rows recorded since the start.", "counter", counts.rowsRecorded);
    metric(out, "ng_rows_total", "Rows recorded NG since the start.", "counter", counts.ngRows);
    metric(out, "rows_held", "Rows in the table.", "gauge", status.rowsHeld);
    metric(out, "rows_not_in_file", "Rows in no file yet.", "gauge", status.rowsNotInFile);
    metric(out, "rows_not_published", "Rows the broker has not acknowledged.", "gauge", status.rowsNotPublished);
    metric(out, "journal_on", "The crash journal keeps the rows.", "gauge", status.journalOn ? 1 : 0);
    metric(out, "web_clients", "WebSocket clients of the live page.", "gauge", counts.clients);
}

}  // namespace gaugemon::web

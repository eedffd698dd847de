#include "plant/plant_json.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>

#include "exchange/row_fields.h"
#include "exchange/shown_value.h"
#include "plant/json_writer.h"
#include "records/record_table.h"

namespace gaugemon::plant {

namespace {

constexpr int kCoarseDecimals = 3;
constexpr int kFineDecimals = 4;
constexpr int64_t kUnitsPerTenthMicrometre = 10;  // 0.00001 mm in 0.0001 mm

void appendInt(int64_t value, std::string& out) {
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    out.append(text, static_cast<size_t>(n));
}

void appendScaled(const exchange::ScaledNumber& number, std::string& out) {
    char text[32];
    out.append(text, exchange::formatScaled(number, text));
}

void appendTwoDigits(int value, std::string& out) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

exchange::ScaledNumber millimetres(int64_t counts, bool fine) {
    const int64_t tenths = fine ? counts : counts * 10;
    return {tenths * kUnitsPerTenthMicrometre, fine ? kFineDecimals : kCoarseDecimals};
}

const char* verdictName(ProbeVerdict verdict) {
    switch (verdict) {
        case ProbeVerdict::Ok: return "\"OK\"";
        case ProbeVerdict::Ng: return "\"NG\"";
        case ProbeVerdict::None: break;
    }
    return "null";
}

ProbeVerdict verdictOfZone(records::RecordedZone zone) {
    switch (zone) {
        case records::RecordedZone::Ok:
        case records::RecordedZone::Warning: return ProbeVerdict::Ok;
        case records::RecordedZone::Ng: return ProbeVerdict::Ng;
        case records::RecordedZone::Unjudged: break;
    }
    return ProbeVerdict::None;
}

void appendProbe(unsigned probe, const exchange::ScaledNumber* value, ProbeVerdict verdict, std::string& out) {
    out += "{\"probe\":";
    appendInt(probe, out);
    out += ",\"value\":";
    if (value)
        appendScaled(*value, out);
    else
        out += "null";
    out += ",\"verdict\":";
    out += verdictName(verdict);
    out += '}';
}

const char* zoneName(ProbeZone zone) {
    switch (zone) {
        case ProbeZone::Ok: return "\"OK\"";
        case ProbeZone::Warning: return "\"pre-warning\"";
        case ProbeZone::Ng: break;
    }
    return "\"NG\"";
}

// A probe's band after its value and verdict, inside its object.
void appendBand(int32_t lowerCounts, int32_t upperCounts, ProbeZone zone, std::string& out) {
    out.pop_back();  // the probe's closing brace
    out += ",\"unit\":\"mm\",\"lower\":";
    appendScaled(millimetres(lowerCounts, false), out);
    out += ",\"upper\":";
    appendScaled(millimetres(upperCounts, false), out);
    out += ",\"nominal\":";
    // The middle in 0.0001 mm is exact: half of a sum of thousandths.
    appendScaled(millimetres((int64_t{lowerCounts} + upperCounts) * 5, true), out);
    out += ",\"zone\":";
    out += zoneName(zone);
    out += '}';
}

std::optional<ProbeZone> zoneOf(records::RecordedZone zone) {
    switch (zone) {
        case records::RecordedZone::Ok: return ProbeZone::Ok;
        case records::RecordedZone::Warning: return ProbeZone::Warning;
        case records::RecordedZone::Ng: return ProbeZone::Ng;
        case records::RecordedZone::Unjudged: break;
    }
    return std::nullopt;
}

// A row's probe: its number exactly, at the probe's resolution, in mm, with
// the band it was judged in when its limits were kept.
void appendRowProbe(const records::RowView& view, unsigned probe, std::span<const records::LimitCounts> limits,
                    std::string& out) {
    const records::ProbeNumber number = view.number(probe);
    if (!number.present) {
        appendProbe(probe, nullptr, ProbeVerdict::None, out);
        return;
    }
    const exchange::ScaledNumber value = millimetres(number.counts, number.fine);
    appendProbe(probe, &value, verdictOfZone(number.zone), out);
    const std::optional<ProbeZone> zone = zoneOf(number.zone);
    if (zone && probe <= limits.size()) appendBand(limits[probe - 1].lower, limits[probe - 1].upper, *zone, out);
}

// "characteristics":[...] after the probes; nothing while none is defined,
// so that the payload of a station without them stays as it was.
void appendCharacteristics(const LiveReadings& readings, std::string& out) {
    const unsigned count = std::min<unsigned>(readings.characteristicCount, measure::kMaxCharacteristics);
    if (count == 0) return;
    out += ",\"characteristics\":[";
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0) out += ',';
        const LiveCharacteristic& c = readings.characteristics[i];
        out += "{\"characteristic\":";
        appendInt(i + 1, out);
        out += ",\"name\":";
        const std::string_view name(c.name.data(), ::strnlen(c.name.data(), c.name.size()));
        appendJsonString(name, out);
        out += ",\"value\":";
        if (c.present)
            appendScaled(millimetres(c.counts, c.fine), out);
        else
            out += "null";
        out += ",\"verdict\":";
        out += verdictName(c.zone == ProbeZone::Ng ? ProbeVerdict::Ng : ProbeVerdict::Ok);
        out += '}';
        appendBand(c.lowerCounts, c.upperCounts, c.zone, out);
    }
    out += ']';
}

// A row's characteristic as a live one is sent: numbered, named, its value
// and verdict, and the band it was judged in when its limits were kept.
void appendRowCharacteristic(const records::RowView& view, const records::TableLayout& layout, unsigned index,
                             std::span<const records::LimitCounts> limits, std::string& out) {
    out += "{\"characteristic\":";
    appendInt(index + 1, out);
    out += ",\"name\":";
    appendJsonString(layout.characteristics[index].name, out);
    out += ",\"value\":";
    const records::ProbeNumber number = view.characteristic(index);
    if (number.present)
        appendScaled(millimetres(number.counts, number.fine), out);
    else
        out += "null";
    out += ",\"verdict\":";
    // A value that could not be computed was judged NG, and says so.
    out += verdictName(verdictOfZone(number.zone));
    out += '}';
    const std::optional<ProbeZone> zone = zoneOf(number.zone);
    const size_t slot = layout.probeCount + index;
    if (zone && slot < limits.size()) appendBand(limits[slot].lower, limits[slot].upper, *zone, out);
}

void appendHead(std::string_view station, std::string& out) {
    out += "{\"station\":";
    appendJsonString(station, out);
}

}  // namespace

void appendIsoTime(int64_t msSince1970, std::string& out) {
    const auto seconds = static_cast<std::time_t>(msSince1970 >= 0 ? msSince1970 / 1000 : (msSince1970 - 999) / 1000);
    const int ms = static_cast<int>(msSince1970 - static_cast<int64_t>(seconds) * 1000);
    std::tm local{};
    if (!::localtime_r(&seconds, &local)) local = {};
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    out += text;
    out += '.';
    out += static_cast<char>('0' + ms / 100);
    appendTwoDigits(ms % 100, out);
    // The broken-down local time read as UTC, less the moment: the offset.
    std::tm asUtc = local;
    const long offsetMinutes = static_cast<long>(::timegm(&asUtc) - seconds) / 60;
    out += offsetMinutes < 0 ? '-' : '+';
    const long magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    appendTwoDigits(static_cast<int>(magnitude / 60), out);
    out += ':';
    appendTwoDigits(static_cast<int>(magnitude % 60), out);
}

int64_t msSince1970Of(const core::LocalDateTime& local) {
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&fields);
    return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<int64_t>(seconds) * 1000;
}

RowJsonError recordJson(const JournalRow& row, std::string_view station, const records::GbkDecoder& decoder,
                        std::string& out) {
    out.clear();
    if (row.probeCount < 1 || row.probeCount > static_cast<int64_t>(measure::kMaxProbes))
        return RowJsonError::BadLayout;
    if (row.codeColumn != 0 && row.codeColumn != 1) return RowJsonError::BadLayout;
    records::TableLayout layout{static_cast<unsigned>(row.probeCount), row.codeColumn == 1};
    if (!records::decodeCharacteristicColumns(row.characteristics, layout.characteristics))
        return RowJsonError::BadLayout;
    const records::RowShape shape = records::RowShape::of(layout);
    if (row.bytes.size() != shape.stride) return RowJsonError::BadSize;
    const records::RowView view(row.bytes.data(), shape);

    appendHead(station, out);
    out += ",\"sequence\":";
    appendInt(row.sequence, out);
    out += ",\"row\":";
    appendInt(std::max<int64_t>(row.position, 0) + 1, out);
    out += ",\"time\":\"";
    appendIsoTime(row.recordedMs, out);
    out += "\",\"code\":";
    const std::string_view code = view.code();
    if (code.empty())
        out += "null";
    else
        appendJsonString(exchange::codeText(code, decoder), out);
    out += ",\"probes\":[";
    records::ValueLimitsTable limitTable;
    const auto limits = records::decodeLimitSet(row.limits, shape.valueCount(), limitTable);
    for (unsigned probe = 1; probe <= layout.probeCount; ++probe) {
        if (probe > 1) out += ',';
        appendRowProbe(view, probe, limits, out);
    }
    out += ']';
    if (shape.characteristicCount > 0) {
        out += ",\"characteristics\":[";
        for (unsigned k = 0; k < shape.characteristicCount; ++k) {
            if (k > 0) out += ',';
            appendRowCharacteristic(view, layout, k, limits, out);
        }
        out += ']';
    }
    out += ",\"verdict\":";
    out += verdictName(!view.flagsKnown() ? ProbeVerdict::None : view.ng() ? ProbeVerdict::Ng : ProbeVerdict::Ok);
    out += '}';
    return RowJsonError::None;
}

void readingsJson(const LiveReadings& readings, std::string_view station, std::string& out) {
    out.clear();
    appendHead(station, out);
    out += ",\"time\":\"";
    appendIsoTime(readings.timeMs, out);
    out += "\",\"probes\":[";
    const unsigned count = std::min<unsigned>(readings.probeCount, measure::kMaxProbes);
    for (unsigned k = 0; k < count; ++k) {
        if (k > 0) out += ',';
        const LiveProbe& probe = readings.probes[k];
        const exchange::ScaledNumber value = millimetres(probe.counts, probe.fine);
        appendProbe(k + 1, &value, probe.verdict, out);
        if (probe.withLimits) appendBand(probe.lowerCounts, probe.upperCounts, probe.zone, out);
    }
    out += ']';
    appendCharacteristics(readings, out);
    out += ",\"verdict\":";
    out += count == 0 ? "null" : (readings.anyNg ? "\"NG\"" : "\"OK\"");
    out += '}';
}

}  // namespace gaugemon::plant

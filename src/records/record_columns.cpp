#include "records/record_columns.h"

#include "measure/characteristic.h"
#include "measure/counts.h"

namespace gaugemon::records {

std::string encodeCharacteristicColumns(std::span<const CharacteristicColumn> columns) {
    std::string bytes;
    for (const CharacteristicColumn& column : columns) {
        const std::string_view name = std::string_view(column.name).substr(0, measure::kMaxNameBytes);
        bytes.push_back(static_cast<char>(column.decimals));
        bytes.push_back(static_cast<char>(name.size()));
        bytes += name;
    }
    return bytes;
}

bool decodeCharacteristicColumns(std::string_view bytes, std::vector<CharacteristicColumn>& out) {
    out.clear();
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 2 || out.size() >= measure::kMaxCharacteristics) break;
        const auto decimals = static_cast<uint8_t>(bytes[at]);
        const auto length = static_cast<uint8_t>(bytes[at + 1]);
        if (decimals > measure::kMaxDecimals || length > measure::kMaxNameBytes || bytes.size() - at - 2 < length)
            break;
        out.push_back({std::string(bytes.substr(at + 2, length)), decimals});
        at += 2 + size_t{length};
    }
    if (at == bytes.size()) return true;
    out.clear();
    return false;
}

int columnCount(const TableLayout& layout) {
    if (!layout.hasColumns()) return 0;
    return static_cast<int>(layout.probeCount + layout.characteristicCount()) + (layout.codeColumn ? 4 : 3);
}

Column columnAt(const TableLayout& layout, int index) {
    if (index == 0) return {ColumnKind::Number, 0, column_width::kNumber};
    const int firstValue = layout.codeColumn ? 2 : 1;
    if (layout.codeColumn && index == 1) return {ColumnKind::Code, 0, column_width::kCode};
    const int probe = index - firstValue + 1;
    if (probe <= static_cast<int>(layout.probeCount))
        return {ColumnKind::Value, static_cast<unsigned>(probe), column_width::kValue};
    const int characteristic = probe - static_cast<int>(layout.probeCount) - 1;
    if (characteristic < static_cast<int>(layout.characteristicCount()))
        return {ColumnKind::Characteristic, static_cast<unsigned>(characteristic), column_width::kValue};
    if (characteristic == static_cast<int>(layout.characteristicCount()))
        return {ColumnKind::Result, 0, column_width::kResult};
    return {ColumnKind::Time, 0, column_width::kTime};
}

std::string columnTitle(const TableLayout& layout, int index) {
    const core::Language lang = layout.language;
    const Column column = columnAt(layout, index);
    switch (column.kind) {
        case ColumnKind::Number: return core::pick(lang, "Num", "序号");
        case ColumnKind::Code: return core::pick(lang, "Code", "编码");
        case ColumnKind::Value: {
            std::string title = core::pick(lang, "S", "测头");
            title.push_back(static_cast<char>('0' + column.probe / 10 % 10));
            title.push_back(static_cast<char>('0' + column.probe % 10));
            return title;
        }
        case ColumnKind::Characteristic: return characteristicTitle(layout, column.probe);
        case ColumnKind::Result: return core::pick(lang, "Result", "结果");
        case ColumnKind::Time: return core::pick(lang, "Time", "时间");
    }
    return {};
}

std::string characteristicTitle(const TableLayout& layout, unsigned index) {
    if (index < layout.characteristicCount() && !layout.characteristics[index].name.empty())
        return layout.characteristics[index].name;
    return "C" + std::to_string(index + 1);
}

}  // namespace gaugemon::records

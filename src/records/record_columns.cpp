#include "records/record_columns.h"

namespace gaugemon::records {

int columnCount(const TableLayout& layout) {
    if (!layout.hasColumns()) return 0;
    return static_cast<int>(layout.probeCount) + (layout.codeColumn ? 4 : 3);
}

Column columnAt(const TableLayout& layout, int index) {
    if (index == 0) return {ColumnKind::Number, 0, column_width::kNumber};
    const int firstValue = layout.codeColumn ? 2 : 1;
    if (layout.codeColumn && index == 1) return {ColumnKind::Code, 0, column_width::kCode};
    const int probe = index - firstValue + 1;
    if (probe <= static_cast<int>(layout.probeCount))
        return {ColumnKind::Value, static_cast<unsigned>(probe), column_width::kValue};
    if (probe == static_cast<int>(layout.probeCount) + 1) return {ColumnKind::Result, 0, column_width::kResult};
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
        case ColumnKind::Result: return core::pick(lang, "Result", "结果");
        case ColumnKind::Time: return core::pick(lang, "Time", "时间");
    }
    return {};
}

}  // namespace gaugemon::records

#pragma once
#include <string>

#include "core/language.h"

namespace gaugemon::records {

// What the columns of the record table are built for: the probe count and
// whether rows carry a workpiece code; the titles are in the language of the
// moment the columns were built.
struct TableLayout {
    unsigned probeCount = 0;  // 0: no columns built yet
    bool codeColumn = false;
    core::Language language = core::Language::Chinese;

    bool hasColumns() const { return probeCount > 0; }
    // Rows of two layouts can share a table only when these agree.
    bool sameRowShape(const TableLayout& other) const {
        return probeCount == other.probeCount && codeColumn == other.codeColumn;
    }
};

enum class ColumnKind : uint8_t { Number, Code, Value, Result, Time };

struct Column {
    ColumnKind kind = ColumnKind::Number;
    unsigned probe = 0;  // 1-based, for value columns
    int widthPx = 0;
};

namespace column_width {
inline constexpr int kNumber = 60;
inline constexpr int kCode = 180;
inline constexpr int kValue = 72;
inline constexpr int kResult = 60;
inline constexpr int kTime = 155;
}  // namespace column_width

// Number, optional code, one per probe, result, time; 0 without columns.
int columnCount(const TableLayout& layout);
// `index` must be below columnCount(layout).
Column columnAt(const TableLayout& layout, int index);
// Title shown in the list (UTF-8), "S01" / "测头01" for probe 1.
std::string columnTitle(const TableLayout& layout, int index);

}  // namespace gaugemon::records

#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/language.h"

namespace gaugemon::records {

// A characteristic as its recorded values are titled and shown: its name
// (UTF-8) and the decimals of a millimetre its value texts have.
struct CharacteristicColumn {
    std::string name;
    uint8_t decimals = 3;
    bool operator==(const CharacteristicColumn&) const = default;
};

// What the columns of the record table are built for: the probe count,
// whether rows carry a workpiece code and the characteristics recorded after
// the probes; the titles are in the language of the moment the columns were
// built.
struct TableLayout {
    unsigned probeCount = 0;  // 0: no columns built yet
    bool codeColumn = false;
    core::Language language = core::Language::Chinese;
    std::vector<CharacteristicColumn> characteristics{};

    bool hasColumns() const { return probeCount > 0; }
    unsigned characteristicCount() const { return static_cast<unsigned>(characteristics.size()); }
    // Rows of two layouts can share a table only when these agree: a
    // characteristic renamed or shown with other decimals titles and shows
    // the values of earlier rows otherwise.
    bool sameRowShape(const TableLayout& other) const {
        return probeCount == other.probeCount && codeColumn == other.codeColumn &&
               characteristics == other.characteristics;
    }
};

// The characteristics of a layout as kept outside the table (a journal):
// per characteristic its decimals, the length of its name and the name;
// nothing for none.
std::string encodeCharacteristicColumns(std::span<const CharacteristicColumn> columns);
// False, and `out` empty, for bytes no encoding of at most 32
// characteristics of valid decimals and names gives.
bool decodeCharacteristicColumns(std::string_view bytes, std::vector<CharacteristicColumn>& out);

enum class ColumnKind : uint8_t { Number, Code, Value, Characteristic, Result, Time };

struct Column {
    ColumnKind kind = ColumnKind::Number;
    unsigned probe = 0;  // 1-based, for value columns; 0-based for characteristic columns
    int widthPx = 0;
};

namespace column_width {
inline constexpr int kNumber = 60;
inline constexpr int kCode = 180;
inline constexpr int kValue = 72;
inline constexpr int kResult = 60;
inline constexpr int kTime = 155;
}  // namespace column_width

// Number, optional code, one per probe, one per characteristic, result,
// time; 0 without columns.
int columnCount(const TableLayout& layout);
// `index` must be below columnCount(layout).
Column columnAt(const TableLayout& layout, int index);
// Title shown in the list (UTF-8), "S01" / "测头01" for probe 1, a
// characteristic's name, or "C1" for the first one without a name.
std::string columnTitle(const TableLayout& layout, int index);
// The name of characteristic `index` (0-based), or "C1".. for one without.
std::string characteristicTitle(const TableLayout& layout, unsigned index);

}  // namespace gaugemon::records

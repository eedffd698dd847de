#pragma once
#include <cstdint>
#include <vector>

namespace gaugemon::journal {

// The sequence number of each row of the table, rising along it: the
// journal's id of the row, so that a row keeps its number across runs and
// has the same one wherever it is sent. Numbers that follow one another take
// one entry, so a run's rows cost nothing per row; a restore's gaps cost one
// entry each.
class RowSequences {
public:
    void clear() {
        stretches_.clear();
        rows_ = 0;
    }
    // The table's next row has `sequence`, above every number before.
    void append(int64_t sequence);
    // The first `rows` rows left the table; the rows after them move up.
    void dropFirst(uint32_t rows);
    // Rows numbered, from the table's first.
    uint32_t size() const { return rows_; }
    // Row `row`'s number; 0 beyond the rows numbered.
    int64_t of(uint32_t row) const;

private:
    struct Stretch {
        uint32_t firstRow = 0;
        int64_t firstSequence = 0;
    };
    std::vector<Stretch> stretches_;
    uint32_t rows_ = 0;
};

}  // namespace gaugemon::journal

#include "journal/row_sequences.h"

#include <algorithm>

namespace gaugemon::journal {

void RowSequences::append(int64_t sequence) {
    const bool follows =
        !stretches_.empty() && stretches_.back().firstSequence + (rows_ - stretches_.back().firstRow) == sequence;
    if (!follows) stretches_.push_back({rows_, sequence});
    ++rows_;
}

int64_t RowSequences::of(uint32_t row) const {
    if (row >= rows_) return 0;
    const auto after = std::upper_bound(stretches_.begin(), stretches_.end(), row,
                                        [](uint32_t r, const Stretch& stretch) { return r < stretch.firstRow; });
    const Stretch& stretch = *(after - 1);
    return stretch.firstSequence + (row - stretch.firstRow);
}

void RowSequences::dropFirst(uint32_t rows) {
    if (rows >= rows_) return clear();
    // The stretch the first row kept lies in begins with it.
    const auto after = std::upper_bound(stretches_.begin(), stretches_.end(), rows,
                                        [](uint32_t r, const Stretch& stretch) { return r < stretch.firstRow; });
    const auto first = after - 1;
    first->firstSequence += rows - first->firstRow;
    first->firstRow = rows;
    stretches_.erase(stretches_.begin(), first);
    for (Stretch& stretch : stretches_) stretch.firstRow -= rows;
    rows_ -= rows;
}

}  // namespace gaugemon::journal

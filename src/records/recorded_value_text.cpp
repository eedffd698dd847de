#include "records/recorded_value_text.h"

namespace gaugemon::records::value_text_detail {

namespace {
constexpr MillimetreHalves makeHalves() {
    MillimetreHalves halves{};
    for (int n = 0; n < 1000; ++n) {
        const char hundreds = static_cast<char>('0' + n / 100);
        const char tens = static_cast<char>('0' + n / 10 % 10);
        const char units = static_cast<char>('0' + n % 10);
        halves.whole[0][n] = {n < 100 ? ' ' : hundreds, n < 10 ? ' ' : tens, units, '.'};
        // The sign keeps the first place even when the tens are blank; three
        // whole digits leave no room for it and take another path.
        halves.whole[1][n] = {'-', n < 10 ? ' ' : tens, units, '.'};
        halves.thousandths[n] = {hundreds, tens, units, ' '};
    }
    return halves;
}
}  // namespace

constinit const MillimetreHalves kMillimetreHalves = makeHalves();

}  // namespace gaugemon::records::value_text_detail

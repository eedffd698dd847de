#include "core/settings_store.h"

namespace gaugemon::core {

namespace {
LimitKey limitKey(char kind, int probe) {
    return LimitKey{{'T', kind, static_cast<char>('0' + probe / 10 % 10), static_cast<char>('0' + probe % 10), '\0'}};
}
}  // namespace

LimitKey lowerLimitKey(int probe) { return limitKey('L', probe); }
LimitKey upperLimitKey(int probe) { return limitKey('U', probe); }

}  // namespace gaugemon::core

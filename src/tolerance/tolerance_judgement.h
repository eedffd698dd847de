#pragma once
#include <cstdint>

namespace gaugemon::tolerance {

// A probe is OK when its value lies within its limits, both inclusive.
enum class Judgement : uint8_t { Ok, Ng };

// The verdict over all probes: set by every probe judged NG since it was last
// cleared. The chart clears it at the start of each redraw, so it always
// speaks for the columns on screen; a recorded row takes its result from it.
class AnyNgFlag {
public:
    void clear() { set_ = false; }
    void note(Judgement judgement) { set_ = set_ || judgement == Judgement::Ng; }
    bool isSet() const { return set_; }

private:
    bool set_ = false;
};

}  // namespace gaugemon::tolerance

#pragma once
#include <array>
#include <string_view>

#include "core/clock.h"

namespace gaugemon::records {

inline constexpr size_t kTimeStampBytes = 20;
inline constexpr size_t kDateDigits = 8;

// "2019-11-29; 13:52:30": the time of a recorded row, 20 characters.
using TimeStamp = std::array<char, kTimeStampBytes>;
TimeStamp formatTimeStamp(const core::LocalDateTime& time);
inline std::string_view stampText(const TimeStamp& stamp) { return {stamp.data(), stamp.size()}; }

// "20191129": the date in the name of the day's backup file.
std::array<char, kDateDigits> formatDate(const core::LocalDateTime& time);

}  // namespace gaugemon::records

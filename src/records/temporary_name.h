#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gaugemon::records {

// A write makes its new file beside the target under ".<name>.tmp<pid>-<suffix>":
// the pid tells a later run whether the writer still lives, and a random
// suffix that nobody can take the name before the station needs it.
inline constexpr size_t kRandomSuffixLength = 12;

// ".<name>.tmp<pid>-", to which the random suffix is added.
std::string temporaryStem(std::string_view fileName, uint32_t pid);

// The suffix letter a random byte stands for.
char suffixLetter(unsigned char randomByte);

// The pid of the writer when `name` is one of the station's temporary names,
// else 0.
uint32_t temporaryOwner(std::string_view name);

}  // namespace gaugemon::records

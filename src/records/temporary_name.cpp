#include "records/temporary_name.h"

namespace gaugemon::records {

namespace {
constexpr size_t kOldSuffixDigits = 2;  // earlier versions numbered their attempts 0..99
constexpr std::string_view kTempMarker = ".tmp";
constexpr std::string_view kSuffixAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool consistsOf(std::string_view text, std::string_view alphabet) {
    return text.find_first_not_of(alphabet) == std::string_view::npos;
}

bool isTemporarySuffix(std::string_view suffix) {
    if (suffix.size() == kRandomSuffixLength) return consistsOf(suffix, kSuffixAlphabet);
    return !suffix.empty() && suffix.size() <= kOldSuffixDigits && consistsOf(suffix, "0123456789");
}
}  // namespace

std::string temporaryStem(std::string_view fileName, uint32_t pid) {
    return "." + std::string(fileName) + std::string(kTempMarker) + std::to_string(pid) + "-";
}

char suffixLetter(unsigned char randomByte) { return kSuffixAlphabet[randomByte % kSuffixAlphabet.size()]; }

uint32_t temporaryOwner(std::string_view name) {
    if (name.empty() || name.front() != '.') return 0;
    const size_t dash = name.rfind('-');
    if (dash == std::string_view::npos || !isTemporarySuffix(name.substr(dash + 1))) return 0;
    size_t digits = dash;
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    const std::string_view pid = name.substr(digits, dash - digits);
    // At least one character of the target's name between the dot and ".tmp".
    if (pid.empty() || pid.size() > 9 || digits < kTempMarker.size() + 2) return 0;
    if (name.substr(digits - kTempMarker.size(), kTempMarker.size()) != kTempMarker) return 0;
    uint32_t owner = 0;
    for (char c : pid) owner = owner * 10 + static_cast<uint32_t>(c - '0');
    return owner;
}

}  // namespace gaugemon::records

#include "headless/log_prompts.h"

#include <QString>

#include "core/logging.h"

namespace gaugemon::headless {
namespace {

// A message box's text spans lines; the log keeps one line per event.
QString oneLine(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).simplified();
}

}  // namespace

void LogPrompts::showMessage(std::string_view text) {
    const int64_t now = clock_.nowMs();
    if (text == lastMessage_ && now - loggedAtMs_ < kRepeatAfterMs) {
        ++repeats_;
        return;
    }
    if (repeats_ > 0) qCInfo(core::stationLog).noquote() << "the message before came" << repeats_ << "more times";
    lastMessage_ = text;
    repeats_ = 0;
    loggedAtMs_ = now;
    qCWarning(core::stationLog).noquote() << oneLine(text);
}

bool LogPrompts::askYesNo(std::string_view text) {
    qCInfo(core::stationLog).noquote() << oneLine(text) << "-> yes";
    return true;
}

}  // namespace gaugemon::headless

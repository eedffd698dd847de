#include "core/logging.h"

namespace gaugemon::core {

Q_LOGGING_CATEGORY(linkLog, "gaugemon.link", QtInfoMsg)
Q_LOGGING_CATEGORY(frameLog, "gaugemon.link.frames", QtInfoMsg)
Q_LOGGING_CATEGORY(recordsLog, "gaugemon.records", QtInfoMsg)
Q_LOGGING_CATEGORY(stationLog, "gaugemon.station", QtInfoMsg)

void enableTrace() { QLoggingCategory::setFilterRules(QString::fromLatin1(kTraceRules)); }

}  // namespace gaugemon::core

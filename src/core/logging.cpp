#include "core/logging.h"

#include <cstdio>

namespace gaugemon::core {

Q_LOGGING_CATEGORY(linkLog, "gaugemon.link", QtInfoMsg)
Q_LOGGING_CATEGORY(frameLog, "gaugemon.link.frames", QtInfoMsg)
Q_LOGGING_CATEGORY(recordsLog, "gaugemon.records", QtInfoMsg)
Q_LOGGING_CATEGORY(stationLog, "gaugemon.station", QtInfoMsg)

namespace {

void writeLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString line = qFormatLogMessage(type, context, message);
    // An empty pattern result leaves the message out, as Qt's own output does.
    if (line.isNull()) return;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

void logToStandardError() { qInstallMessageHandler(writeLine); }

void enableTrace() { QLoggingCategory::setFilterRules(QString::fromLatin1(kTraceRules)); }

}  // namespace gaugemon::core

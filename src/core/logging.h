#pragma once
#include <QLoggingCategory>

namespace gaugemon::core {

// The program's logging categories. Warnings and notes go out by default;
// debug output stays off until QT_LOGGING_RULES or --trace switches it on.
//
// gaugemon.link         connection events and port failures with their reason
// gaugemon.link.frames  every frame sent and received, in hex with its time
// gaugemon.records      the record table, its exports and backups
// gaugemon.station      the station's start, end and working day
Q_DECLARE_LOGGING_CATEGORY(linkLog)
Q_DECLARE_LOGGING_CATEGORY(frameLog)
Q_DECLARE_LOGGING_CATEGORY(recordsLog)
Q_DECLARE_LOGGING_CATEGORY(stationLog)

// The rules --trace sets: the link's debug output and the frame trace. Rules
// from QT_LOGGING_RULES still take precedence.
inline constexpr const char* kTraceRules = "gaugemon.link.debug=true\ngaugemon.link.frames.debug=true";
void enableTrace();

// Every message from here on goes to standard error, one flushed line each.
// Qt on Windows sends it to the debugger instead when the process has no
// console: a headless station run as a service or with its output redirected
// would log nothing at all.
void logToStandardError();

}  // namespace gaugemon::core

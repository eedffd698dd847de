#pragma once
#include <QLoggingCategory>

namespace gaugemon::plant {

// gaugemon.plant: the broker connection, its failures (one line per kind of
// failure, not per retry) and rows the outbox could not send.
Q_DECLARE_LOGGING_CATEGORY(plantLog)

}  // namespace gaugemon::plant

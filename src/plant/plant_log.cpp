#include "plant/plant_log.h"

namespace gaugemon::plant {

Q_LOGGING_CATEGORY(plantLog, "gaugemon.plant", QtInfoMsg)

}  // namespace gaugemon::plant

#pragma once
#include "station/station.h"

class QWidget;

namespace gaugemon::app {

// Asks for the part a transfer file (.dfq) names, its number and description,
// in a small dialog filled with the station's; the station keeps the answer.
void askTransferPart(QWidget* parent, station::Station& station);

}  // namespace gaugemon::app

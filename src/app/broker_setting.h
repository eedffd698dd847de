#pragma once
#include "station/station.h"

class QWidget;

namespace gaugemon::app {

// The window's setting of the plant's broker: asks for its address and hands
// it to the station, which checks, stores and publishes to it; a refused
// address is told and changes nothing.
void askBroker(QWidget* parent, station::Station& station);

}  // namespace gaugemon::app

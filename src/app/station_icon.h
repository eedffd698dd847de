#pragma once
#include <QFont>
#include <QIcon>

namespace gaugemon::app {

// The window icon: a small bar chart with one red bar.
QIcon stationIcon();

// The dialog font: SimSun 10 pt where it exists, else a font that has the
// Chinese texts, at the same size.
QFont dialogFont();

}  // namespace gaugemon::app

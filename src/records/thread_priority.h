#pragma once

namespace gaugemon::records {

// Lowers the scheduling priority of the calling thread, so that a long write
// in the background yields the processor to the station's own thread
// whenever both want it. Nothing happens where the system does not allow it.
void yieldToOtherThreads();

}  // namespace gaugemon::records

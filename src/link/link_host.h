#pragma once
#include <span>
#include <string>

#include "link/link_state.h"

namespace gaugemon::link {

// What the link shows in the main window: captions, status lines and the
// enabled state of the controls it governs. The link writes it and asks the
// host to refresh; tests read it directly.
struct LinkView {
    LinkView() {
        // Texts are rebuilt on every counted miss: keep their storage.
        messageLine.reserve(64);
        commStatus.reserve(64);
        deviceInfo.reserve(96);
    }
    std::string connectCaption;
    std::string messageLine;  // control 1024
    std::string commStatus;   // control 1002, "COM03 19200,8,N,1"
    std::string deviceInfo;   // control 1011, "Addr:01  Num:08; Sample cycle:109ms"
    bool parametersEnabled = false;
    bool modeConfirmEnabled = false;
    bool modeListEnabled = false;
    bool codeEntryEnabled = true;
};

// What the link asks of the rest of the station. Every call comes from a
// timer tick or a button handler on the one thread.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    // The link view changed; show it.
    virtual void refreshLinkView() {}
    // Connect pressed: clear the chart and mark it for a full redraw.
    virtual void clearChart() {}
    // A connection was made with this many probes: lay out the record list.
    virtual void prepareColumns(unsigned /*probeCount*/) {}
    // A request went out while connected: a poll cycle began.
    virtual void requestSent() {}
    // The request was a command (a write, the flags) and the instrument answered it.
    virtual void commandAnswered() {}
    // A reading answer was decoded: probes 0..N-1 of the instrument.
    virtual void readingsArrived(std::span<const ChannelReading> /*readings*/) {}
    // The instrument asked for a record row (function 0x83).
    virtual void instrumentRecordRequest() {}
    // Common end of every answer tick: ask for a workpiece code when one is due.
    virtual void codeStep() {}
    // A connection sets the probe-number field (the probe "Zero single" acts on).
    virtual void setProbeNumber(unsigned /*probe*/) {}
    // Disconnect pressed: end recording and the periodic backup.
    virtual void linkClosed() {}
};

}  // namespace gaugemon::link

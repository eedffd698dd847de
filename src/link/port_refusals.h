#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/language.h"
#include "link/serial_port.h"

namespace gaugemon::link {

// Ports that a discovery could not open for a reason the operator can remove:
// no permission on the device, or another program holding it. Without them
// "No available devices found!" would not say why a plugged-in instrument
// was never asked. Each port counts once, however often the sweeps try it.
class PortRefusals {
public:
    void clear();
    // Notes the failure of opening port `portIndex` (0..16); other failures
    // than lack of permission or a busy device are not noted.
    void note(unsigned portIndex, PortFailure failure, std::string_view device);
    bool empty() const { return permission_.ports == 0 && busy_.ports == 0; }

    // One line per reason, each after a line break, naming the ports (the
    // first few with their devices) and the remedy.
    void appendExplanation(std::string& out, core::Language language) const;

private:
    static constexpr unsigned kNamedPorts = 3;
    struct Refused {
        uint32_t ports = 0;  // bit n: port index n
        unsigned count = 0;
        std::array<unsigned, kNamedPorts> named{};
        std::array<std::string, kNamedPorts> devices;
    };
    static void add(Refused& refused, unsigned portIndex, std::string_view device);
    static void appendPorts(std::string& out, const Refused& refused, core::Language language);

    Refused permission_;
    Refused busy_;
};

// Why the one port a discovery was kept to gave no instrument, after a line
// break: no such device, a device that is no serial port, or no answer on
// it. Nothing for a refusal (PortRefusals tells those). The device is named
// when known, else the port.
void appendKeptPortExplanation(std::string& out, core::Language language, PortFailure lastOpen, std::string_view port,
                               std::string_view device);

}  // namespace gaugemon::link

#include "headless/port_choice.h"

#include <filesystem>
#include <system_error>

#include "core/logging.h"

namespace gaugemon::headless {

std::optional<unsigned> givenPortIndex(const StartOptions& options) {
    if (options.port.empty()) return std::nullopt;
    if (options.port.front() == '/') return 1;
    return link::PortDirectory::portNumber(options.port);
}

PortChoice choosePorts(const StartOptions& options, const std::string& dataDirectory) {
    PortChoice choice;
    if (options.port.empty() || options.port.front() != '/') return choice;
    choice.directory = std::make_unique<RunPortDirectory>(std::filesystem::path(dataDirectory) / "run");
    choice.ports = link::PortDirectory(choice.directory->path());
    if (const std::error_code error = choice.ports.linkPort("COM1", options.port))
        qCWarning(core::stationLog, "the port %s cannot be used: %s", options.port.c_str(), error.message().c_str());
    return choice;
}

}  // namespace gaugemon::headless

#include "headless/port_choice.h"

#include <filesystem>
#include <system_error>

#include "core/logging.h"

namespace gaugemon::headless {

PortChoice choosePorts(const StartOptions& options) {
    PortChoice choice;
    if (options.port.empty() || options.port.front() != '/') return choice;
    choice.directory = std::make_unique<QTemporaryDir>();
    const std::filesystem::path directory = choice.directory->path().toStdString();
    choice.ports = link::PortDirectory(directory);
    if (const std::error_code error = choice.ports.linkPort("COM1", options.port))
        qCWarning(core::stationLog, "the port %s cannot be used: %s", options.port.c_str(), error.message().c_str());
    return choice;
}

}  // namespace gaugemon::headless

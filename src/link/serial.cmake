# Port names to devices (Linux): plain C++, shared with the simulator.
add_library(gaugemon_ports STATIC port_directory.cpp)
target_include_directories(gaugemon_ports PUBLIC ${PROJECT_SOURCE_DIR}/src)

# The real serial line on a Linux terminal device; it logs its failures and,
# when asked, every frame.
add_library(gaugemon_serial STATIC tty_serial_port.cpp serial_lock.cpp)
target_link_libraries(gaugemon_serial PUBLIC gaugemon_link gaugemon_ports gaugemon_logging)

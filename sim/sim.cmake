# The simulated instrument: protocol, probes, faults and the in-process line.
# No Qt, no operating system.
add_library(gaugemon_sim STATIC
  ${CMAKE_CURRENT_LIST_DIR}/baud_codes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/faults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instrument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instrument_config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_timing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/probe_bank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reading_encoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simulated_ports.cpp
)
target_include_directories(gaugemon_sim PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(gaugemon_sim PUBLIC gaugemon_link gaugemon_core)

# The gaugesim program and its POSIX parts: pseudo-terminal, port link,
# command line, poll loop.
add_library(gaugemon_sim_pty STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frame_assembler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/observed_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pty_host.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pty_port.cpp
)
target_link_libraries(gaugemon_sim_pty PUBLIC gaugemon_sim gaugemon_ports)

add_executable(gaugesim ${CMAKE_CURRENT_LIST_DIR}/gaugesim_main.cpp)
target_link_libraries(gaugesim PRIVATE gaugemon_sim_pty)
set_target_properties(gaugesim PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/sim)

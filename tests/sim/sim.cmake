gaugemon_add_test(sim_instrument_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/instrument_ff_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instrument_01_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/readings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/faults_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/simulated_ports_test.cpp
  LIBS gaugemon_sim)

gaugemon_add_test(sim_bad_request_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bad_request_test.cpp
  LIBS gaugemon_sim)

gaugemon_add_test(sim_gaugesim_parts_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gaugesim_parts_test.cpp
  LIBS gaugemon_sim_pty)

# Drives the real program over its pseudo-terminal with mbpoll.
gaugemon_add_test(sim_gaugesim_program_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gaugesim_program_test.cpp
  LIBS gaugemon_sim)
target_compile_definitions(sim_gaugesim_program_test PRIVATE GAUGESIM_PATH="$<TARGET_FILE:gaugesim>")
add_dependencies(sim_gaugesim_program_test gaugesim)

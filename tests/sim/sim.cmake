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

if(TARGET gaugesim)
  add_executable(link_pty_test link_pty_test.cpp)
  target_link_libraries(link_pty_test PRIVATE gaugemon_link gaugemon_serial gaugemon_platform gaugemon_test_support GTest::gtest)
  target_include_directories(link_pty_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(link_pty_test PRIVATE GAUGESIM_PATH="$<TARGET_FILE:gaugesim>")
  add_dependencies(link_pty_test gaugesim)
  add_test(NAME link_pty_test COMMAND link_pty_test)
  # Real time on a real line: keep other tests off the cores meanwhile.
  set_tests_properties(link_pty_test PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
endif()

# What the real serial port logs: failures with their reason, and the frame
# trace of an exchange with gaugesim.
if(TARGET gaugesim)
  add_executable(link_port_log_test port_log_test.cpp)
  target_link_libraries(link_port_log_test PRIVATE gaugemon_serial gaugemon_test_support GTest::gtest)
  target_include_directories(link_port_log_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(link_port_log_test PRIVATE GAUGESIM_PATH="$<TARGET_FILE:gaugesim>")
  add_dependencies(link_port_log_test gaugesim)
  add_test(NAME link_port_log_test COMMAND link_port_log_test)
  set_tests_properties(link_port_log_test PROPERTIES TIMEOUT 60)
endif()

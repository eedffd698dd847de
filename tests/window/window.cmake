add_executable(window_test window_test.cpp screenshot_test.cpp program_test.cpp text_fit_test.cpp
  working_day_window_test.cpp window_main.cpp)
target_link_libraries(window_test PRIVATE gaugemon_window gaugemon_sim gaugemon_working_day gaugemon_test_support GTest::gtest)
target_include_directories(window_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# The program tests start the station itself.
add_dependencies(window_test gaugemon)
target_compile_definitions(window_test PRIVATE GAUGEMON_PROGRAM="$<TARGET_FILE:gaugemon>")
gtest_discover_tests(window_test DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;GAUGEMON_ARTIFACT_DIR=${PROJECT_BINARY_DIR}/artifacts")

# The same pictures through a real X server, as a person would see them.
find_program(XVFB_RUN xvfb-run)
if(XVFB_RUN)
  add_test(NAME window_screenshots_xvfb
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1920x1080x24" $<TARGET_FILE:window_test> --gtest_filter=Screenshot.*:Languages/TextFit.*)
  set_tests_properties(window_screenshots_xvfb PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;GAUGEMON_ARTIFACT_DIR=${PROJECT_BINARY_DIR}/artifacts/xvfb")
endif()

add_executable(window_test window_test.cpp window_main.cpp)
target_link_libraries(window_test PRIVATE gaugemon_window gaugemon_sim GTest::gtest)
target_include_directories(window_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
gtest_discover_tests(window_test DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

add_executable(chart_view_test ${CMAKE_CURRENT_LIST_DIR}/chart_view_test.cpp ${CMAKE_CURRENT_LIST_DIR}/window_main.cpp)
target_link_libraries(chart_view_test PRIVATE gaugemon_window gaugemon_test_support GTest::gtest)
target_include_directories(chart_view_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
gtest_discover_tests(chart_view_test DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

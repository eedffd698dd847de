# The live web page: a reading's way from the line to the browser, and what
# twenty live clients cost the unattended program.
if(TARGET gaugesim AND TARGET gaugemon_web)
  find_package(Qt6 REQUIRED COMPONENTS Network WebSockets)
  add_executable(web_bench ${CMAKE_CURRENT_SOURCE_DIR}/web_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/qt_core_main.cpp)
  target_link_libraries(web_bench PRIVATE gaugemon_web gaugemon_serial gaugemon_platform gaugemon_test_support
    benchmark::benchmark Qt6::Network Qt6::WebSockets)
  target_include_directories(web_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(web_bench PRIVATE
    GAUGESIM_PATH="$<TARGET_FILE:gaugesim>" GAUGEMON_PATH="$<TARGET_FILE:gaugemon>")
  add_dependencies(web_bench gaugesim gaugemon)
endif()

# The unattended program's CPU share while it polls and records.
if(TARGET gaugesim)
  add_executable(headless_cpu_bench ${CMAKE_CURRENT_SOURCE_DIR}/headless_cpu_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/qt_core_main.cpp)
  target_link_libraries(headless_cpu_bench PRIVATE gaugemon_test_support benchmark::benchmark Qt6::Core)
  target_include_directories(headless_cpu_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(headless_cpu_bench PRIVATE
    GAUGESIM_PATH="$<TARGET_FILE:gaugesim>" GAUGEMON_PATH="$<TARGET_FILE:gaugemon>")
  add_dependencies(headless_cpu_bench gaugesim gaugemon)
endif()

# What a held row costs the station's process, all in (journal and
# statistics on), against what the record table holds of it.
add_executable(station_memory_bench ${CMAKE_CURRENT_SOURCE_DIR}/station_memory_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/qt_core_main.cpp)
target_link_libraries(station_memory_bench PRIVATE gaugemon_station gaugemon_sim gaugemon_test_support benchmark::benchmark Qt6::Core)
target_include_directories(station_memory_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR})

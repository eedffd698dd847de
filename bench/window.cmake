# The real main window, off screen, polling gaugesim over a pseudo-terminal:
# the process's CPU share with the chart moving, rows recorded and the backup on.
if(TARGET gaugesim)
  add_executable(window_cpu_bench ${CMAKE_CURRENT_SOURCE_DIR}/window_cpu_bench.cpp)
  target_link_libraries(window_cpu_bench PRIVATE gaugemon_window gaugemon_serial gaugemon_platform
    gaugemon_test_support benchmark::benchmark)
  target_include_directories(window_cpu_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(window_cpu_bench PRIVATE GAUGESIM_PATH="$<TARGET_FILE:gaugesim>")
  add_dependencies(window_cpu_bench gaugesim)
endif()


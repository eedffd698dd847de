# Fast polling against gaugesim over a pseudo-terminal, beside the normal cycle,
# a pymodbus client (Debian's python3-pymodbus) and mbpoll reading the same
# registers.
if(TARGET gaugesim)
  gaugemon_add_bench(fast_link_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fast_link_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/qt_core_main.cpp
    LIBS gaugemon_link gaugemon_serial gaugemon_platform)
  target_include_directories(fast_link_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(fast_link_bench PRIVATE GAUGESIM_PATH="$<TARGET_FILE:gaugesim>"
    FAST_LINK_PYMODBUS_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/fast_link_pymodbus.py")
  add_dependencies(fast_link_bench gaugesim)
endif()

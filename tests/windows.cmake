# The test programs of a Windows build: the seams' contracts and every test
# of the logic that makes no POSIX call of its own. Their names are listed in
# windows-tests.txt beside the programs, for the runner under Wine.
find_package(Qt6 REQUIRED COMPONENTS Test)

set(GAUGEMON_WINDOWS_TESTS "")
function(gaugemon_windows_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gaugemon_test_support GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests-windows)
  set(GAUGEMON_WINDOWS_TESTS "${GAUGEMON_WINDOWS_TESTS}${name}\n" PARENT_SCOPE)
endfunction()

gaugemon_windows_test(app_platform_test SOURCES app/platform_seams_test.cpp
  LIBS gaugemon_platform gaugemon_records_platform)
gaugemon_windows_test(app_timer_test SOURCES app/timer_test.cpp LIBS gaugemon_platform)
gaugemon_windows_test(app_profile_test SOURCES app/profile_test.cpp app/data_location_test.cpp LIBS gaugemon_platform)
gaugemon_windows_test(link_codec_test SOURCES link/codec_test.cpp LIBS gaugemon_link)
gaugemon_windows_test(link_fuzz_answers_test SOURCES link/fuzz_answers_test.cpp LIBS gaugemon_link)
gaugemon_windows_test(link_controller_test SOURCES link/link_controller_test.cpp link/parameter_test.cpp
  link/discovery_refusals_test.cpp link/discovery_plan_test.cpp LIBS gaugemon_link)
gaugemon_windows_test(link_sim_test SOURCES link/link_sim_test.cpp LIBS gaugemon_link gaugemon_sim)
gaugemon_windows_test(characteristics_test SOURCES measure/characteristics_test.cpp
  LIBS gaugemon_measure gaugemon_tolerance)
gaugemon_windows_test(tolerance_test SOURCES tolerance/tolerance_test.cpp LIBS gaugemon_tolerance)
gaugemon_windows_test(display_value_text_test SOURCES display/value_text_test.cpp LIBS gaugemon_display)
gaugemon_windows_test(display_logic_test SOURCES display/display_logic_test.cpp LIBS gaugemon_display gaugemon_link)
gaugemon_windows_test(sim_instrument_test SOURCES sim/instrument_ff_test.cpp sim/instrument_01_test.cpp
  sim/readings_test.cpp sim/faults_test.cpp sim/simulated_ports_test.cpp LIBS gaugemon_sim)

# The working day through the station: its files byte for byte those a
# Linux station writes for the same rows.
add_library(gaugemon_working_day STATIC station/working_day.cpp)
target_compile_definitions(gaugemon_working_day PRIVATE
  GAUGEMON_WORKING_DAY_FILE="${CMAKE_CURRENT_SOURCE_DIR}/station/working_day.xls"
  GAUGEMON_WORKING_DAY_CHARACTERISTICS_STEM="${CMAKE_CURRENT_SOURCE_DIR}/station/working_day_characteristics")
target_include_directories(gaugemon_working_day PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(gaugemon_working_day PUBLIC gaugemon_sim)
add_executable(station_test station/station_day_test.cpp station/field_parsing_test.cpp
  station/operator_fields_test.cpp station/station_main.cpp)
target_link_libraries(station_test PRIVATE gaugemon_station gaugemon_working_day gaugemon_test_support GTest::gtest)
# The spreadsheet reader is a Python program of the build machine; its test is
# left out under Wine (windows-tests.txt).
target_compile_definitions(station_test PRIVATE GAUGEMON_PYTHON3="python3"
  GAUGEMON_WORKBOOK_READER="${CMAKE_CURRENT_SOURCE_DIR}/exchange/read_workbook.py")
set_target_properties(station_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests-windows)
string(APPEND GAUGEMON_WINDOWS_TESTS "station_test --gtest_filter=-*CharacteristicsOfADayAreRecordedRestoredAndSavedByteForByte\n")

file(WRITE ${PROJECT_BINARY_DIR}/tests-windows/windows-tests.txt "${GAUGEMON_WINDOWS_TESTS}")

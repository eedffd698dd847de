gaugemon_add_test(records_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/atomic_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/backup_export_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recorder_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/header_limits_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/workpiece_code_test.cpp
  LIBS gaugemon_records)

find_package(Qt6 REQUIRED COMPONENTS Test)
gaugemon_add_test(records_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_list_model_test.cpp
  LIBS gaugemon_records_model Qt6::Test)

# What the records need of the operating system: the atomic file replace, the
# move aside of an earlier backup, a file descriptor sink and GBK conversion.
# A port to another system replaces these files, not the records.
add_library(gaugemon_records_platform STATIC
  ${CMAKE_CURRENT_LIST_DIR}/atomic_file_posix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/byte_sink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/byte_sink_posix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_aside_posix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gbk_iconv.cpp
)
target_link_libraries(gaugemon_records_platform PUBLIC gaugemon_core)

# Records: table, recording, codes, export and backup. Standard C++ only.
add_library(gaugemon_records STATIC
  ${CMAKE_CURRENT_LIST_DIR}/file_error_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/periodic_backup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_columns.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/row_chunk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_snapshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_stamp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/workpiece_code.cpp
  ${CMAKE_CURRENT_LIST_DIR}/workpiece_codes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/worksheet_export.cpp
)
find_package(Threads REQUIRED)
target_link_libraries(gaugemon_records PUBLIC Threads::Threads gaugemon_core gaugemon_link gaugemon_tolerance gaugemon_records_platform)
set_target_properties(gaugemon_records PROPERTIES AUTOMOC OFF)

# The record list's table model: a view on the table, Qt Core only.
add_library(gaugemon_records_model STATIC
  ${CMAKE_CURRENT_LIST_DIR}/record_list_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_list_model.h
)
target_link_libraries(gaugemon_records_model PUBLIC gaugemon_records Qt6::Core)

gaugemon_add_test(snapshot_write_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/snapshot_write_test.cpp
  LIBS gaugemon_records)

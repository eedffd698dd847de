gaugemon_add_test(record_list_batch_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_list_batch_test.cpp
  LIBS gaugemon_records_model Qt6::Test)

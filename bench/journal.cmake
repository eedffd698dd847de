gaugemon_add_bench(journal_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal_bench.cpp LIBS gaugemon_journal)

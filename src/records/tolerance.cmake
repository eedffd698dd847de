# Tolerance limits and the OK/NG judgement. No Qt.
add_library(gaugemon_tolerance STATIC
  ${CMAKE_CURRENT_LIST_DIR}/tolerance_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tolerance_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tolerance_entry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tolerance_actions.cpp
)
target_link_libraries(gaugemon_tolerance PUBLIC gaugemon_core gaugemon_link)
set_target_properties(gaugemon_tolerance PROPERTIES AUTOMOC OFF)

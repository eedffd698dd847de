# Value texts, change detection, chart geometry and the display actions. No Qt.
add_library(gaugemon_display STATIC
  ${CMAKE_CURRENT_LIST_DIR}/value_text.cpp
)
target_link_libraries(gaugemon_display PUBLIC gaugemon_core gaugemon_link gaugemon_tolerance)
set_target_properties(gaugemon_display PROPERTIES AUTOMOC OFF)

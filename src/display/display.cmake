# Value texts, change detection, chart geometry and plans, display actions. No Qt.
add_library(gaugemon_display STATIC
  ${CMAKE_CURRENT_LIST_DIR}/value_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/change_detection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_range.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chart_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chart_plan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_actions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_model.cpp
)
target_link_libraries(gaugemon_display PUBLIC gaugemon_core gaugemon_link gaugemon_tolerance)
set_target_properties(gaugemon_display PROPERTIES AUTOMOC OFF)

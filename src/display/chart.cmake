# Painting of the chart into the window's backing image (Qt Gui only).
add_library(gaugemon_chart STATIC
  ${CMAKE_CURRENT_LIST_DIR}/chart_painter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display_update.cpp
)
target_link_libraries(gaugemon_chart PUBLIC gaugemon_display Qt6::Gui)
set_target_properties(gaugemon_chart PROPERTIES AUTOMOC OFF)

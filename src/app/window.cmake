# The main window, its dialogs and the real prompts (Qt Widgets).
add_library(gaugemon_window STATIC
  ${CMAKE_CURRENT_LIST_DIR}/chart_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/code_input_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/help_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/monitor_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parameter_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qt_prompts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/station_icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_fit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tolerance_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chart_view.h
  ${CMAKE_CURRENT_LIST_DIR}/code_input_dialog.h
  ${CMAKE_CURRENT_LIST_DIR}/help_dialog.h
  ${CMAKE_CURRENT_LIST_DIR}/monitor_dialog.h
  ${CMAKE_CURRENT_LIST_DIR}/parameter_dialog.h
  ${CMAKE_CURRENT_LIST_DIR}/tolerance_dialog.h
)
target_link_libraries(gaugemon_window PUBLIC
  gaugemon_platform gaugemon_app_logic gaugemon_station gaugemon_link gaugemon_display gaugemon_chart gaugemon_records gaugemon_records_model
  gaugemon_tolerance gaugemon_statistics_window Qt6::Widgets)

add_executable(gaugemon ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(gaugemon PRIVATE gaugemon_window gaugemon_serial)
# The version has one source: the project's.
target_compile_definitions(gaugemon PRIVATE GAUGEMON_VERSION="${PROJECT_VERSION}")

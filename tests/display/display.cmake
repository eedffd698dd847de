gaugemon_add_test(display_value_text_test SOURCES value_text_test.cpp LIBS gaugemon_display)
gaugemon_add_test(display_logic_test SOURCES display_logic_test.cpp LIBS gaugemon_display)
gaugemon_add_test(display_chart_test SOURCES chart_test.cpp LIBS gaugemon_chart)
# Kills a writer of the real settings file part way through a change.
gaugemon_add_test(display_settings_kill_test SOURCES settings_kill_test.cpp
  LIBS gaugemon_display gaugemon_tolerance gaugemon_platform)

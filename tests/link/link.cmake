gaugemon_add_test(link_controller_test SOURCES link_controller_test.cpp parameter_test.cpp discovery_refusals_test.cpp
  discovery_plan_test.cpp
  LIBS gaugemon_link)
target_include_directories(link_controller_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
gaugemon_add_test(link_sim_test SOURCES link_sim_test.cpp LIBS gaugemon_link gaugemon_sim)
target_include_directories(link_sim_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)

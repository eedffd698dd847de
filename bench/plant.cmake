# What publishing to the plant's broker adds to the station's thread per
# recorded row; against the system's broker on a free port of 127.0.0.1.
gaugemon_add_bench(plant_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/plant_bench.cpp LIBS gaugemon_plant)
target_include_directories(plant_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)

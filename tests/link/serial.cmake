gaugemon_add_test(link_serial_names_test SOURCES serial_names_test.cpp LIBS gaugemon_ports gaugemon_link)
# Over a real pseudo-terminal pair.
gaugemon_add_test(link_serial_port_test SOURCES serial_port_test.cpp LIBS gaugemon_serial Qt6::Core)

gaugemon_add_test(link_codec_test SOURCES codec_test.cpp LIBS gaugemon_link)

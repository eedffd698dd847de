gaugemon_add_test(link_codec_test SOURCES codec_test.cpp LIBS gaugemon_link)
# Randomized answers; also run in the sanitizer build.
gaugemon_add_test(link_fuzz_answers_test SOURCES fuzz_answers_test.cpp LIBS gaugemon_link)

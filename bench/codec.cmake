gaugemon_add_bench(codec_bench SOURCES codec_bench.cpp LIBS gaugemon_link)

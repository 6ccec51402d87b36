# Codec throughput: decode and encode of 1 MiB beside a plain copy of the same bytes.
helmsman_benchmark(NAME codec_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_bench.cc
  LIBS qvcodec_core)

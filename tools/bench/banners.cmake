# Banners: one tick of the timed rotation (a banner due and sent) and of the twelve daily slots.
helmsman_benchmark(NAME banners_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/banners_bench.cc
  LIBS helmsman_banners helmsman_frmmain)

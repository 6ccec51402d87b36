# The action journal: appends of real entries, durably, one at a time.
helmsman_benchmark(NAME journal_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal_bench.cc
  LIBS helmsman_safety)

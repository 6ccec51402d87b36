# Publishing: the online players page (1,001 online among 20,000 records), the banned players
# page (20,000 records, 2,000 banned) and qvstat over 20,000 characters.
helmsman_benchmark(NAME publishing_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/publishing_bench.cc
  LIBS helmsman_publishing qvstat_core gamefiles)

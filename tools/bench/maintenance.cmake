# The maintenance cycle over 20,000 characters in 4,000 accounts: 5,000 inactive characters
# deleted, 500 empty folders removed, a 1 MB removal log already present.
helmsman_benchmark(NAME maintenance_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/maintenance_bench.cc
  LIBS helmsman_maintenance helmsman_frmmain qvcodec_core)

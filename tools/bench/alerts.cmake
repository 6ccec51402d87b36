# Alerts: what raising one costs the console's tick, and what 1,000 waiting alerts hold.
helmsman_benchmark(NAME alerts_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/alerts_bench.cc
  LIBS helmsman_alerts)

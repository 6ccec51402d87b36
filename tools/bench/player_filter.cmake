# The player-list filter in the Qt window: one letter typed over 20,000 names, until the list
# shows the result. Built where the Qt view is.
if(TARGET helmsman_qt)
  find_package(Qt6 COMPONENTS Widgets Test QUIET)
  if(TARGET Qt6::Test)
    helmsman_benchmark(NAME player_filter_bench
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/player_filter_bench.cc
      LIBS helmsman_qt Qt6::Test)
  endif()
endif()

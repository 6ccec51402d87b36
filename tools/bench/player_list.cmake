# Player list file: save and load of a full 20,001-character list beside plain buffered I/O
# of the same bytes, and the resident size of a process holding a full list.
helmsman_benchmark(NAME player_list_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/player_list_bench.cc
  LIBS helmsman_players)
